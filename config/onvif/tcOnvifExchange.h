#pragma once
// One device's exchange with its ONVIF device service: the clock read that logs every
// later request in on the device's own time, then one operation (information, time,
// network settings, password or reboot), and where the device itself
// can show it, the proof that the change took effect. The SOAP bytes are
// tcOnvifDeviceCodec's; this class only sends them and follows the replies.

#include "tcHttpTransport.h"
#include "tcLoginClient.h"
#include "tcOnvifDeviceCodec.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QUrl>

#include <functional>

enum class tcOnvifOperation { Information, Time, Network, Password, Reboot };

// What to do on one device.
struct tcOnvifTask
{
    tcOnvifOperation operation = tcOnvifOperation::Information;
    QString user, password; // the login: the administrator
    bool verify = true;     // prove the change where the device can show it

    // Password: the user whose password changes. A device with no users yet gets this
    // user as its first administrator.
    QString targetUser, newPassword, oldPassword;

    // Time: the workstation's UTC, or NTP from these servers (none: from DHCP).
    bool ntp = false;
    QStringList ntpServers;
    std::optional<QString> timeZone; // POSIX TZ; the device keeps its own when unset

    // Network. The address is asked for when the exchange reaches the write, so a plan
    // that hands addresses out in order skips the devices that failed before it.
    bool dhcp = false;
    std::function<QString()> takeAddress;
    int prefixLength = 0;
    QString gateway;
    bool keepDns = false, dnsFromDhcp = false;
    QStringList dns;
};

struct tcOnvifResult
{
    enum Code { Success, LoginFailed, Unreachable, InvalidReply, Fault, Refused };
    Code code = Unreachable;
    // The reason code results name the failure by: "not-authorized", "clock-skew",
    // "unreachable", "invalid-reply", "fault", "weak-password", "no-interface".
    QString reason;
    QString detail; // fault: the innermost subcode and the device's reason text

    tcOnvifDevice::tcDeviceInformation information; // Information
    bool hasInformation = false;
    QString mac;          // Network: the interface's hardware address
    bool written = false; // Network: the settings were written (not when DHCP already was)
    QString address;      // Network: the static address written
    bool rebooted = false;
    bool createdUser = false; // Password: the device had no users and got its first

    // The device's own proof of the change (time read back, new password logs in and old
    // one no longer does, reboot answered again).
    enum Proof { NoProof, Proven, NotProven };
    Proof proof = NoProof;
    QString proofText;
};

class tcOnvifExchange : public QObject
{
    Q_OBJECT
public:
    // Every request gives up after this long without progress.
    static constexpr int kTransferTimeoutMs = 15000;
    // A restarted camera is asked whether it answers again at this interval, for this long.
    static constexpr int kRebootPollMs = 1000;
    static constexpr int kRebootWaitMs = 180000;
    // How far the clock read back may be from the workstation's and still count as set.
    static constexpr int kClockToleranceMs = 2000;

    tcOnvifExchange(tcHttpTransport* transport, const QUrl& service, const tcOnvifTask& task,
                    QObject* apParent = nullptr);

    void start();
    // The device's clock against the workstation's, once read (milliseconds).
    std::optional<qint64> clockOffset() const { return offset; }
    void setRebootTiming(int pollMs, int waitMs);

signals:
    // Once, from the event loop.
    void sig_ended(const tcOnvifResult& result);

private:
    using tcNext = std::function<void(const tcOnvifDevice::tcReply&)>;
    struct tcCall
    {
        QByteArray operation;
        QLatin1String expected;
        tcNext next;
        bool login = true;
        QString user, password; // the login of this request
        // A fault or a refused login goes to next as a Fault reply instead of ending the
        // exchange: the answer of a request that is allowed to fail.
        bool faultIsAnswer = false;
    };

    void readClock(std::function<void()> then);
    void operate();
    void call(const QByteArray& operation, QLatin1String expected, tcNext next);
    void call(tcCall call);
    void send(const tcCall& call, const QByteArray& authorization = QByteArray());
    void replied(const tcCall& call, const tcHttpResult& result);
    void end(tcOnvifResult::Code code, const QString& reason = QString(), const QString& detail = QString());
    void endWithFault(const tcOnvifDevice::tcFault& fault);
    void prove(bool proven, const QString& text);

    void setTime();
    void checkTime();
    void setNetwork(const tcOnvifDevice::tcReply& interfaces);
    void writeInterface(const QString& token);
    void interfaceWritten(const tcOnvifDevice::tcReply& reply);
    void setPassword(const tcOnvifDevice::tcReply& users);
    // A GetDeviceInformation as the target user with this password; its reply, refusals
    // included, goes to next.
    void tryLogin(const QString& password, tcNext next);
    void proveNewPassword();
    void pollRestart();

    tcHttpTransport* transport;
    QUrl service;
    tcOnvifTask task;
    // Once a device has asked for Digest, every request answers its last challenge at once.
    tcLoginClient login{tcLoginClient::kOnvifStyle};
    std::optional<qint64> offset;
    bool daylightSavings = false; // as read: the device keeps its own
    QDateTime sentAt;             // of the request in flight, for the clock offset
    tcOnvifResult result;
    bool ended = false;

    QElapsedTimer rebootClock;
    bool seenDown = false;
    int pollMs = kRebootPollMs, waitMs = kRebootWaitMs;
};

Q_DECLARE_METATYPE(tcOnvifResult)
