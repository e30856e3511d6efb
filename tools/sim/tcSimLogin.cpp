#include "tcSimLogin.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

constexpr int kMaxNonces = 256;

QByteArray md5Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

bool digestAllowed(tcSimAuth auth)
{
    return auth == tcSimAuth::Digest || auth == tcSimAuth::BasicDigest;
}
bool basicAllowed(tcSimAuth auth)
{
    return auth == tcSimAuth::Basic || auth == tcSimAuth::BasicDigest;
}

tcLogin refuse(tcLogin login, const QString& why)
{
    login.ok = false;
    login.what.insert(QStringLiteral("verdict"), QStringLiteral("refused: ") + why);
    return login;
}

tcLogin accept(tcLogin login, const QString& user)
{
    login.ok = true;
    login.user = user;
    login.what.insert(QStringLiteral("verdict"), QStringLiteral("ok"));
    return login;
}

tcLogin checkDigest(tcSimDevice& d, const tcHttpRequest& request, const QByteArray& paramText, tcLogin login)
{
    const QMap<QByteArray, QByteArray> p = parseAuthParams(paramText);
    for (auto it = p.begin(); it != p.end(); ++it)
        login.what.insert(QString::fromLatin1(it.key()), QString::fromUtf8(it.value()));
    const QString path = QString::fromLatin1(request.path());
    if (!digestAllowed(d.authFor(path)))
        return refuse(login, QStringLiteral("Digest not offered"));
    if (p.value("realm") != d.realm.toUtf8())
        return refuse(login, QStringLiteral("wrong realm"));
    if (!d.nonces.contains(p.value("nonce")))
        return refuse(login, QStringLiteral("unknown nonce"));
    if (p.value("opaque") != d.opaque)
        return refuse(login, QStringLiteral("opaque not returned"));
    const QByteArray algorithm = p.value("algorithm", "MD5");
    if (algorithm.toLower() != d.algorithm.toLatin1().toLower())
        return refuse(login, QStringLiteral("wrong algorithm"));

    const QByteArray qop = p.value("qop");
    quint32 nc = 0;
    if (qop.isEmpty()) {
        if (d.qop)
            return refuse(login, QStringLiteral("qop missing"));
    } else {
        bool ok = false;
        nc = p.value("nc").toUInt(&ok, 16);
        if (qop.toLower() != "auth" || p.value("nc").size() != 8 || !ok || p.value("cnonce").isEmpty())
            return refuse(login, QStringLiteral("bad qop, nc or cnonce"));
        // A nonce count that does not grow is a replay (RFC 7616 3.4).
        if (nc <= d.nonces.value(p.value("nonce")))
            return refuse(login, QStringLiteral("nonce count not increasing"));
    }

    // The uri must name the request target; the configuration clients send the bare
    // path word without its leading slash, which the cameras accept as well.
    const QByteArray uri = p.value("uri");
    if (uri != request.target && "/" + uri != request.target)
        return refuse(login, QStringLiteral("uri does not match the request"));

    QString user = QString::fromUtf8(p.value("username"));
    if (p.value("userhash").toLower() == "true") {
        user.clear();
        for (auto it = d.users.begin(); it != d.users.end(); ++it)
            if (md5Hex(it.key().toUtf8() + ':' + d.realm.toUtf8()) == p.value("username").toLower())
                user = it.key();
    }
    if (user.isEmpty() || !d.users.contains(user))
        return refuse(login, QStringLiteral("unknown user"));

    tcDigestInput in;
    in.user = user.toUtf8();
    in.realm = d.realm.toUtf8();
    in.password = d.users.value(user).toUtf8();
    in.authVersion = d.authVersion;
    in.algorithm = algorithm;
    in.nonce = p.value("nonce");
    in.nc = p.value("nc");
    in.cnonce = p.value("cnonce");
    in.qop = qop;
    in.method = request.method;
    in.uri = uri;
    if (digestResponseHex(in) != p.value("response").toLower())
        return refuse(login, QStringLiteral("wrong response"));
    if (!qop.isEmpty())
        d.nonces[in.nonce] = nc;
    // A nonce that has served its logins is forgotten: the next request with it gets a
    // fresh challenge, as a device that expires its nonces would send.
    if (d.nonceUses > 0 && ++d.nonceLogins[in.nonce] >= d.nonceUses) {
        d.nonces.remove(in.nonce);
        d.nonceLogins.remove(in.nonce);
    }
    return accept(login, user);
}

tcLogin checkBasic(const tcSimDevice& d, const tcHttpRequest& request, const QByteArray& credentials,
                   tcLogin login)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(credentials.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    const int colon = decoded.decoded.indexOf(':');
    const QString user = colon < 0 ? QString() : QString::fromUtf8(decoded.decoded.left(colon));
    login.what.insert(QStringLiteral("username"), user);
    if (!basicAllowed(d.authFor(QString::fromLatin1(request.path()))))
        return refuse(login, QStringLiteral("Basic not offered"));
    if (!decoded || colon < 0)
        return refuse(login, QStringLiteral("malformed credentials"));
    if (!d.users.contains(user) || d.users.value(user).toUtf8() != decoded.decoded.mid(colon + 1))
        return refuse(login, QStringLiteral("wrong user or password"));
    return accept(login, user);
}

} // namespace

QMap<QByteArray, QByteArray> parseAuthParams(const QByteArray& text)
{
    QMap<QByteArray, QByteArray> params;
    int i = 0;
    const int n = text.size();
    while (i < n) {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == ','))
            ++i;
        const int keyStart = i;
        while (i < n && text[i] != '=' && text[i] != ',')
            ++i;
        const QByteArray key = text.mid(keyStart, i - keyStart).trimmed().toLower();
        if (i >= n || text[i] != '=')
            continue; // a bare token carries no parameter
        ++i;
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        QByteArray value;
        if (i < n && text[i] == '"') {
            ++i;
            while (i < n && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < n)
                    ++i;
                value += text[i++];
            }
            ++i; // closing quote
        } else {
            const int valueStart = i;
            while (i < n && text[i] != ',')
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        if (!key.isEmpty())
            params.insert(key, value);
    }
    return params;
}

QByteArray digestResponseHex(const tcDigestInput& in)
{
    const QByteArray secret = in.authVersion ? md5Hex(in.password).toUpper() : in.password;
    QByteArray ha1 = md5Hex(in.user + ':' + in.realm + ':' + secret);
    if (in.algorithm.toLower() == "md5-sess")
        ha1 = md5Hex(ha1 + ':' + in.nonce + ':' + in.cnonce);
    const QByteArray ha2 = md5Hex(in.method + ':' + in.uri);
    if (in.qop.isEmpty())
        return md5Hex(ha1 + ':' + in.nonce + ':' + ha2);
    return md5Hex(ha1 + ':' + in.nonce + ':' + in.nc + ':' + in.cnonce + ':' + in.qop + ':' + ha2);
}

QList<QByteArray> challengeValues(tcSimDevice& d, const QString& path)
{
    const tcSimAuth auth = d.authFor(path);
    QList<QByteArray> values;
    const QByteArray realm = d.realm.toUtf8();
    if (basicAllowed(auth))
        values << "Basic realm=\"" + realm + '"';
    if (digestAllowed(auth)) {
        QByteArray nonce;
        for (int i = 0; i < 4; ++i)
            nonce += QByteArray::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
        d.nonces.insert(nonce, 0);
        d.nonceOrder.append(nonce);
        if (d.nonceOrder.size() > kMaxNonces) {
            const QByteArray oldest = d.nonceOrder.takeFirst();
            d.nonces.remove(oldest);
            d.nonceLogins.remove(oldest);
        }
        QByteArray v = "Digest realm=\"" + realm + '"';
        if (d.qop)
            v += ", qop=\"auth\"";
        v += ", nonce=\"" + nonce + "\", opaque=\"" + d.opaque + "\", algorithm=" + d.algorithm.toLatin1();
        if (d.authVersion)
            v += ", authversion=\"1.1\"";
        if (d.userHash)
            v += ", userhash=true";
        values << v;
    }
    return values;
}

tcLogin checkLogin(tcSimDevice& d, const tcHttpRequest& request)
{
    tcLogin login;
    const QByteArray header = request.header("authorization");
    const int blank = header.indexOf(' ');
    const QByteArray scheme = blank < 0 ? header : header.left(blank);
    if (!header.isEmpty())
        login.what.insert(QStringLiteral("scheme"), QString::fromLatin1(scheme));

    const QString path = QString::fromLatin1(request.path());
    const bool refuseAll = d.fault == tcSimFault::WrongCredentials && d.faultApplies(path);
    if (d.authFor(path) == tcSimAuth::None && !refuseAll)
        return accept(login, QStringLiteral("admin"));
    if (header.isEmpty())
        return refuse(login, QStringLiteral("no credentials"));

    const QByteArray rest = blank < 0 ? QByteArray() : header.mid(blank + 1);
    if (scheme.toLower() == "digest")
        login = checkDigest(d, request, rest, login);
    else if (scheme.toLower() == "basic")
        login = checkBasic(d, request, rest, login);
    else
        login = refuse(login, QStringLiteral("unknown scheme"));
    if (login.ok && refuseAll)
        return refuse(login, QStringLiteral("device refuses every login"));
    return login;
}
