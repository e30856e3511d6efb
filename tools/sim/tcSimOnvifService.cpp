#include "tcSimOnvifService.h"

#include "tcOnvifDeviceCodec.h"

#include <QRegularExpression>
#include <QSet>
#include <QtAlgorithms>

#include <optional>

namespace onvif = tcOnvifDevice;

namespace {

using onvif::tcNode;

constexpr char kInterfaceToken[] = "eth0";
const QString kAdministrator = QStringLiteral("Administrator");

QLatin1String L(const char* text)
{
    return QLatin1String(text);
}

QByteArray el(const char* name, const QString& text)
{
    return '<' + QByteArray(name) + '>' + onvif::escaped(text) + "</" + QByteArray(name) + '>';
}

QByteArray boolText(bool value)
{
    return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
}

// xsd:boolean; nothing when the text is none.
std::optional<bool> boolean(const QString& text)
{
    if (text == L("true") || text == L("1"))
        return true;
    if (text == L("false") || text == L("0"))
        return false;
    return std::nullopt;
}

tcSimOnvifResponse ok(const QByteArray& response, bool changed = false)
{
    tcSimOnvifResponse r;
    r.body = onvif::reply(response);
    r.changed = changed;
    return r;
}

// SOAP over HTTP: a fault the sender caused is a 400, one of the receiver's own a 500.
tcSimOnvifResponse fault(const QString& code, const QStringList& subcodes, const QString& reason)
{
    tcSimOnvifResponse r;
    r.status = code == L("Sender") ? 400 : 500;
    r.body = onvif::faultReply(code, subcodes, reason);
    return r;
}

tcSimOnvifResponse invalidArg(const QString& reason, const char* subcode = nullptr)
{
    QStringList subcodes{QStringLiteral("ter:InvalidArgVal")};
    if (subcode)
        subcodes << QStringLiteral("ter:") + L(subcode);
    return fault(QStringLiteral("Sender"), subcodes, reason);
}

tcSimOnvifResponse prohibited(const char* subcode, const QString& reason)
{
    return fault(QStringLiteral("Sender"),
                 {QStringLiteral("ter:OperationProhibited"), QStringLiteral("ter:") + L(subcode)}, reason);
}

tcSimOnvifResponse notAuthorized(const QString& reason)
{
    return fault(QStringLiteral("Sender"), {QStringLiteral("ter:NotAuthorized")}, reason);
}

// An address a camera can take: no 0.0.0.0, multicast or class E.
bool hostAddress(const QString& text)
{
    if (!validIpv4(text))
        return false;
    const quint32 address = QHostAddress(text).toIPv4Address();
    return address != 0 && address < 0xe0000000u;
}

int prefixOf(const QString& mask)
{
    return validMask(mask) ? int(qPopulationCount(QHostAddress(mask).toIPv4Address())) : -1;
}

QString maskOf(int prefix)
{
    return QHostAddress(~quint32(0) << (32 - prefix)).toString();
}

QByteArray prefixedAddress(const char* wrapper, const QString& address, int prefix)
{
    QByteArray out = '<' + QByteArray(wrapper) + '>' + el("tt:Address", address);
    if (prefix >= 0) // a mask the site left out stays out
        out += "<tt:PrefixLength>" + QByteArray::number(prefix) + "</tt:PrefixLength>";
    return out + "</" + QByteArray(wrapper) + '>';
}

// A POSIX TZ text begins with the standard time's name and its offset: "GMT0",
// "CET-1CEST,M3.5.0,M10.5.0/3", "<+0545>-5:45".
bool validTimeZone(const QString& text)
{
    static const QRegularExpression posix(QStringLiteral("^(<[^<>]+>|[A-Za-z]{3,})[-+]?[0-9][!-~]*$"));
    return text.size() <= 64 && posix.match(text).hasMatch();
}

bool validDnsName(const QString& text)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-"
                                                        "Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$"));
    return text.size() <= 253 && name.match(text).hasMatch();
}

int number(const tcNode* node, std::initializer_list<QLatin1String> path)
{
    bool ok = false;
    const int value = node->textAt(path).toInt(&ok);
    return ok ? value : -1;
}

// A tt:DateTime; invalid when it is missing or no moment.
QDateTime dateTimeOf(const tcNode* node)
{
    if (!node)
        return QDateTime();
    const QDate date(number(node, {L("Date"), L("Year")}), number(node, {L("Date"), L("Month")}),
                     number(node, {L("Date"), L("Day")}));
    const QTime time(number(node, {L("Time"), L("Hour")}), number(node, {L("Time"), L("Minute")}),
                     number(node, {L("Time"), L("Second")}));
    // A camera's clock starts at the epoch; earlier is no time it can keep.
    if (!date.isValid() || !time.isValid() || date.year() < 1970)
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

QByteArray dateTimeElements(const QDateTime& utc)
{
    const QTime time = utc.time();
    const QDate date = utc.date();
    return "<tt:Time><tt:Hour>" + QByteArray::number(time.hour()) + "</tt:Hour><tt:Minute>" +
           QByteArray::number(time.minute()) + "</tt:Minute><tt:Second>" + QByteArray::number(time.second()) +
           "</tt:Second></tt:Time><tt:Date><tt:Year>" + QByteArray::number(date.year()) +
           "</tt:Year><tt:Month>" + QByteArray::number(date.month()) + "</tt:Month><tt:Day>" +
           QByteArray::number(date.day()) + "</tt:Day></tt:Date>";
}

void applyNetwork(tcSimDevice& d, const QMap<QString, QString>& change)
{
    for (auto it = change.begin(); it != change.end(); ++it)
        d.network[it.key()] = it.value();
    if (d.dhcpMode())
        takeDhcpLease(d);
    d.writtenAddressTaken = true;
}

// ---- the operations ------------------------------------------------------------------

struct tcCall
{
    tcSimDevice& d;
    const tcNode& op;
    const QString& user;  // logged in; empty when no login was needed
    const QString& level; // the rights of the request
    const QDateTime& realUtc;
};

tcSimOnvifResponse getSystemDateAndTime(const tcCall& c)
{
    const QDateTime now = onvif::deviceNow(c.realUtc, c.d.clockOffsetMs);
    return ok("<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime>" +
              el("tt:DateTimeType", c.d.dateTimeType) + "<tt:DaylightSavings>" +
              boolText(c.d.daylightSavings) + "</tt:DaylightSavings><tt:TimeZone>" +
              el("tt:TZ", c.d.timeZone) + "</tt:TimeZone><tt:UTCDateTime>" + dateTimeElements(now) +
              "</tt:UTCDateTime></tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>");
}

tcSimOnvifResponse setSystemDateAndTime(const tcCall& c)
{
    const QString type = c.op.textAt({L("DateTimeType")});
    if (type != L("Manual") && type != L("NTP"))
        return invalidArg(QStringLiteral("DateTimeType is Manual or NTP"));
    const QString daylightText = c.op.textAt({L("DaylightSavings")});
    const std::optional<bool> daylight = boolean(daylightText);
    if (!daylight && !daylightText.isEmpty())
        return invalidArg(QStringLiteral("DaylightSavings is true or false"));
    const tcNode* zone = c.op.find({L("TimeZone"), L("TZ")});
    if (zone && !validTimeZone(zone->text))
        return invalidArg(QStringLiteral("not a POSIX time zone: %1").arg(zone->text), "InvalidTimeZone");
    const QDateTime utc = dateTimeOf(c.op.child(L("UTCDateTime")));
    if (type == L("Manual") && !utc.isValid())
        return invalidArg(QStringLiteral("a manual clock needs a valid UTCDateTime"), "InvalidDateTime");

    c.d.dateTimeType = type;
    // There is no NTP server on the site: a clock that follows NTP is taken as exact.
    c.d.clockOffsetMs = type == L("Manual") ? c.realUtc.msecsTo(utc) : 0;
    if (daylight)
        c.d.daylightSavings = *daylight;
    if (zone)
        c.d.timeZone = zone->text;
    return ok("<tds:SetSystemDateAndTimeResponse/>", true);
}

QString manufacturer(tcSimKind kind)
{
    switch (kind) {
    case tcSimKind::Norvo2: return QStringLiteral("Norvo");
    case tcSimKind::PqCamera: return QStringLiteral("PQ Series");
    default: return QStringLiteral("Simulated");
    }
}

tcSimOnvifResponse getDeviceInformation(const tcCall& c)
{
    return ok("<tds:GetDeviceInformationResponse>" + el("tds:Manufacturer", manufacturer(c.d.kind)) +
              el("tds:Model", c.d.model) + el("tds:FirmwareVersion", c.d.firmware) +
              el("tds:SerialNumber", c.d.macHex().toUpper()) + el("tds:HardwareId", simKindText(c.d.kind)) +
              "</tds:GetDeviceInformationResponse>");
}

tcSimOnvifResponse getNetworkInterfaces(const tcCall& c)
{
    const tcSimDevice& d = c.d;
    const QString staticIp = d.network.value(QStringLiteral("staticIp"));
    const int staticPrefix = prefixOf(d.network.value(QStringLiteral("staticIpMask")));
    QByteArray config;
    if (validIpv4(staticIp))
        config += prefixedAddress("tt:Manual", staticIp, staticPrefix);
    const bool dhcp = d.dhcpMode();
    if (dhcp) {
        const QString leased = d.network.value(QStringLiteral("dhcpIp"));
        const int leasedPrefix = prefixOf(d.network.value(QStringLiteral("dhcpIpMask")));
        config += prefixedAddress("tt:FromDHCP", validIpv4(leased) ? leased : d.address.toString(),
                                  leasedPrefix >= 0 ? leasedPrefix : staticPrefix);
    }
    config += "<tt:DHCP>" + boolText(dhcp) + "</tt:DHCP>";
    return ok("<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token=\"" +
              QByteArray(kInterfaceToken) + "\"><tt:Enabled>true</tt:Enabled><tt:Info>" +
              el("tt:Name", L(kInterfaceToken)) + el("tt:HwAddress", d.macText()) +
              "<tt:MTU>1500</tt:MTU></tt:Info><tt:IPv4><tt:Enabled>true</tt:Enabled>" + "<tt:Config>" +
              config + "</tt:Config></tt:IPv4></tds:NetworkInterfaces></tds:GetNetworkInterfacesResponse>");
}

tcSimOnvifResponse setNetworkInterfaces(const tcCall& c)
{
    tcSimDevice& d = c.d;
    const QString token = c.op.textAt({L("InterfaceToken")});
    if (token != L(kInterfaceToken))
        return invalidArg(QStringLiteral("no interface \"%1\"").arg(token), "InvalidNetworkInterface");
    QMap<QString, QString> change;
    if (const tcNode* ipv4 = c.op.find({L("NetworkInterface"), L("IPv4")})) {
        const QString dhcpText = ipv4->textAt({L("DHCP")});
        const std::optional<bool> dhcp = boolean(dhcpText);
        if (!dhcp && !dhcpText.isEmpty())
            return invalidArg(QStringLiteral("DHCP is true or false"));
        if (const tcNode* manual = ipv4->child(L("Manual"))) {
            const QString address = manual->textAt({L("Address")});
            const int prefix = number(manual, {L("PrefixLength")});
            if (!hostAddress(address) || prefix < 1 || prefix > 32)
                return invalidArg(QStringLiteral("%1/%2 is no address of a host")
                                      .arg(address, manual->textAt({L("PrefixLength")})),
                                  "InvalidIPv4Address");
            change[QStringLiteral("staticIp")] = address;
            change[QStringLiteral("staticIpMask")] = maskOf(prefix);
        }
        if (!dhcp.value_or(d.dhcpMode()) && !change.contains(QStringLiteral("staticIp")) &&
            !hostAddress(d.network.value(QStringLiteral("staticIp"))))
            return invalidArg(QStringLiteral("a static configuration needs an address"),
                              "InvalidIPv4Address");
        if (dhcp)
            change[QStringLiteral("ipSettingMode")] =
                *dhcp ? QStringLiteral("dhcp") : QStringLiteral("staticIp");
    }
    if (!d.keepsAddress) {
        if (d.rebootNeeded) {
            for (auto it = change.begin(); it != change.end(); ++it)
                d.pendingNetwork[it.key()] = it.value();
        } else {
            applyNetwork(d, change);
        }
    }
    return ok("<tds:SetNetworkInterfacesResponse><tds:RebootNeeded>" + boolText(d.rebootNeeded) +
                  "</tds:RebootNeeded></tds:SetNetworkInterfacesResponse>",
              true);
}

tcSimOnvifResponse setNetworkDefaultGateway(const tcCall& c)
{
    QStringList gateways;
    for (const tcNode* address : c.op.all(L("IPv4Address"))) {
        if (!hostAddress(address->text))
            return invalidArg(QStringLiteral("%1 is no gateway address").arg(address->text),
                              "InvalidGatewayAddress");
        gateways << address->text;
    }
    c.d.network[QStringLiteral("staticIpRoute")] = gateways.value(0);
    return ok("<tds:SetNetworkDefaultGatewayResponse/>", true);
}

tcSimOnvifResponse setDns(const tcCall& c)
{
    const std::optional<bool> fromDhcp = boolean(c.op.textAt({L("FromDHCP")}));
    if (!fromDhcp)
        return invalidArg(QStringLiteral("FromDHCP is true or false"));
    QStringList servers;
    for (const tcNode* manual : c.op.all(L("DNSManual"))) {
        if (manual->textAt({L("Type")}) != L("IPv4"))
            continue; // the cameras keep IPv4 servers only
        const QString address = manual->textAt({L("IPv4Address")});
        if (!hostAddress(address))
            return invalidArg(QStringLiteral("%1 is no DNS server address").arg(address),
                              "InvalidIPv4Address");
        servers << address;
    }
    c.d.network[QStringLiteral("dnsFromDhcpSwitch")] = QString::fromLatin1(boolText(*fromDhcp));
    c.d.network[QStringLiteral("dnsServer1")] = servers.value(0);
    c.d.network[QStringLiteral("dnsServer2")] = servers.value(1);
    return ok("<tds:SetDNSResponse/>", true);
}

tcSimOnvifResponse setNtp(const tcCall& c)
{
    const std::optional<bool> fromDhcp = boolean(c.op.textAt({L("FromDHCP")}));
    if (!fromDhcp)
        return invalidArg(QStringLiteral("FromDHCP is true or false"));
    QStringList servers;
    for (const tcNode* manual : c.op.all(L("NTPManual"))) {
        const QString type = manual->textAt({L("Type")});
        if (type == L("IPv4")) {
            servers << manual->textAt({L("IPv4Address")});
            if (!hostAddress(servers.last()))
                return invalidArg(QStringLiteral("%1 is no IPv4 address").arg(servers.last()),
                                  "InvalidIPv4Address");
        } else if (type == L("IPv6")) {
            servers << manual->textAt({L("IPv6Address")});
            if (QHostAddress(servers.last()).protocol() != QAbstractSocket::IPv6Protocol)
                return invalidArg(QStringLiteral("%1 is no IPv6 address").arg(servers.last()),
                                  "InvalidIPv6Address");
        } else if (type == L("DNS")) {
            servers << manual->textAt({L("DNSname")});
            if (!validDnsName(servers.last()))
                return invalidArg(QStringLiteral("%1 is no host name").arg(servers.last()), "InvalidDnsName");
        } else {
            return invalidArg(QStringLiteral("an NTP server's Type is IPv4, IPv6 or DNS"));
        }
    }
    c.d.ntpFromDhcp = *fromDhcp;
    c.d.ntpServers = servers;
    return ok("<tds:SetNTPResponse/>", true);
}

tcSimOnvifResponse getUsers(const tcCall& c)
{
    QByteArray out = "<tds:GetUsersResponse>";
    for (auto it = c.d.users.begin(); it != c.d.users.end(); ++it)
        out += "<tds:User>" + el("tt:Username", it.key()) + el("tt:UserLevel", c.d.userLevel(it.key())) +
               "</tds:User>";
    return ok(out + "</tds:GetUsersResponse>");
}

// A user as SetUser and CreateUsers give it; a fault when a value is out of range.
struct tcUserIn
{
    QString name;
    std::optional<QString> password;
    QString level; // empty: not given
};

std::optional<tcSimOnvifResponse> readUser(const tcNode* node, tcUserIn* user)
{
    user->name = node->textAt({L("Username")});
    user->level = node->textAt({L("UserLevel")});
    if (const tcNode* password = node->child(L("Password")))
        user->password = password->text;
    if (user->name.isEmpty())
        return prohibited("UsernameTooShort", QStringLiteral("a user needs a name"));
    if (user->password && user->password->isEmpty())
        return prohibited("PasswordTooWeak", QStringLiteral("an empty password"));
    if (user->level == L("Anonymous"))
        return prohibited("AnonymousNotAllowed", QStringLiteral("no anonymous users"));
    if (!user->level.isEmpty() && user->level != kAdministrator && user->level != L("Operator") &&
        user->level != L("User"))
        return invalidArg(QStringLiteral("UserLevel is Administrator, Operator or User"));
    return std::nullopt;
}

void storeUser(tcSimDevice& d, const tcUserIn& user)
{
    if (user.password)
        d.users[user.name] = *user.password;
    if (!user.level.isEmpty())
        d.userLevels[user.name] = user.level;
}

// Every user is checked before any is changed: a refused request changes nothing.
tcSimOnvifResponse setUser(const tcCall& c)
{
    std::vector<tcUserIn> users;
    for (const tcNode* node : c.op.all(L("User"))) {
        tcUserIn user;
        if (const auto refused = readUser(node, &user))
            return *refused;
        if (!c.d.users.contains(user.name))
            return invalidArg(QStringLiteral("no user \"%1\"").arg(user.name), "UsernameMissing");
        // Anyone may change their own password; only an Administrator changes another
        // user or any level.
        const bool own =
            user.name == c.user && (user.level.isEmpty() || user.level == c.d.userLevel(user.name));
        if (c.level != kAdministrator && !own)
            return notAuthorized(QStringLiteral("only an Administrator changes another user or a level"));
        users.push_back(user);
    }
    if (users.empty())
        return invalidArg(QStringLiteral("SetUser names no User"));
    for (const tcUserIn& user : users)
        storeUser(c.d, user);
    return ok("<tds:SetUserResponse/>", true);
}

tcSimOnvifResponse createUsers(const tcCall& c)
{
    std::vector<tcUserIn> users;
    QSet<QString> names;
    for (const tcNode* node : c.op.all(L("User"))) {
        tcUserIn user;
        if (const auto refused = readUser(node, &user))
            return *refused;
        if (!user.password)
            return prohibited("PasswordTooWeak", QStringLiteral("a new user needs a password"));
        if (user.level.isEmpty())
            return invalidArg(QStringLiteral("a new user needs a UserLevel"));
        if (c.d.users.contains(user.name) || names.contains(user.name))
            return prohibited("UsernameClash", QStringLiteral("user \"%1\" exists").arg(user.name));
        names.insert(user.name);
        users.push_back(user);
    }
    if (users.empty())
        return invalidArg(QStringLiteral("CreateUsers names no User"));
    for (const tcUserIn& user : users)
        storeUser(c.d, user);
    return ok("<tds:CreateUsersResponse/>", true);
}

tcSimOnvifResponse systemReboot(const tcCall& c)
{
    c.d.rebooting = true;
    ++c.d.reboots;
    tcSimOnvifResponse r =
        ok("<tds:SystemRebootResponse>" +
               el("tds:Message",
                  QStringLiteral("Rebooting, back in %1 s").arg(QString::number(c.d.rebootMs / 1000.0))) +
               "</tds:SystemRebootResponse>",
           true);
    r.rebootRequested = true;
    return r;
}

enum class tcAccess { PreAuth, AnyUser, Administrator };

struct tcOperation
{
    const char* name;
    tcAccess access;
    tcSimOnvifResponse (*serve)(const tcCall&);
};

// Reading users is the Administrator's, as writing anything is; SetUser decides itself
// because a user may change their own password.
const tcOperation kOperations[] = {
    {"GetSystemDateAndTime", tcAccess::PreAuth, getSystemDateAndTime},
    {"SetSystemDateAndTime", tcAccess::Administrator, setSystemDateAndTime},
    {"GetDeviceInformation", tcAccess::AnyUser, getDeviceInformation},
    {"GetNetworkInterfaces", tcAccess::AnyUser, getNetworkInterfaces},
    {"SetNetworkInterfaces", tcAccess::Administrator, setNetworkInterfaces},
    {"SetNetworkDefaultGateway", tcAccess::Administrator, setNetworkDefaultGateway},
    {"SetDNS", tcAccess::Administrator, setDns},
    {"SetNTP", tcAccess::Administrator, setNtp},
    {"GetUsers", tcAccess::Administrator, getUsers},
    {"SetUser", tcAccess::AnyUser, setUser},
    {"CreateUsers", tcAccess::Administrator, createUsers},
    {"SystemReboot", tcAccess::Administrator, systemReboot},
};

// ---- login ---------------------------------------------------------------------------

struct tcCaller
{
    bool ok = false;
    bool challenge = false; // refused for want of an HTTP Digest login
    QString user;
    QString level;
    QString verdict;
};

QString tokenVerdict(onvif::tcTokenCheck check)
{
    switch (check) {
    case onvif::tcTokenCheck::Accepted: return QStringLiteral("ok");
    case onvif::tcTokenCheck::Missing: return QStringLiteral("refused: no UsernameToken");
    case onvif::tcTokenCheck::WrongDigest: return QStringLiteral("refused: wrong token digest");
    case onvif::tcTokenCheck::Stale:
        return QStringLiteral("refused: token created outside the device's window");
    case onvif::tcTokenCheck::PasswordText: return QStringLiteral("refused: clear-text token password");
    }
    return QString();
}

tcCaller identify(const tcSimDevice& d, const onvif::tcRequest& request, const QString& httpUser,
                  const QDateTime& realUtc, bool refuseAll)
{
    tcCaller caller;
    caller.level = kAdministrator;
    if (d.users.isEmpty()) {
        // Factory-new: no user to log in as, so the device lets everyone in until the first
        // one is created.
        caller.ok = true;
        caller.verdict = QStringLiteral("ok: no users yet");
        return caller;
    }
    if (refuseAll) {
        caller.challenge = d.authFor(QLatin1String(kSimOnvifPath)) == tcSimAuth::Digest;
        caller.verdict = QStringLiteral("refused: device refuses every login");
        return caller;
    }
    if (d.onvifAuth == tcSimOnvifAuth::None) {
        caller.ok = true;
        caller.verdict = QStringLiteral("ok: no login");
        return caller;
    }
    if (d.onvifAuth == tcSimOnvifAuth::Digest || d.onvifAuth == tcSimOnvifAuth::Both) {
        if (httpUser.isEmpty()) {
            caller.challenge = true;
            caller.verdict = QStringLiteral("refused: no HTTP Digest login");
            return caller;
        }
        caller.user = httpUser;
    }
    if (d.onvifAuth == tcSimOnvifAuth::Token || d.onvifAuth == tcSimOnvifAuth::Both) {
        // The token's user decides the rights, also after an HTTP login.
        caller.user = request.token ? request.token->user : QString();
        if (request.token && !d.users.contains(caller.user)) {
            caller.verdict = QStringLiteral("refused: unknown user");
            return caller;
        }
        const onvif::tcTokenCheck check = onvif::checkToken(request, caller.user, d.users.value(caller.user),
                                                            onvif::deviceNow(realUtc, d.clockOffsetMs));
        caller.verdict = tokenVerdict(check);
        if (check != onvif::tcTokenCheck::Accepted)
            return caller;
    }
    caller.ok = true;
    caller.level = d.userLevel(caller.user);
    caller.verdict = QStringLiteral("ok");
    return caller;
}

} // namespace

bool onvifContentTypeAccepted(const QByteArray& contentType)
{
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    return type == "application/soap+xml" || type == "text/xml";
}

QString onvifFaultPath(const QByteArray& body)
{
    const onvif::tcRequest request = onvif::parseRequest(body);
    return QLatin1String(kSimOnvifPath) +
           (request.valid ? QLatin1Char('/') + request.operation.name : QString());
}

tcSimOnvifResponse handleOnvifRequest(tcSimDevice& d, const QByteArray& body, const QString& httpUser,
                                      const QDateTime& realUtc)
{
    const onvif::tcRequest request = onvif::parseRequest(body);
    if (!request.valid) {
        // HTTP clients open a Digest exchange with an empty body, which is answered with
        // the challenge, not read.
        const bool challenge = httpUser.isEmpty() && !d.users.isEmpty() &&
                               d.authFor(QLatin1String(kSimOnvifPath)) == tcSimAuth::Digest;
        tcSimOnvifResponse r =
            challenge ? notAuthorized(QStringLiteral("Sender not authorized"))
                      : fault(QStringLiteral("Sender"), {QStringLiteral("ter:WellFormed")}, request.error);
        r.status = challenge ? 401 : r.status;
        r.challenge = challenge;
        r.log.insert(QStringLiteral("error"), request.error);
        return r;
    }
    const QString name = request.operation.name;
    QJsonObject log{{QStringLiteral("operation"), name}};
    const tcOperation* operation = nullptr;
    for (const tcOperation& candidate : kOperations)
        if (name == L(candidate.name))
            operation = &candidate;
    if (!operation) {
        tcSimOnvifResponse r = fault(QStringLiteral("Receiver"), {QStringLiteral("ter:ActionNotSupported")},
                                     QStringLiteral("%1 is not supported").arg(name));
        r.log = log;
        return r;
    }

    const bool playing = d.faultApplies(QLatin1String(kSimOnvifPath) + QLatin1Char('/') + name);
    tcCaller caller;
    caller.level = kAdministrator;
    if (operation->access != tcAccess::PreAuth) {
        caller = identify(d, request, httpUser, realUtc, playing && d.fault == tcSimFault::WrongCredentials);
        log.insert(QStringLiteral("login"), caller.verdict);
        if (!caller.user.isEmpty())
            log.insert(QStringLiteral("username"), caller.user);
    }
    tcSimOnvifResponse r;
    if (!caller.ok && operation->access != tcAccess::PreAuth) {
        r = notAuthorized(QStringLiteral("Sender not authorized"));
        if (caller.challenge) {
            r.status = 401;
            r.challenge = true;
        }
    } else if (operation->access == tcAccess::Administrator && caller.level != kAdministrator) {
        r = notAuthorized(QStringLiteral("%1 is for an Administrator").arg(name));
    } else if (playing && d.fault == tcSimFault::MalformedXml) {
        // The response element is never closed: broken firmware's XML.
        r.body = onvif::reply("<tds:" + name.toUtf8() + "Response><tds:Message>");
    } else if (playing && d.fault == tcSimFault::Failed) {
        QStringList subcodes{QStringLiteral("ter:Action")};
        if (!d.errorCode.isEmpty())
            subcodes << (d.errorCode.contains(QLatin1Char(':')) ? d.errorCode
                                                                : QStringLiteral("ter:") + d.errorCode);
        r = fault(QStringLiteral("Receiver"), subcodes, QStringLiteral("The requested action failed"));
    } else {
        r = operation->serve(tcCall{d, request.operation, caller.user, caller.level, realUtc});
    }
    r.log = log;
    return r;
}

void finishReboot(tcSimDevice& d)
{
    d.rebooting = false;
    if (d.pendingNetwork.isEmpty())
        return;
    applyNetwork(d, d.pendingNetwork);
    d.pendingNetwork.clear();
}

QString redactedOnvifBody(const QByteArray& body)
{
    // Up to the element's end tag, or to the end of a body cut short: whatever the tag
    // looks like, what follows it is never let through.
    static const QRegularExpression password(
        QStringLiteral("(<(?:[\\w.-]+:)?Password\\b[^>]*>).*?(?=</(?:[\\w.-]+:)?Password\\s*>|\\z)"),
        QRegularExpression::DotMatchesEverythingOption);
    QString text = QString::fromUtf8(body);
    text.replace(password, QStringLiteral("\\1(not logged)"));
    return text;
}
