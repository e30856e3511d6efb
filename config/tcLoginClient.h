#pragma once
// The login state of one device, as Qt's own authenticator keeps it: the last Digest
// challenge, the nonce count and the client nonce. It writes the Authorization value
// of each request, answers a 401 once, and refuses a second 401 to the same request.
// No sockets: it is fed the WWW-Authenticate values of the replies.

#include "tcHttpAuth.h"

#include <QByteArray>
#include <QString>

#include <optional>

class tcLoginClient
{
public:
    // The two configuration exchanges log in differently by design.
    struct tcStyle
    {
        // Every first attempt carries credentials (Basic until a Digest challenge is
        // known); otherwise a first attempt carries none and a device that challenges
        // without Digest is answered in Basic form.
        bool credentialsFirst = true;
        // A new challenge starts the count at 1 with a fresh client nonce; otherwise the
        // count of the device goes on and the client nonce stays for the whole site.
        bool restartOnChallenge = false;
        // Basic may be answered; otherwise only Digest, and credentials go first only
        // once a Digest challenge is known (Basic carries the password in clear).
        bool basic = true;
    };
    static constexpr tcStyle kNetworkStyle{true, false, true};
    static constexpr tcStyle kPasswordStyle{false, true, true};
    static constexpr tcStyle kOnvifStyle{true, true, false};

    explicit tcLoginClient(tcStyle style = kNetworkStyle);

    // A new site: no challenge, count 0 (Basic), a fresh client nonce.
    void restart();

    // The Authorization value of a request's first attempt; empty when it carries none.
    QByteArray begin(const QString& method, const QString& uri, const QString& user, const QString& password);

    // The request was answered 401 with this WWW-Authenticate value: the value for its
    // one repeat, or nothing when the login is refused (the repeat was refused too, or
    // there is nothing new to answer with).
    std::optional<QByteArray> challenged(const QByteArray& wwwAuthenticate);

    // The parameters of the Digest challenge in a WWW-Authenticate value, to be given
    // to tcHttpAuth::parseChallenge, or nothing when the device offers no Digest.
    static std::optional<QByteArray> digestChallenge(const QByteArray& wwwAuthenticate);

    const QByteArray& cnonce() const { return clientNonce; }

private:
    QByteArray value();

    tcStyle style;
    tcHttpAuth::Challenge challenge;
    qint32 nonceCount = 0;
    QByteArray clientNonce;
    // The request in progress.
    QString method, uri, user, password;
    bool carriedCredentials = false;
    bool repeated = false;
};
