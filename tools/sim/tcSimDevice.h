#pragma once
// One simulated device: what it tells the discovery protocols, how it lets a client
// log in, which fault it plays, and the configuration state that accepted writes change.
// A site is a list of them, described by a JSON file and/or generated from counts.

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <memory>

enum class tcSimKind { Onvif, Norvo2, Norvo1, PqRecorder, PqCamera, PqDecoder, PqStorage, Bridge };

// The discovery protocols a device answers (bit set).
enum tcSimProtocol : unsigned {
    ProtoOnvif = 1,
    ProtoNorvo = 2,
    ProtoPq = 4,
    ProtoBridge = 8,
};

enum class tcSimAuth { None, Basic, Digest, BasicDigest };

enum class tcSimFault { None, WrongCredentials, NoAnswer, ClosedPort, MalformedXml, Failed, EndlessBody };

// How the ONVIF device service logs a request in: a WS-Security UsernameToken, HTTP
// Digest, both of them, or not at all.
enum class tcSimOnvifAuth { Token, Digest, Both, None };

// The ONVIF device service's path on every device that speaks ONVIF.
extern const char kSimOnvifPath[];

// The element names of the network configuration, in the order the device writes them.
extern const QStringList kSimNetworkKeys;

struct tcSimDevice
{
    tcSimKind kind = tcSimKind::Onvif;
    unsigned protocols = ProtoOnvif;
    QHostAddress address;
    QHostAddress altAddress; // null when the device has no second address
    quint16 port = 80;
    QString name;
    QString model;
    QString firmware; // "A.B.C build"
    QString cloudId;
    std::array<quint8, 6> mac{};
    bool http = true;
    bool moveOnWrite = false; // discovery names the written static address
    // What the device does by itself after the start: goes silent (no discovery reply),
    // comes back, or says WS-Discovery Hello or Bye (which also end or begin a silence).
    struct tcStep
    {
        enum What { Silent, Back, Hello, Bye, Move };
        int atMs = 0;
        What what = Silent;
        QHostAddress to; // Move: the device's address from then on
    };
    QVector<tcStep> schedule;
    static constexpr const char* kStepNames[] = {"silent", "back", "hello", "bye", "move"};
    bool silent = false;
    // Silent by its schedule or down for a reboot: no discovery reply either way.
    bool quiet() const { return silent || rebooting; }

    tcSimAuth auth = tcSimAuth::Digest;
    QMap<QString, tcSimAuth> authPaths;        // path -> login mode that overrides `auth` there
    int nonceUses = 0;                         // accepted Digest logins per nonce; 0: no limit
    QString algorithm = QStringLiteral("MD5"); // or "MD5-sess"
    bool qop = true;                           // offer qop="auth"
    bool authVersion = false;                  // HA1 over the upper-case hex MD5 of the password
    bool userHash = false;                     // offer userhash=true
    QString realm;
    QByteArray opaque;            // the Digest opaque value the device hands out and expects back
    QMap<QString, QString> users; // name -> password; "admin" is the administrator

    tcSimFault fault = tcSimFault::None;
    QStringList faultPaths; // empty: the fault applies to every path
    QString errorCode;      // for the "failed" fault
    // The status attribute of an accepted write's reply; some firmware writes it in capitals.
    QString successStatus = QStringLiteral("success");

    // Current network configuration by element name; a missing key is left out of replies.
    QMap<QString, QString> network;

    // The ONVIF device service (tcSimOnvifService).
    tcSimOnvifAuth onvifAuth = tcSimOnvifAuth::Token;
    QMap<QString, QString> userLevels; // ONVIF user level by name, where not the default (userLevel)
    qint64 clockOffsetMs = 0;          // the device's clock minus the real one
    QString dateTimeType = QStringLiteral("Manual"); // or "NTP"
    bool daylightSavings = false;
    QString timeZone = QStringLiteral("GMT0"); // POSIX TZ
    bool ntpFromDhcp = true;
    QStringList ntpServers;
    bool rebootNeeded = false; // SetNetworkInterfaces takes effect after SystemReboot only
    bool keepsAddress = false; // SetNetworkInterfaces answers success and changes nothing
    int rebootMs = 3000;
    bool rebooting = false; // answers neither HTTP nor discovery
    int reboots = 0;
    QMap<QString, QString> pendingNetwork; // network elements written, in effect after the next reboot
    // An ONVIF interface write took effect: discovery names the configured static address,
    // as with moveOnWrite.
    bool writtenAddressTaken = false;

    // Digest nonces handed out, with the highest nonce count seen for each (replay check).
    QHash<QByteArray, quint32> nonces;
    QVector<QByteArray> nonceOrder;
    QHash<QByteArray, int> nonceLogins; // accepted logins per nonce, while nonceUses limits them

    QString macText() const; // "0a:3d:91:00:11:22"
    QString macHex() const;  // "0a3d9100112"
    bool faultApplies(const QString& path) const;
    // The login mode of a request path.
    // The ONVIF service path asks for Digest when onvifAuth does, whatever `auth` says.
    tcSimAuth authFor(const QString& path) const;
    // "admin" is the Administrator and every other user a User, unless ONVIF set a level.
    QString userLevel(const QString& user) const;
    // True when the current configuration selects DHCP.
    bool dhcpMode() const;
    // The address discovery replies name: the device's own, or with moveOnWrite (or
    // after an ONVIF interface write took effect) the static address its configuration holds.
    QHostAddress reportedAddress() const;
    // Every address the device answers from in the run: its own, its second, and those
    // its schedule moves it to.
    QVector<QHostAddress> addresses() const;
    // The state that tests read back: identity, login settings (passwords only as
    // SHA-256), network configuration, and the ONVIF service's clock, users and reboots.
    QJsonObject stateJson() const;
};

using tcSimDevices = std::vector<std::unique_ptr<tcSimDevice>>;

QString simKindText(tcSimKind kind);
bool parseSimKind(const QString& text, tcSimKind* kind);
QString simFaultText(tcSimFault fault);
QString simAuthText(tcSimAuth auth);
QString simOnvifAuthText(tcSimOnvifAuth auth);
unsigned defaultProtocols(tcSimKind kind);
// Fills the network configuration a device reports before any write: static address
// plan around its own address.
void setDefaultNetwork(tcSimDevice& device, const QHostAddress& gateway);
// After a switch to DHCP: the site's DHCP server hands the camera the address it already
// has, which shows in the empty dhcp* elements the device reports (those it reports at all).
void takeDhcpLease(tcSimDevice& device);

// Reads a site file (see README.md). Appends to devices; on failure returns false and
// sets *error to what is wrong and where.
bool loadSiteJson(const QByteArray& json, tcSimDevices& devices, QString* error);

struct tcSimCounts
{
    int onvif = 0, norvo2 = 0, norvo1 = 0, pqRecorders = 0, pqCameras = 0, pqDecoders = 0, pqStorage = 0,
        bridges = 0;
};

// Appends generated devices, deterministic for a seed; addresses count up from base,
// skipping .0, .255 and addresses already taken.
void generateSite(const tcSimCounts& counts, quint32 seed, const QHostAddress& base, const QString& password,
                  tcSimDevices& devices);

// Writes one compact JSON object and a newline to stdout and flushes.
void emitJsonLine(const QJsonObject& object);
