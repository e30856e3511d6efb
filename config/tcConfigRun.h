#pragma once
// The configuration exchanges with a list of devices, without widgets: the network
// settings run (read GetNetBasicConfig, write SetNetBasicConfig), the password run
// (/ModifyIntegrateUser as the administrator, then /ModifyPassword as the user) and the
// check (a read alone, to prove that a login works). One code path; what differs by
// design between them is chosen by the kind. Up to `parallel` devices at a time, each
// device's own requests one after another.
//
// Other makers' ONVIF cameras take the network and password runs through their ONVIF
// device service instead (tcOnvifExchange), and they alone take the runs that set the
// clock, restart the device or read its information.

#include "tcHttpTransport.h"
#include "tcLoginClient.h"
#include "tcOnvifDeviceCodec.h"
#include "tcVideoDevice.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

enum class tcConfigKind { Network, Password, Check, Time, Reboot, Information };

// How a site's exchange ended; the text is what the list's status column shows.
struct tcConfigOutcome
{
    enum Code {
        Success,
        Failed, // a password request answered without the success marker
        LoginFailed,
        NetworkError,
        InvalidResponse,
        DeviceError, // the device's own errorCode is the text
        UnknownError,
        InternalError,
    };
    Code code = InternalError;
    QString text;
    // What results name the failure by, e.g. "not-authorized", "unreachable",
    // "clock-skew", "invalid-reply", "device-error", "fault"; empty on success.
    QString reason;
    // Network run: the write was accepted (not set when DHCP was already on).
    bool written = false;
    QString address; // the address written in a static run

    // ONVIF cameras.
    QString mac;           // the interface's hardware address, read before the write
    bool rebooted = false; // the device restarts to take the change
    tcOnvifDevice::tcDeviceInformation information;
    bool hasInformation = false;
    // The device's own proof of the change (a clock read back, a login with the new
    // password, an answer after the restart): Proven or NotProven, with why.
    enum Proof { NoProof, Proven, NotProven };
    Proof proof = NoProof;
    QString proofText;

    bool success() const { return code == Success; }
    static tcConfigOutcome of(Code code, const QString& deviceText = QString());
};

// Whether a device is changed through the ONVIF device service rather than the
// family's own configuration API: an ONVIF camera that did not answer as one of ours.
bool usesOnvifService(const tcVideoDevice& device);

// The clock run: the workstation's UTC, or NTP from these servers (none: from DHCP).
struct tcTimeSetting
{
    bool ntp = false;
    QStringList servers;
    std::optional<QString> timeZone; // POSIX TZ; each device keeps its own when unset
};

// The static plan or DHCP; addresses in host byte order.
struct tcNetworkPlan
{
    bool dhcp = false;
    bool dnsViaDhcp = false;
    quint32 start = 0, mask = 0, gateway = 0, dns1 = 0, dns2 = 0;
    // Fixed: device i of the list gets start + i, whatever happens to the others.
    // Otherwise each device that reaches the write takes the next address (the window).
    bool fixed = false;
    // No DNS entries: each device keeps the servers it reported.
    bool keepDeviceDns = false;

    // The address the plan hands out n-th (planAddress: the last byte advances); empty
    // when it has none, past .255 or on a .0.
    QString address(quint32 n) const;
};

struct tcConfigCredentials
{
    QString adminUser, adminPassword;
    QString targetUser, oldPassword, newPassword; // password run
};

class tcConfigRun : public QObject
{
    Q_OBJECT
public:
    // Every request gives up after this long without progress, so a device that
    // accepts the connection and never answers ends its site.
    static constexpr int kTransferTimeoutMs = 15000;

    // Without a transport the run makes its own HTTP one.
    tcConfigRun(tcConfigKind kind, QObject* apParent = nullptr, tcHttpTransport* apTransport = nullptr);
    ~tcConfigRun() override;

    void setDevices(const QVector<tpVideoDevice>& devices) { items = devices; }
    void setCredentials(const tcConfigCredentials& credentials);
    void setPlan(const tcNetworkPlan& plan);
    void setTime(const tcTimeSetting& setting) { time = setting; }
    void setParallel(int parallel) { this->parallel = qMax(1, parallel); }
    // Whether the ONVIF exchanges prove their change themselves where they can.
    void setVerify(bool afVerify) { verify = afVerify; }
    // How a restarted ONVIF camera is waited for (tests shorten it).
    void setRebootTiming(int pollMs, int waitMs);

    // Where a device is reached. The network settings go to a link-local second address
    // when there is one, since a camera whose own address is unreachable still answers
    // there; the password requests, and the login that proves them, always go to the
    // device's own address.
    static QString hostOf(const tcVideoDevice& device, tcConfigKind kind);

public slots:
    void start();
    // No further site starts; the ones in progress run to their end.
    void stop();

signals:
    void sig_siteStarted(int index);
    void sig_siteEnded(int index, const tcConfigOutcome& outcome);
    // After the last site ended, or after a stop once the sites in progress ended.
    void sig_finished();

private:
    struct tcSite;
    enum class tcStep { Read, Write, User, Password };

    void startNextSite();
    void startOnvif(tcSite* site);
    // The address the plan gives the site reaching its write now; empty when it has none.
    QString takeAddress(tcSite* site);
    void endSite(tcSite* site, const tcConfigOutcome& outcome);
    void readSite(tcSite* site);
    void configReply(tcSite* site, const QByteArray& reply);
    void writeReply(tcSite* site, const QByteArray& reply);
    void sendUserRequest(tcSite* site);
    void sendPasswordRequest(tcSite* site);
    // The password run's outcome of one request, then the next request or the site's end.
    void passwordOutcome(tcSite* site, const tcConfigOutcome& outcome);

    void send(tcSite* site, tcStep step, const QByteArray& body = QByteArray());
    void transfer(tcSite* site, tcStep step, const tcHttpExchange& exchange);
    void replied(tcSite* site, tcStep step, const tcHttpExchange& exchange, const tcHttpResult& result);

    tcConfigKind kind;
    tcHttpTransport* transport;
    QVector<tpVideoDevice> items;
    tcConfigCredentials login;
    tcNetworkPlan plan;
    tcTimeSetting time;
    bool verify = true;
    int rebootPollMs = 0, rebootWaitMs = 0;
    // How many addresses a plan that is not fixed has handed out.
    quint32 handedOut = 0;
    QByteArray passwordBody, userBody;
    int parallel = 1;
    int nextIndex = 0;
    bool running = false;
    bool finishPending = false;
    std::vector<std::unique_ptr<tcSite>> active;
};

Q_DECLARE_METATYPE(tcConfigOutcome)
