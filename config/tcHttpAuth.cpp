#include "tcHttpAuth.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

QByteArray md5(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

QByteArray md5Hex(const QByteArray& data)
{
    return md5(data).toHex();
}

// Bytes are compared as signed 8-bit numbers, so every byte of 0x80 and above counts
// as a control byte as well.
bool isControlOrBlank(char c)
{
    return qint8(c) <= 0x20;
}
bool isControl(char c)
{
    return qint8(c) < 0x20;
}

// A header value holds no control byte but HTAB (RFC 7230 section 3.2): a CR or LF a
// device put in its challenge would end the header line, a NUL would end the text.
QByteArray withoutControls(const QByteArray& value)
{
    QByteArray kept;
    kept.reserve(value.size());
    for (char c : value) {
        if (c == '\t' || (quint8(c) >= 0x20 && c != 0x7f))
            kept += c;
    }
    return kept;
}

} // namespace

QString tcHttpAuth::methodName(QNetworkAccessManager::Operation op)
{
    switch (op) {
    case QNetworkAccessManager::PutOperation: return QStringLiteral("PUT");
    case QNetworkAccessManager::PostOperation: return QStringLiteral("POST");
    case QNetworkAccessManager::DeleteOperation: return QStringLiteral("DELETE");
    default: return QStringLiteral("GET");
    }
}

QByteArray tcHttpAuth::makeCnonce()
{
    QRandomGenerator* random = QRandomGenerator::global();
    const quint32 r1 = random->generate();
    const quint32 r2 = random->generate();
    return md5Hex(QByteArray::number(r1, 16) + QByteArray::number(r2, 16));
}

tcHttpAuth::Challenge tcHttpAuth::parseChallenge(const QByteArray& challenge)
{
    Challenge table;
    const char* p = challenge.constData();
    const char* const end = p + challenge.size();
    while (p < end) {
        while (p < end && isControlOrBlank(*p))
            ++p;
        if (p == end)
            break;

        const char* const keyStart = p;
        while (p < end && *p != '=')
            ++p;
        if (p == end)
            break; // a trailing key without '=' is dropped
        const QByteArray key = QByteArray(keyStart, int(p - keyStart)).toLower();
        ++p;

        bool quoted = false;
        if (p < end && *p == '"') {
            quoted = true;
            if (++p == end)
                break;
        }
        QByteArray value;
        while (p < end) {
            // RFC 7230 section 3.2.6 quoted-pair, honoured in unquoted values too
            if (*p == '\\' && p + 1 < end) {
                value += p[1];
                p += 2;
                continue;
            }
            if (quoted ? *p == '"' : (*p == ',' || isControl(*p)))
                break;
            value += *p++;
        }
        while (p < end && *p != ',')
            ++p;
        if (p < end)
            ++p;

        table.insert(key, value);
    }
    return table;
}

QByteArray tcHttpAuth::digestHa1(const QByteArray& user, const QByteArray& password, const QByteArray& realm,
                                 bool hashed)
{
    const QByteArray secret = hashed ? md5Hex(password).toUpper() : password;
    return md5(user + ':' + realm + ':' + secret);
}

QByteArray tcHttpAuth::digestResponse(const QByteArray& ha1, const QByteArray& algorithm,
                                      const QByteArray& nonce, const QByteArray& nc, const QByteArray& cnonce,
                                      const QByteArray& method, const QByteArray& uri, const QByteArray& qop)
{
    QByteArray ha1Hex = ha1.toHex();
    // RFC 2617 section 3.2.2.2: the session key hashes the hex text of HA1, not its bytes
    if (algorithm.toLower() == "md5-sess")
        ha1Hex = md5Hex(ha1Hex + ':' + nonce + ':' + cnonce);

    QByteArray a2 = method + ':' + uri;
    // Request bodies are never hashed, so auth-int sees an empty entity hash.
    if (qop.toLower() == "auth-int")
        a2 += ':';
    const QByteArray ha2 = md5Hex(a2);

    if (qop.isEmpty())
        return md5Hex(ha1Hex + ':' + nonce + ':' + ha2);
    return md5Hex(ha1Hex + ':' + nonce + ':' + nc + ':' + cnonce + ':' + qop + ':' + ha2);
}

QByteArray tcHttpAuth::userHash(const QByteArray& user, const QByteArray& realm)
{
    return md5Hex(user + ':' + realm);
}

QString tcHttpAuth::authorizationValue(int nonceCount, const QByteArray& cnonce, const Challenge& options,
                                       const QString& method, const QString& uri, const QString& user,
                                       const QString& password)
{
    if (nonceCount == 0) {
        const QByteArray credentials = QStringLiteral("%1:%2").arg(user, password).toUtf8().toBase64();
        return QStringLiteral("%1 %3").arg(QStringLiteral("Basic"), QString::fromLatin1(credentials));
    }

    const QByteArray nc = QByteArray::number(uint(nonceCount), 16).rightJustified(8, '0');
    const QByteArray userBytes = user.toLatin1();
    const QByteArray algorithm = options.value("algorithm");
    const QByteArray qop = options.value("qop");
    const QByteArray nonce = options.value("nonce");
    const QByteArray realm = options.value("realm");
    const QByteArray opaque = options.value("opaque");
    const QByteArray userhash = options.value("userhash");
    const QByteArray uriBytes = uri.toLatin1();

    const QByteArray ha1 =
        digestHa1(userBytes, password.toLatin1(), realm, options.value("authversion").contains("1.1"));
    const QByteArray response =
        digestResponse(ha1, algorithm, nonce, nc, cnonce, method.toLatin1(), uriBytes, qop);
    const bool hashUser = userhash.startsWith('t') || userhash.startsWith('T');

    QList<QByteArray> params;
    // RFC 7230 section 3.2.6: inside a quoted-string a quote or backslash is escaped, so
    // a realm, nonce or opaque that holds one reaches the device as it was sent.
    const auto quoted = [](const char* key, QByteArray value) {
        value.replace('\\', "\\\\").replace('"', "\\\"");
        return QByteArray(key) + "=\"" + value + '"';
    };
    params << quoted("username", hashUser ? userHash(userBytes, realm) : userBytes) << quoted("realm", realm)
           << quoted("nonce", nonce) << quoted("uri", uriBytes);
    if (hashUser)
        params << quoted("userhash", "true");
    if (!opaque.isEmpty())
        params << quoted("opaque", opaque);
    params << quoted("response", response);
    if (!algorithm.isEmpty())
        params << "algorithm=" + algorithm;
    if (!qop.isEmpty())
        params << "qop=" + qop << "nc=" + nc << quoted("cnonce", cnonce);
    return QString::fromUtf8(withoutControls("Digest " + params.join(", ")));
}
