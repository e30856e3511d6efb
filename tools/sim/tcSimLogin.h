#pragma once
// The cameras' side of HTTP authentication: the challenges they send and the check of
// the Authorization header a client answers with. Basic (RFC 7617) and Digest (RFC 7616
// with MD5 and MD5-sess, qop "auth" or the RFC 2069 form without qop, userhash), plus
// the maker's "authversion 1.1" variant, whose HA1 is taken over the upper-case hex MD5
// of the password instead of the password itself.

#include "tcSimDevice.h"
#include "tcSimHttp.h"

#include <QJsonObject>
#include <QMap>

// An auth-param list such as `realm="a b", nc=00000001` (RFC 7235 2.1): keys
// lower-cased, quoted values unquoted with their quoted-pairs resolved.
QMap<QByteArray, QByteArray> parseAuthParams(const QByteArray& text);

struct tcDigestInput
{
    QByteArray user, realm, password;
    bool authVersion = false;
    QByteArray algorithm, nonce, nc, cnonce, qop, method, uri;
};

// The lower-case hex request-digest a client must send for these inputs.
QByteArray digestResponseHex(const tcDigestInput& in);

// The WWW-Authenticate values of a 401 from this device for a request path, in order.
// Each Digest challenge carries a fresh nonce that the device remembers.
QList<QByteArray> challengeValues(tcSimDevice& device, const QString& path = QString());

struct tcLogin
{
    bool ok = false;
    QString user;     // the user logged in as (on success)
    QJsonObject what; // the header as the request log shows it, and the verdict
};

// Checks the request's Authorization header against the device's users and login mode.
tcLogin checkLogin(tcSimDevice& device, const tcHttpRequest& request);
