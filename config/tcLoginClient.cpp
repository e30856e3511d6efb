#include "tcLoginClient.h"

tcLoginClient::tcLoginClient(tcStyle style) : style(style)
{
    restart();
}

void tcLoginClient::restart()
{
    challenge.clear();
    nonceCount = 0;
    clientNonce = tcHttpAuth::makeCnonce();
}

QByteArray tcLoginClient::value()
{
    if (nonceCount == 0 && !style.basic)
        return QByteArray();
    const QByteArray text =
        tcHttpAuth::authorizationValue(nonceCount, clientNonce, challenge, method, uri, user, password)
            .toUtf8();
    if (nonceCount != 0)
        ++nonceCount;
    return text;
}

QByteArray tcLoginClient::begin(const QString& aMethod, const QString& aUri, const QString& aUser,
                                const QString& aPassword)
{
    method = aMethod;
    uri = aUri;
    user = aUser;
    password = aPassword;
    repeated = false;
    carriedCredentials = style.credentialsFirst;
    return carriedCredentials ? value() : QByteArray();
}

std::optional<QByteArray> tcLoginClient::challenged(const QByteArray& wwwAuthenticate)
{
    if (repeated)
        return std::nullopt;
    repeated = true;
    if (const std::optional<QByteArray> digest = digestChallenge(wwwAuthenticate)) {
        challenge = tcHttpAuth::parseChallenge(*digest);
        if (style.restartOnChallenge) {
            nonceCount = 1;
            clientNonce = tcHttpAuth::makeCnonce();
        } else if (nonceCount == 0) {
            nonceCount = 1;
        }
        // The maker's hashed-password Digest ("authversion") is only accepted with
        // qop auth, whatever the challenge offers.
        if (challenge.contains("authversion"))
            challenge.insert("qop", "auth");
    } else if (carriedCredentials) {
        // Basic was already refused; a Basic answer would say nothing new.
        return std::nullopt;
    } else {
        nonceCount = 0;
    }
    const QByteArray text = value();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> tcLoginClient::digestChallenge(const QByteArray& wwwAuthenticate)
{
    // Qt joins several WWW-Authenticate headers of one reply with ", ": a Digest
    // challenge is the scheme token at the start or after such a join, wherever Basic
    // stands. A "digest " inside a quoted Basic realm is no scheme.
    static const QByteArray scheme = QByteArrayLiteral("digest ");
    const QByteArray lower = wwwAuthenticate.toLower();
    for (int at = lower.indexOf(scheme); at >= 0; at = lower.indexOf(scheme, at + 1)) {
        if (at == 0 || lower.mid(at - 2, 2) == ", " || lower.at(at - 1) == '\n')
            return wwwAuthenticate.mid(at + scheme.size());
    }
    // Some firmware names the scheme as a quoted parameter instead of a leading token.
    if (!lower.startsWith("basic ") && lower.contains("\"digest\""))
        return wwwAuthenticate;
    return std::nullopt;
}
