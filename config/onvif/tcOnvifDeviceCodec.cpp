#include "tcOnvifDeviceCodec.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTextCodec>
#include <cstring>

namespace tcOnvifDevice {

namespace {

constexpr char kSoap12[] = "http://www.w3.org/2003/05/soap-envelope";
constexpr char kSoap11[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kWsse[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
constexpr char kWsu[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
constexpr char kDigestType[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
constexpr char kBase64Encoding[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary";

QLatin1String L(const char* text)
{
    return QLatin1String(text);
}

QStringRef localPart(const QStringRef& qualified)
{
    const int colon = qualified.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? qualified : qualified.mid(colon + 1);
}

QString localPart(const QString& qualified)
{
    return localPart(QStringRef(&qualified)).toString();
}

// The XML of a SOAP message, read straight from its bytes into a tree: elements,
// attributes, character data with the five predefined and the numeric character
// references, CDATA sections; comments and processing instructions are passed over.
// Strict where it matters: every element closed by its own name, attribute values
// quoted, no reference it does not know, and no DOCTYPE at all (a reply has none, and
// its entities are how a small message expands). Names are taken as sent, prefix
// included; the prefix is cut where a node is named. A reply is read tens of thousands
// of times a second on one core, which a general reader that checks every character
// class does not reach.
class tcXmlReader
{
public:
    explicit tcXmlReader(const QByteArray& bytes)
        : p(bytes.constData()), end(bytes.constData() + bytes.size())
    {
    }

    // The root element into root; false with the reason in error.
    bool read(tcNode& root, QString* envelopeUri)
    {
        if (end - p >= 3 && uchar(p[0]) == 0xef && uchar(p[1]) == 0xbb && uchar(p[2]) == 0xbf)
            p += 3;
        for (;;) {
            skipBlanks();
            if (p == end)
                return fail("no element");
            if (startsWith("<?")) {
                if (!skipPast("?>"))
                    return false;
            } else if (startsWith("<!--")) {
                if (!skipPast("-->"))
                    return false;
            } else if (startsWith("<!")) {
                return fail("a DOCTYPE or declaration, which a SOAP message never has");
            } else if (*p == '<') {
                return element(root, 0, envelopeUri);
            } else {
                return fail("text before the first element");
            }
        }
    }

    QString error;

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool endsName(char c)
    {
        return isBlank(c) || c == '>' || c == '/' || c == '=' || c == '<' || c == '"' || c == '\'' ||
               c == '&';
    }

    bool fail(const char* why)
    {
        if (error.isEmpty())
            error = QString::fromLatin1(why);
        return false;
    }
    bool startsWith(const char* text) const
    {
        const size_t n = std::strlen(text);
        return size_t(end - p) >= n && std::memcmp(p, text, n) == 0;
    }
    void skipBlanks()
    {
        while (p < end && isBlank(*p))
            ++p;
    }
    bool skipPast(const char* marker)
    {
        const size_t n = std::strlen(marker);
        for (const char* q = p; size_t(end - q) >= n; ++q) {
            if (std::memcmp(q, marker, n) == 0) {
                p = q + n;
                return true;
            }
        }
        return fail("cut short");
    }
    static QString utf8(QLatin1String bytes) { return QString::fromUtf8(bytes.data(), bytes.size()); }

    // A name at p, as its bytes; empty when there is none.
    QLatin1String name()
    {
        const char* from = p;
        while (p < end && !endsName(*p))
            ++p;
        return QLatin1String(from, int(p - from));
    }

    // Raw character data as XML hands it on: line ends as "\n", and in an attribute value
    // every white space character as a space (references are left as they are).
    static void appendRaw(QString& out, const char* from, const char* to, bool attribute)
    {
        if (from == to)
            return;
        QString chunk = QString::fromUtf8(from, int(to - from));
        if (std::memchr(from, '\r', size_t(to - from))) {
            chunk.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            chunk.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
        if (attribute) {
            chunk.replace(QLatin1Char('\n'), QLatin1Char(' '));
            chunk.replace(QLatin1Char('\t'), QLatin1Char(' '));
        }
        if (out.isEmpty())
            out = chunk;
        else
            out += chunk;
    }

    // Text up to the next `stop` byte ('<' or a quote), references resolved, appended.
    bool text(char stop, QString& out)
    {
        const bool attribute = stop != '<';
        const char* from = p;
        while (p < end && *p != stop) {
            if (*p == '<')
                return fail("'<' inside an attribute value");
            if (*p != '&') {
                ++p;
                continue;
            }
            appendRaw(out, from, p, attribute);
            if (!reference(out))
                return false;
            from = p;
        }
        if (p == end)
            return fail("cut short");
        appendRaw(out, from, p, attribute);
        return true;
    }

    bool reference(QString& out)
    {
        const char* semicolon = p + 1;
        while (semicolon < end && semicolon - p < 12 && *semicolon != ';')
            ++semicolon;
        if (semicolon >= end || *semicolon != ';')
            return fail("an unterminated reference");
        const QLatin1String ref(p + 1, int(semicolon - p - 1));
        p = semicolon + 1;
        static const struct
        {
            const char* name;
            char value;
        } predefined[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& entity : predefined) {
            if (ref == QLatin1String(entity.name)) {
                out += QLatin1Char(entity.value);
                return true;
            }
        }
        if (ref.size() < 2 || ref.at(0) != QLatin1Char('#'))
            return fail("a reference to an entity that is not declared");
        const bool hex = ref.at(1) == QLatin1Char('x');
        const QLatin1String digits = ref.mid(hex ? 2 : 1);
        uint code = 0;
        bool ok = !digits.isEmpty();
        for (const char c : digits) {
            const int digit = c >= '0' && c <= '9'          ? c - '0'
                              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : -1;
            ok = ok && digit >= 0;
            code = code * (hex ? 16 : 10) +
                   uint(qMax(digit, 0)); // 8 hex or 9 decimal digits at most: no overflow
        }
        // XML's Char production: no NUL, no surrogates, nothing beyond Unicode
        if (!ok || code == 0 || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
            return fail("a character reference to no character");
        const char32_t c = code;
        out += QString::fromUcs4(&c, 1);
        return true;
    }

    bool element(tcNode& node, int depth, QString* envelopeUri)
    {
        ++p; // '<'
        const QLatin1String qualified = name();
        if (qualified.isEmpty())
            return fail("an element without a name");
        const int colon = qualified.lastIndexOf(QLatin1Char(':'));
        node.name = utf8(qualified.mid(colon + 1));
        const QLatin1String prefix =
            colon < 0 ? QLatin1String() : qualified.left(qMax(0, qualified.indexOf(QLatin1Char(':'))));
        for (;;) {
            const char* before = p;
            skipBlanks();
            if (p == end)
                return fail("cut short");
            if (*p == '/') {
                if (end - p < 2 || p[1] != '>')
                    return fail("'/' not followed by '>'");
                p += 2;
                return true;
            }
            if (*p == '>') {
                ++p;
                break;
            }
            if (p == before)
                return fail("attributes not separated by white space");
            const QLatin1String attribute = name();
            if (attribute.isEmpty())
                return fail("an attribute without a name");
            skipBlanks();
            if (p == end || *p != '=')
                return fail("an attribute without a value");
            ++p;
            skipBlanks();
            if (p == end || (*p != '"' && *p != '\''))
                return fail("an attribute value not in quotes");
            const char quote = *p++;
            QString value;
            if (!text(quote, value))
                return false;
            ++p; // the closing quote
            if (attribute.startsWith(QLatin1String("xmlns"))) {
                // the envelope's own prefix (or the default namespace) tells the SOAP version
                const QLatin1String declared = attribute.size() > 5 ? attribute.mid(6) : QLatin1String();
                if (envelopeUri && (attribute.size() == 5 || attribute.at(5) == QLatin1Char(':')) &&
                    declared == prefix)
                    *envelopeUri = value;
                continue;
            }
            const int attributeColon = attribute.lastIndexOf(QLatin1Char(':'));
            node.attributes.emplace_back(utf8(attribute.mid(attributeColon + 1)), value);
        }
        for (;;) {
            if (p == end)
                return fail("cut short");
            if (*p != '<') {
                // the indentation between elements is most of a reply's text: never copied
                const char* from = p;
                while (p < end && isBlank(*p))
                    ++p;
                if (p < end && *p == '<' && node.text.isEmpty())
                    continue;
                p = from;
                if (!text('<', node.text))
                    return false;
                continue;
            }
            if (startsWith("</")) {
                p += 2;
                if (name() != qualified)
                    return fail("an element closed by another name");
                skipBlanks();
                if (p == end || *p != '>')
                    return fail("an end tag without '>'");
                ++p;
                node.text = node.text.trimmed();
                return true;
            }
            if (startsWith("<!--")) {
                if (!skipPast("-->"))
                    return false;
            } else if (startsWith("<![CDATA[")) {
                p += 9;
                const char* from = p;
                if (!skipPast("]]>"))
                    return false;
                appendRaw(node.text, from, p - 3, false);
            } else if (startsWith("<?")) {
                if (!skipPast("?>"))
                    return false;
            } else if (startsWith("<!")) {
                return fail("a declaration inside an element");
            } else {
                if (depth + 1 >= kMaxDepth)
                    return fail("nested too deep");
                node.children.emplace_back();
                if (!element(node.children.back(), depth + 1, nullptr))
                    return false;
            }
        }
    }

    const char* p;
    const char* end;
};

struct tcDocument
{
    tcNode root;
    int soapVersion = 0;
    QString error;
};

// The codec of a message that is not UTF-8: a UTF-16 byte order mark, or an encoding
// other than UTF-8 named by its XML declaration. Null for UTF-8 (and ASCII), and for an
// encoding there is no codec for: such a message is read as UTF-8, as Qt's own XML
// reader reads it.
QTextCodec* declaredCodec(const QByteArray& bytes)
{
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff"))
        return QTextCodec::codecForName("UTF-16");
    if (!bytes.startsWith("<?xml"))
        return nullptr;
    const int close = bytes.indexOf("?>");
    const QByteArray declaration = bytes.left(close < 0 ? 0 : close);
    const int at = declaration.indexOf("encoding");
    if (at < 0)
        return nullptr;
    int from = at + 8;
    while (from < declaration.size() && (declaration.at(from) == ' ' || declaration.at(from) == '='))
        ++from;
    if (from >= declaration.size() || (declaration.at(from) != '"' && declaration.at(from) != '\''))
        return nullptr;
    const int to = declaration.indexOf(declaration.at(from), from + 1);
    const QByteArray name = declaration.mid(from + 1, to < 0 ? -1 : to - from - 1);
    const QByteArray lower = name.toLower();
    if (lower == "utf-8" || lower == "utf8" || lower == "us-ascii" || lower == "ascii")
        return nullptr;
    // as written: some names are only known in their own letter case
    return QTextCodec::codecForName(name);
}

tcDocument readDocument(const QByteArray& bytes)
{
    tcDocument document;
    if (bytes.size() > kMaxReplyBytes) {
        document.error = QStringLiteral("larger than %1 bytes").arg(kMaxReplyBytes);
        return document;
    }
    // Devices write UTF-8; one that declares another encoding (or sends UTF-16) is read
    // in it, as any XML reader would.
    QByteArray decoded;
    if (QTextCodec* codec = declaredCodec(bytes)) {
        QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
        decoded = codec->toUnicode(bytes.constData(), bytes.size(), &state).toUtf8();
        if (state.invalidChars > 0 || state.remainingChars > 0) {
            document.error = QStringLiteral("not in the encoding it declares");
            return document;
        }
    }
    tcXmlReader xml(decoded.isNull() ? bytes : decoded);
    QString uri;
    if (!xml.read(document.root, &uri)) {
        document.error = xml.error;
        document.root = tcNode();
        return document;
    }
    if (document.root.name != L("Envelope")) {
        document.error = QStringLiteral("not a SOAP envelope but %1").arg(document.root.name);
        return document;
    }
    if (uri == L(kSoap12))
        document.soapVersion = 12;
    else if (uri == L(kSoap11))
        document.soapVersion = 11;
    return document;
}

bool isTrue(const QString& text)
{
    return text == L("true") || text == L("1");
}

bool isBoolean(const QString& text)
{
    return isTrue(text) || text == L("false") || text == L("0");
}

int number(const QString& text, int fallback = -1)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : fallback;
}

QDateTime dateTimeOf(const tcNode* node)
{
    if (!node)
        return QDateTime();
    const QDate date(number(node->textAt({L("Date"), L("Year")})),
                     number(node->textAt({L("Date"), L("Month")})),
                     number(node->textAt({L("Date"), L("Day")})));
    const QTime time(number(node->textAt({L("Time"), L("Hour")})),
                     number(node->textAt({L("Time"), L("Minute")})),
                     number(node->textAt({L("Time"), L("Second")})));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

QByteArray element(const char* name, const QString& text)
{
    return '<' + QByteArray(name) + '>' + escaped(text) + "</" + QByteArray(name) + '>';
}

QByteArray boolean(bool value)
{
    return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
}

bool isIPv4(const QString& text)
{
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

// A tt:NetworkHost (NTP servers): an address or a name.
QByteArray networkHost(const char* wrapper, const QString& host)
{
    const bool ipv4 = isIPv4(host);
    return '<' + QByteArray(wrapper) + '>' +
           element("tt:Type", ipv4 ? QStringLiteral("IPv4") : QStringLiteral("DNS")) +
           element(ipv4 ? "tt:IPv4Address" : "tt:DNSname", host) + "</" + QByteArray(wrapper) + '>';
}

QByteArray userElement(const char* wrapper, const tcUser& user)
{
    QByteArray inner = element("tt:Username", user.name);
    if (!user.password.isEmpty())
        inner += element("tt:Password", user.password);
    inner += element("tt:UserLevel", user.level.isEmpty() ? QStringLiteral("Administrator") : user.level);
    return '<' + QByteArray(wrapper) + '>' + inner + "</" + QByteArray(wrapper) + '>';
}

// The body of an Ok reply, when its element is the expected response.
const tcNode* responseOf(const tcReply& reply, QLatin1String name)
{
    return reply.kind == tcReply::Ok && reply.body.name == name ? &reply.body : nullptr;
}

} // namespace

// ---- login ---------------------------------------------------------------------------

QByteArray freshNonce()
{
    QByteArray nonce(16, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(nonce.data()),
                                         reinterpret_cast<quint32*>(nonce.data() + nonce.size()));
    return nonce;
}

QByteArray createdText(const QDateTime& moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")).toLatin1();
}

QByteArray passwordDigest(const QByteArray& nonce, const QByteArray& created, const QString& password)
{
    return QCryptographicHash::hash(nonce + created + password.toUtf8(), QCryptographicHash::Sha1).toBase64();
}

tcUsernameToken makeToken(const QString& user, const QString& password, const QByteArray& nonce,
                          const QDateTime& deviceNow)
{
    tcUsernameToken token;
    token.user = user;
    token.nonce = nonce;
    token.created = createdText(deviceNow);
    token.digest = passwordDigest(nonce, token.created, password);
    return token;
}

qint64 clockOffsetMs(const QDateTime& deviceUtc, const QDateTime& sentAt, const QDateTime& receivedAt)
{
    const QDateTime middle = sentAt.addMSecs(sentAt.msecsTo(receivedAt) / 2);
    return middle.msecsTo(deviceUtc);
}

QDateTime deviceNow(const QDateTime& localUtc, qint64 offsetMs)
{
    return localUtc.toUTC().addMSecs(offsetMs);
}

tcPasswordRule checkNewPassword(const QString& password)
{
    if (password.isEmpty())
        return tcPasswordRule::Empty;
    bool lower = false, upper = false, digit = false, other = false;
    for (const QChar c : password) {
        if (c.category() == QChar::Other_Control)
            return tcPasswordRule::ControlCharacter;
        if (c.isLower())
            lower = true;
        else if (c.isUpper())
            upper = true;
        else if (c.isDigit())
            digit = true;
        else
            other = true;
    }
    // characters, not UTF-16 units: a password of emoji is no longer than it looks
    if (password.toUcs4().size() < 8)
        return tcPasswordRule::TooShort;
    if (int(lower) + int(upper) + int(digit) + int(other) < 3)
        return tcPasswordRule::TooFewClasses;
    return tcPasswordRule::Accepted;
}

QString ruleCode(tcPasswordRule rule)
{
    switch (rule) {
    case tcPasswordRule::Accepted: return QStringLiteral("accepted");
    case tcPasswordRule::Empty: return QStringLiteral("empty");
    case tcPasswordRule::TooShort: return QStringLiteral("too-short");
    case tcPasswordRule::TooFewClasses: return QStringLiteral("too-few-classes");
    case tcPasswordRule::ControlCharacter: return QStringLiteral("control-character");
    }
    return QString();
}

// ---- requests ------------------------------------------------------------------------

QByteArray escaped(const QString& text)
{
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

QByteArray request(const QByteArray& operation, const std::optional<tcUsernameToken>& token)
{
    QByteArray out = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                       "<s:Envelope xmlns:s=\"") +
                     kSoap12 +
                     "\" xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
                     " xmlns:tt=\"http://www.onvif.org/ver10/schema\">";
    if (token) {
        out += QByteArrayLiteral("<s:Header><wsse:Security s:mustUnderstand=\"1\" xmlns:wsse=\"") + kWsse +
               "\" xmlns:wsu=\"" + kWsu + "\"><wsse:UsernameToken>" + element("wsse:Username", token->user) +
               "<wsse:Password Type=\"" + kDigestType + "\">" + token->digest + "</wsse:Password>" +
               "<wsse:Nonce EncodingType=\"" + kBase64Encoding + "\">" + token->nonce.toBase64() +
               "</wsse:Nonce><wsu:Created>" + token->created +
               "</wsu:Created></wsse:UsernameToken></wsse:Security></s:Header>";
    }
    return out + "<s:Body>" + operation + "</s:Body></s:Envelope>";
}

QByteArray getSystemDateAndTime()
{
    return QByteArrayLiteral("<tds:GetSystemDateAndTime/>");
}

QByteArray getDeviceInformation()
{
    return QByteArrayLiteral("<tds:GetDeviceInformation/>");
}

QByteArray getNetworkInterfaces()
{
    return QByteArrayLiteral("<tds:GetNetworkInterfaces/>");
}

QByteArray getUsers()
{
    return QByteArrayLiteral("<tds:GetUsers/>");
}

QByteArray systemReboot()
{
    return QByteArrayLiteral("<tds:SystemReboot/>");
}

QByteArray setSystemDateAndTime(const tcDateTimeSetting& setting)
{
    QByteArray out =
        "<tds:SetSystemDateAndTime>" +
        element("tds:DateTimeType", setting.ntp ? QStringLiteral("NTP") : QStringLiteral("Manual")) +
        "<tds:DaylightSavings>" + boolean(setting.daylightSavings) + "</tds:DaylightSavings>";
    if (setting.timeZone)
        out += "<tds:TimeZone>" + element("tt:TZ", *setting.timeZone) + "</tds:TimeZone>";
    if (!setting.ntp) {
        // tt:DateTime is Time before Date
        const QDateTime utc = setting.utc.toUTC();
        const QTime time = utc.time();
        const QDate date = utc.date();
        out += "<tds:UTCDateTime><tt:Time><tt:Hour>" + QByteArray::number(time.hour()) +
               "</tt:Hour><tt:Minute>" + QByteArray::number(time.minute()) + "</tt:Minute><tt:Second>" +
               QByteArray::number(time.second()) + "</tt:Second></tt:Time><tt:Date><tt:Year>" +
               QByteArray::number(date.year()) + "</tt:Year><tt:Month>" + QByteArray::number(date.month()) +
               "</tt:Month><tt:Day>" + QByteArray::number(date.day()) +
               "</tt:Day></tt:Date></tds:UTCDateTime>";
    }
    return out + "</tds:SetSystemDateAndTime>";
}

QByteArray setNtp(const QStringList& servers)
{
    QByteArray out = "<tds:SetNTP><tds:FromDHCP>" + boolean(servers.isEmpty()) + "</tds:FromDHCP>";
    for (const QString& server : servers)
        out += networkHost("tds:NTPManual", server);
    return out + "</tds:SetNTP>";
}

QByteArray setNetworkInterfaces(const QString& interfaceToken, const tcIPv4Setting& setting)
{
    QByteArray ipv4 = "<tt:Enabled>true</tt:Enabled>";
    if (!setting.dhcp)
        ipv4 += "<tt:Manual>" + element("tt:Address", setting.address) + "<tt:PrefixLength>" +
                QByteArray::number(setting.prefixLength) + "</tt:PrefixLength></tt:Manual>";
    ipv4 += "<tt:DHCP>" + boolean(setting.dhcp) + "</tt:DHCP>";
    return "<tds:SetNetworkInterfaces>" + element("tds:InterfaceToken", interfaceToken) +
           "<tds:NetworkInterface><tt:Enabled>true</tt:Enabled><tt:IPv4>" + ipv4 +
           "</tt:IPv4></tds:NetworkInterface></tds:SetNetworkInterfaces>";
}

QByteArray setNetworkDefaultGateway(const QStringList& ipv4Addresses)
{
    QByteArray out = "<tds:SetNetworkDefaultGateway>";
    for (const QString& address : ipv4Addresses)
        out += element("tds:IPv4Address", address);
    return out + "</tds:SetNetworkDefaultGateway>";
}

QByteArray setDns(const QStringList& ipv4Servers)
{
    QByteArray out = "<tds:SetDNS><tds:FromDHCP>" + boolean(ipv4Servers.isEmpty()) + "</tds:FromDHCP>";
    for (const QString& server : ipv4Servers)
        out +=
            "<tds:DNSManual><tt:Type>IPv4</tt:Type>" + element("tt:IPv4Address", server) + "</tds:DNSManual>";
    return out + "</tds:SetDNS>";
}

// The new password necessarily travels in these bodies: ONVIF has no other way to set one.
QByteArray setUser(const tcUser& user)
{
    return "<tds:SetUser>" + userElement("tds:User", user) + "</tds:SetUser>";
}

QByteArray createUsers(const std::vector<tcUser>& users)
{
    QByteArray out = "<tds:CreateUsers>";
    for (const tcUser& user : users)
        out += userElement("tds:User", user);
    return out + "</tds:CreateUsers>";
}

// ---- replies -------------------------------------------------------------------------

const tcNode* tcNode::child(QLatin1String wanted) const
{
    for (const tcNode& node : children) {
        if (node.name == wanted)
            return &node;
    }
    return nullptr;
}

const tcNode* tcNode::find(std::initializer_list<QLatin1String> path) const
{
    const tcNode* node = this;
    for (const QLatin1String& step : path) {
        node = node->child(step);
        if (!node)
            return nullptr;
    }
    return node;
}

std::vector<const tcNode*> tcNode::all(QLatin1String wanted) const
{
    std::vector<const tcNode*> found;
    for (const tcNode& node : children) {
        if (node.name == wanted)
            found.push_back(&node);
    }
    return found;
}

QString tcNode::textAt(std::initializer_list<QLatin1String> path) const
{
    const tcNode* node = find(path);
    return node ? node->text : QString();
}

QString tcNode::attribute(QLatin1String wanted) const
{
    for (const auto& attribute : attributes) {
        if (attribute.first == wanted)
            return attribute.second;
    }
    return QString();
}

namespace {

tcFault faultOf(const tcNode& node)
{
    tcFault fault;
    if (const tcNode* code = node.child(L("Code"))) {
        // SOAP 1.2: Code/Value with nested Subcode/Value
        fault.code = localPart(code->textAt({L("Value")}));
        for (const tcNode* sub = code->child(L("Subcode")); sub; sub = sub->child(L("Subcode"))) {
            const QString value = localPart(sub->textAt({L("Value")}));
            if (!value.isEmpty())
                fault.subcodes << value;
        }
        // the English text when the device gives several
        const std::vector<const tcNode*> texts =
            node.child(L("Reason")) ? node.child(L("Reason"))->all(L("Text")) : std::vector<const tcNode*>();
        for (const tcNode* text : texts) {
            if (fault.reason.isEmpty() || text->attribute(L("lang")).startsWith(L("en")))
                fault.reason = text->text;
        }
    } else {
        // SOAP 1.1: faultcode is the envelope's code (Client/Server are 1.2's Sender/Receiver)
        // or, with some devices, the ONVIF subcode itself
        const QString faultCode = localPart(node.textAt({L("faultcode")}));
        if (faultCode == L("Client") || faultCode == L("Sender"))
            fault.code = QStringLiteral("Sender");
        else if (faultCode == L("Server") || faultCode == L("Receiver"))
            fault.code = QStringLiteral("Receiver");
        else if (faultCode == L("VersionMismatch") || faultCode == L("MustUnderstand"))
            fault.code = faultCode;
        else if (!faultCode.isEmpty())
            fault.subcodes << faultCode;
        fault.reason = node.textAt({L("faultstring")});
    }
    fault.reason = fault.reason.simplified();
    return fault;
}

} // namespace

tcReply parseReply(const QByteArray& bytes, QLatin1String expected)
{
    tcReply reply;
    tcDocument document = readDocument(bytes);
    reply.soapVersion = document.soapVersion;
    if (!document.error.isEmpty()) {
        reply.error = document.error;
        return reply;
    }
    tcNode* body = nullptr;
    for (tcNode& child : document.root.children) {
        if (child.name == L("Body")) {
            body = &child;
            break;
        }
    }
    if (!body || body->children.empty()) {
        reply.error = QStringLiteral("no Body element or an empty one");
        return reply;
    }
    tcNode& first = body->children.front();
    if (first.name == L("Fault")) {
        reply.kind = tcReply::Fault;
        reply.fault = faultOf(first);
        return reply;
    }
    if (expected.size() && first.name != expected) {
        reply.error = QStringLiteral("%1 instead of %2").arg(first.name, expected);
        return reply;
    }
    reply.kind = tcReply::Ok;
    reply.body = std::move(first);
    return reply;
}

std::optional<tcSystemDateAndTime> systemDateAndTime(const tcReply& reply)
{
    const tcNode* response = responseOf(reply, L("GetSystemDateAndTimeResponse"));
    const tcNode* node = response ? response->child(L("SystemDateAndTime")) : nullptr;
    if (!node)
        return std::nullopt;
    tcSystemDateAndTime value;
    value.type = node->textAt({L("DateTimeType")});
    value.daylightSavings = isTrue(node->textAt({L("DaylightSavings")}));
    value.timeZone = node->textAt({L("TimeZone"), L("TZ")});
    value.utc = dateTimeOf(node->child(L("UTCDateTime")));
    return value;
}

std::optional<tcDeviceInformation> deviceInformation(const tcReply& reply)
{
    const tcNode* node = responseOf(reply, L("GetDeviceInformationResponse"));
    if (!node)
        return std::nullopt;
    return tcDeviceInformation{node->textAt({L("Manufacturer")}), node->textAt({L("Model")}),
                               node->textAt({L("FirmwareVersion")}), node->textAt({L("SerialNumber")}),
                               node->textAt({L("HardwareId")})};
}

std::optional<std::vector<tcNetworkInterface>> networkInterfaces(const tcReply& reply)
{
    const tcNode* node = responseOf(reply, L("GetNetworkInterfacesResponse"));
    if (!node)
        return std::nullopt;
    std::vector<tcNetworkInterface> interfaces;
    for (const tcNode* item : node->all(L("NetworkInterfaces"))) {
        tcNetworkInterface value;
        value.token = item->attribute(L("token"));
        value.enabled = isTrue(item->textAt({L("Enabled")}));
        value.mac = item->textAt({L("Info"), L("HwAddress")});
        if (const tcNode* ipv4 = item->child(L("IPv4"))) {
            value.ipv4Enabled = isTrue(ipv4->textAt({L("Enabled")}));
            if (const tcNode* config = ipv4->child(L("Config"))) {
                value.dhcp = isTrue(config->textAt({L("DHCP")}));
                value.manualAddress = config->textAt({L("Manual"), L("Address")});
                value.manualPrefix = number(config->textAt({L("Manual"), L("PrefixLength")}));
                value.dhcpAddress = config->textAt({L("FromDHCP"), L("Address")});
                value.dhcpPrefix = number(config->textAt({L("FromDHCP"), L("PrefixLength")}));
            }
        }
        interfaces.push_back(value);
    }
    return interfaces;
}

std::optional<bool> rebootNeeded(const tcReply& reply)
{
    const tcNode* node = responseOf(reply, L("SetNetworkInterfacesResponse"));
    if (!node)
        return std::nullopt;
    const QString text = node->textAt({L("RebootNeeded")});
    // the element is required, but a device that leaves it out has not asked for a reboot
    if (!text.isEmpty() && !isBoolean(text))
        return std::nullopt;
    return isTrue(text);
}

std::optional<std::vector<tcUser>> users(const tcReply& reply)
{
    const tcNode* node = responseOf(reply, L("GetUsersResponse"));
    if (!node)
        return std::nullopt;
    std::vector<tcUser> list;
    for (const tcNode* user : node->all(L("User")))
        list.push_back(tcUser{user->textAt({L("Username")}), QString(), user->textAt({L("UserLevel")})});
    return list;
}

// ---- the device's side ---------------------------------------------------------------

tcRequest parseRequest(const QByteArray& bytes)
{
    tcRequest request;
    tcDocument document = readDocument(bytes);
    if (!document.error.isEmpty()) {
        request.error = document.error;
        return request;
    }
    const tcNode* body = document.root.child(L("Body"));
    if (!body || body->children.empty()) {
        request.error = QStringLiteral("no operation in the Body");
        return request;
    }
    request.valid = true;
    request.operation = body->children.front();
    if (const tcNode* token = document.root.find({L("Header"), L("Security"), L("UsernameToken")})) {
        tcUsernameToken value;
        value.user = token->textAt({L("Username")});
        const tcNode* password = token->child(L("Password"));
        request.passwordText = password && !password->attribute(L("Type")).endsWith(L("#PasswordDigest"));
        value.digest = password ? password->text.toLatin1() : QByteArray();
        value.nonce = QByteArray::fromBase64(token->textAt({L("Nonce")}).toLatin1());
        value.created = token->textAt({L("Created")}).toLatin1();
        request.token = value;
    }
    return request;
}

tcTokenCheck checkToken(const tcRequest& request, const QString& user, const QString& password,
                        const QDateTime& deviceNow)
{
    if (!request.token)
        return tcTokenCheck::Missing;
    if (request.passwordText)
        return tcTokenCheck::PasswordText;
    const tcUsernameToken& token = *request.token;
    if (token.user != user || token.digest != passwordDigest(token.nonce, token.created, password))
        return tcTokenCheck::WrongDigest;
    QDateTime created = QDateTime::fromString(QString::fromLatin1(token.created), Qt::ISODate);
    if (!created.isValid() || qAbs(created.secsTo(deviceNow)) > kCreatedWindowSecs)
        return tcTokenCheck::Stale;
    return tcTokenCheck::Accepted;
}

QByteArray reply(const QByteArray& response)
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><env:Envelope xmlns:env=\"") +
           kSoap12 +
           "\" xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" "
           "xmlns:tt=\"http://www.onvif.org/ver10/schema\">"
           "<env:Body>" +
           response + "</env:Body></env:Envelope>";
}

QByteArray faultReply(const QString& acCode, const QStringList& subcodes, const QString& reason)
{
    QByteArray subs;
    for (const QString& sub : subcodes)
        subs += "<env:Subcode>" + element("env:Value", sub);
    for (int i = 0; i < subcodes.size(); ++i)
        subs += "</env:Subcode>";
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><env:Envelope xmlns:env=\"") +
           kSoap12 + "\" xmlns:ter=\"http://www.onvif.org/ver10/error\"><env:Body><env:Fault><env:Code>" +
           element("env:Value", QStringLiteral("env:") + acCode) + subs + "</env:Code><env:Reason>" +
           "<env:Text xml:lang=\"en\">" + escaped(reason) +
           "</env:Text></env:Reason></env:Fault></env:Body></env:Envelope>";
}

} // namespace tcOnvifDevice
