#pragma once
// The ONVIF Device service (ver10 device/wsdl) as bytes: the SOAP 1.2 requests of the
// device management operations this tool uses, the WS-Security UsernameToken that logs
// them in, and the reading of the replies into values or a fault. Pure functions; the
// client and the simulator only move these bytes over HTTP.
//
// Replies are read by local element names: devices differ in the prefixes they use, some
// answer in SOAP 1.1, some use a prefix they never declare, and many add elements of
// their own. Only the elements of the schema are looked at, where the schema puts them.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace tcOnvifDevice {

// A device service reply is a few kilobytes even with every vendor namespace declared;
// beyond this it is no reply of a camera, and it is not read at all.
constexpr int kMaxReplyBytes = 256 * 1024;
// Nesting beyond this is refused so that a hostile reply cannot make the tree deep.
constexpr int kMaxDepth = 32;
// A Created time older or newer than this, on the device's clock, is refused by the
// simulated device, as the Username Token Profile lets a receiver do (section 3.1).
constexpr int kCreatedWindowSecs = 300;

// ---- login ---------------------------------------------------------------------------

struct tcUsernameToken
{
    QString user;
    QByteArray nonce;   // the raw bytes; Base64 on the wire
    QByteArray created; // xsd:dateTime in UTC, e.g. "2026-12-07T23:00:00Z"
    QByteArray digest;  // Base64(SHA-1(nonce + created + password))
};

// 16 bytes from the system's secure generator: a new one for every request, so a token
// seen on the wire cannot be replayed.
QByteArray freshNonce();
// The Created text of a moment, UTC, whole seconds.
QByteArray createdText(const QDateTime& moment);
QByteArray passwordDigest(const QByteArray& nonce, const QByteArray& created, const QString& password);
tcUsernameToken makeToken(const QString& user, const QString& password, const QByteArray& nonce,
                          const QDateTime& deviceNow);

// The device's clock against ours: what is added to the workstation's UTC to get the
// device's. The device read its clock somewhere between sending and receiving; the middle
// is taken. Milliseconds.
qint64 clockOffsetMs(const QDateTime& deviceUtc, const QDateTime& sentAt, const QDateTime& receivedAt);
QDateTime deviceNow(const QDateTime& localUtc, qint64 offsetMs);

// The rule a first administrator's password is checked against before CreateUsers: at
// least 8 characters from at least 3 of lower case, upper case, digits and others.
enum class tcPasswordRule { Accepted, Empty, TooShort, TooFewClasses, ControlCharacter };
tcPasswordRule checkNewPassword(const QString& password);
// "accepted", "empty", "too-short", "too-few-classes", "control-character".
QString ruleCode(tcPasswordRule rule);

// ---- requests ------------------------------------------------------------------------

// The whole SOAP 1.2 envelope around one operation element (prefixes tds and tt are
// declared on the envelope); with a token, a wsse:Security header carrying it.
QByteArray request(const QByteArray& operation, const std::optional<tcUsernameToken>& token = std::nullopt);

QByteArray getSystemDateAndTime();
QByteArray getDeviceInformation();
QByteArray getNetworkInterfaces();
QByteArray getUsers();
QByteArray systemReboot();

struct tcDateTimeSetting
{
    bool ntp = false;                // DateTimeType NTP; otherwise Manual with utc
    bool daylightSavings = false;    // required by the schema: the device's own value is kept
    std::optional<QString> timeZone; // POSIX TZ text; the device keeps its own when unset
    QDateTime utc;                   // Manual only
};
QByteArray setSystemDateAndTime(const tcDateTimeSetting& setting);
// NTP servers given by the user: dotted IPv4 texts as IPv4Address, anything else as
// DNSname. No servers means from DHCP.
QByteArray setNtp(const QStringList& servers);

struct tcIPv4Setting
{
    bool dhcp = false;
    QString address;      // static only
    int prefixLength = 0; // static only
};
QByteArray setNetworkInterfaces(const QString& interfaceToken, const tcIPv4Setting& setting);
QByteArray setNetworkDefaultGateway(const QStringList& ipv4Addresses);
// No servers means from DHCP.
QByteArray setDns(const QStringList& ipv4Servers);

struct tcUser
{
    QString name;
    QString password; // empty when a reply lists users (they never carry one)
    QString level;    // "Administrator", "Operator", "User", ...
};
QByteArray setUser(const tcUser& user);
QByteArray createUsers(const std::vector<tcUser>& users);

// ---- replies -------------------------------------------------------------------------

// An element of a reply with what it holds: its local name, the text directly in it
// (trimmed), its attributes by local name (namespace declarations left out), its
// children in order.
struct tcNode
{
    QString name;
    QString text;
    std::vector<std::pair<QString, QString>> attributes;
    std::vector<tcNode> children;

    QString attribute(QLatin1String name) const;

    // The first child of that local name, or nullptr.
    const tcNode* child(QLatin1String name) const;
    // Follows a path of local names, one child per step.
    const tcNode* find(std::initializer_list<QLatin1String> path) const;
    std::vector<const tcNode*> all(QLatin1String name) const;
    QString textAt(std::initializer_list<QLatin1String> path) const;
};

struct tcFault
{
    QString code; // "Sender", "Receiver", "VersionMismatch", ... (SOAP 1.1 Client/Server read as these)
    QStringList subcodes; // outermost first, local names: "NotAuthorized", "InvalidIPv4Address"
    QString reason;

    // The innermost subcode, else the code: what a result names the failure by.
    QString detail() const { return subcodes.isEmpty() ? code : subcodes.last(); }
};

struct tcReply
{
    enum Kind { Ok, Fault, Invalid };
    Kind kind = Invalid;
    int soapVersion = 0; // 11 or 12, 0 when no envelope was read
    tcNode body;         // Ok: the Body's first element (the operation's response)
    tcFault fault;       // Fault
    QString error;       // Invalid: why, for the debug log
};

// Reads any reply of the device service. A reply whose Body element is not named
// `expected` (e.g. "GetDeviceInformationResponse") is Invalid; an empty expected takes any.
tcReply parseReply(const QByteArray& bytes, QLatin1String expected = QLatin1String());

struct tcSystemDateAndTime
{
    QString type; // "Manual" or "NTP"
    bool daylightSavings = false;
    QString timeZone;
    QDateTime utc; // invalid when the device left it out or it is no date
};
std::optional<tcSystemDateAndTime> systemDateAndTime(const tcReply& reply);

struct tcDeviceInformation
{
    QString manufacturer, model, firmware, serial, hardwareId;
};
std::optional<tcDeviceInformation> deviceInformation(const tcReply& reply);

struct tcNetworkInterface
{
    QString token;
    bool enabled = false;
    QString mac;
    bool ipv4Enabled = false;
    bool dhcp = false;
    QString manualAddress; // the configured static address, if any
    int manualPrefix = -1;
    QString dhcpAddress; // the address DHCP gave, if any
    int dhcpPrefix = -1;
};
std::optional<std::vector<tcNetworkInterface>> networkInterfaces(const tcReply& reply);

// SetNetworkInterfaces' RebootNeeded: nothing when the reply is no such response.
std::optional<bool> rebootNeeded(const tcReply& reply);
std::optional<std::vector<tcUser>> users(const tcReply& reply);

// ---- the device's side (the simulator) ------------------------------------------------

struct tcRequest
{
    bool valid = false;
    QString error;
    tcNode operation; // the Body's first element
    std::optional<tcUsernameToken> token;
    bool passwordText = false; // the token came with a clear-text password: refused
};
tcRequest parseRequest(const QByteArray& bytes);

enum class tcTokenCheck { Accepted, Missing, WrongDigest, Stale, PasswordText };
// deviceNow is the receiver's own clock. Only a PasswordDigest token is accepted.
tcTokenCheck checkToken(const tcRequest& request, const QString& user, const QString& password,
                        const QDateTime& deviceNow);

// A SOAP 1.2 reply holding `response` in its Body (no header).
QByteArray reply(const QByteArray& response);
// A SOAP 1.2 fault: code "Sender" or "Receiver", subcodes like "ter:NotAuthorized".
QByteArray faultReply(const QString& code, const QStringList& subcodes, const QString& reason);

// XML character escaping of a text value, for the builders and the simulator.
QByteArray escaped(const QString& text);

} // namespace tcOnvifDevice
