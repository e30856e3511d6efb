#pragma once
// The configuration exchanges with a list of devices, without widgets: the network
// settings run (read GetNetBasicConfig, write SetNetBasicConfig), the password run
// (/ModifyIntegrateUser as the administrator, then /ModifyPassword as the user) and the
// check (a read alone, to prove that a login works). One code path; what differs by
// design between them is chosen by the kind. Up to `parallel` devices at a time, each
// device's own requests one after another.

#include "tcHttpTransport.h"
#include "tcLoginClient.h"
#include "tcVideoDevice.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

enum class tcConfigKind { Network, Password, Check };

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
    // Network run: the write was accepted (not set when DHCP was already on).
    bool written = false;
    QString address; // the address written in a static run

    bool success() const { return code == Success; }
    static tcConfigOutcome of(Code code, const QString& deviceText = QString());
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
    void setParallel(int parallel) { this->parallel = qMax(1, parallel); }

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
