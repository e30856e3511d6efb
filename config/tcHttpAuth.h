#pragma once
// Basic and Digest values of the HTTP Authorization header, built by hand because the
// devices' Digest dialect (authversion, userhash, qop written back as offered) is not
// what QAuthenticator speaks. Stateless: the caller keeps the nonce count, the client
// nonce and the parsed challenge per device.

#include <QByteArray>
#include <QHash>
#include <QNetworkAccessManager>
#include <QString>

class tcHttpAuth
{
public:
    // Parameters of one Digest challenge: lower-cased key to value, quotes removed.
    using Challenge = QHash<QByteArray, QByteArray>;

    tcHttpAuth() = delete;

    // "PUT", "POST", "DELETE", or "GET" for every other operation.
    static QString methodName(QNetworkAccessManager::Operation op);

    // 32 lower-case hexadecimal characters from the global secure random generator.
    static QByteArray makeCnonce();

    // challenge is what follows "Digest " in a WWW-Authenticate header. Never reads
    // beyond it, whatever it holds.
    static Challenge parseChallenge(const QByteArray& challenge);

    // The whole Authorization value: Basic when nonceCount is 0, Digest over options
    // otherwise (nonceCount is then the nc value).
    static QString authorizationValue(int nonceCount, const QByteArray& cnonce, const Challenge& options,
                                      const QString& method, const QString& uri, const QString& user,
                                      const QString& password);

    // The steps of authorizationValue, public so that tests pin them on their own.
    // Raw 16-byte MD5 of user:realm:password; with hashed the password enters as the
    // upper-case hexadecimal MD5 of itself (the maker's "authversion 1.1").
    static QByteArray digestHa1(const QByteArray& user, const QByteArray& password, const QByteArray& realm,
                                bool hashed);
    // Lower-case hexadecimal request-digest (RFC 7616 section 3.4.1) from the raw HA1.
    static QByteArray digestResponse(const QByteArray& ha1, const QByteArray& algorithm,
                                     const QByteArray& nonce, const QByteArray& nc, const QByteArray& cnonce,
                                     const QByteArray& method, const QByteArray& uri, const QByteArray& qop);
    // Lower-case hexadecimal MD5 of user:realm (RFC 7616 section 3.4.4).
    static QByteArray userHash(const QByteArray& user, const QByteArray& realm);
};
