#include "tcConfigRun.h"

#include "tcIPv4.h"
#include "tcNetConfigXml.h"
#include "tcOnvifExchange.h"
#include "tcPasswordRequests.h"

#include <QDebug>

#include <algorithm>

using namespace tcNetConfigXml;

namespace {

const QString kUserPath = QStringLiteral("/ModifyIntegrateUser");
const QString kPasswordPath = QStringLiteral("/ModifyPassword");

} // namespace

struct tcConfigRun::tcSite
{
    tcSite(int index, const tpVideoDevice& device, tcLoginClient::tcStyle style)
        : index(index), device(device), login(style)
    {
    }
    int index;
    tpVideoDevice device;
    tcLoginClient login;
    std::unique_ptr<tcOnvifExchange> onvif;
    QString assignedAddress;
    // Password run: the request in flight (1 /ModifyIntegrateUser, 0 /ModifyPassword),
    // whether one has reported success, and the outcome so far.
    int requestKind = 1;
    bool siteOk = false;
    tcConfigOutcome result;
};

tcConfigOutcome tcConfigOutcome::of(Code code, const QString& deviceText)
{
    tcConfigOutcome outcome;
    outcome.code = code;
    switch (code) {
    case Success: outcome.text = kSuccess; break;
    case Failed: outcome.text = QStringLiteral("Failed"); break;
    case LoginFailed: outcome.text = kLoginFailed; break;
    case NetworkError: outcome.text = kNetworkError; break;
    case InvalidResponse: outcome.text = kInvalidResponse; break;
    case DeviceError: outcome.text = deviceText; break;
    case UnknownError: outcome.text = kUnknownError; break;
    case InternalError: outcome.text = kInternalError; break;
    }
    switch (code) {
    case Success: break;
    case LoginFailed: outcome.reason = QStringLiteral("not-authorized"); break;
    case NetworkError: outcome.reason = QStringLiteral("unreachable"); break;
    case InvalidResponse: outcome.reason = QStringLiteral("invalid-reply"); break;
    default: outcome.reason = QStringLiteral("device-error"); break;
    }
    return outcome;
}

bool usesOnvifService(const tcVideoDevice& device)
{
    return device.type == Onvif && !device.pqCamera;
}

namespace {

// The prefix length of a contiguous mask; -1 for any other.
int prefixOf(quint32 mask)
{
    int length = 0;
    while (length < 32 && (mask & (0x80000000u >> length)))
        ++length;
    return length == 32 || (mask << length) == 0 ? length : -1;
}

tcConfigOutcome outcomeOf(const tcOnvifResult& r)
{
    tcConfigOutcome outcome;
    switch (r.code) {
    case tcOnvifResult::Success: outcome = tcConfigOutcome::of(tcConfigOutcome::Success); break;
    case tcOnvifResult::LoginFailed: outcome = tcConfigOutcome::of(tcConfigOutcome::LoginFailed); break;
    case tcOnvifResult::Unreachable: outcome = tcConfigOutcome::of(tcConfigOutcome::NetworkError); break;
    case tcOnvifResult::InvalidReply: outcome = tcConfigOutcome::of(tcConfigOutcome::InvalidResponse); break;
    case tcOnvifResult::Fault:
    case tcOnvifResult::Refused: outcome = tcConfigOutcome::of(tcConfigOutcome::DeviceError, r.detail); break;
    }
    if (!r.reason.isEmpty())
        outcome.reason = r.reason;
    outcome.written = r.written;
    outcome.address = r.written ? r.address : QString();
    outcome.mac = r.mac;
    outcome.rebooted = r.rebooted;
    outcome.information = r.information;
    outcome.hasInformation = r.hasInformation;
    outcome.proof = tcConfigOutcome::Proof(r.proof);
    outcome.proofText = r.proofText;
    return outcome;
}

} // namespace

QString tcNetworkPlan::address(quint32 n) const
{
    const quint32 host = planAddress(start, n);
    // .0 is a network address, never a camera's
    return planFits(start, n + 1) && (host & 0xffu) != 0 ? ipv4Text(host) : QString();
}

tcConfigRun::tcConfigRun(tcConfigKind kind, QObject* apParent, tcHttpTransport* apTransport)
    : QObject(apParent), kind(kind), transport(apTransport ? apTransport : new tcNetworkTransport(this))
{
    qRegisterMetaType<tcConfigOutcome>();
}

tcConfigRun::~tcConfigRun() = default;

void tcConfigRun::setCredentials(const tcConfigCredentials& credentials)
{
    login = credentials;
}

void tcConfigRun::setPlan(const tcNetworkPlan& aPlan)
{
    plan = aPlan;
}

void tcConfigRun::setRebootTiming(int pollMs, int waitMs)
{
    rebootPollMs = pollMs;
    rebootWaitMs = waitMs;
}

QString tcConfigRun::hostOf(const tcVideoDevice& device, tcConfigKind kind)
{
    return kind == tcConfigKind::Network && device.altAddress.startsWith(QLatin1String("169.254"))
               ? device.altAddress
               : device.ipAddress;
}

void tcConfigRun::start()
{
    handedOut = 0;
    if (kind == tcConfigKind::Password) {
        // built once per run, as the window's dialog does
        const QString oldPasswordB64 = tcPasswordRequests::passwordBase64(login.oldPassword);
        const QString newPasswordB64 = tcPasswordRequests::passwordBase64(login.newPassword);
        passwordBody = tcPasswordRequests::modifyPasswordBody(oldPasswordB64, newPasswordB64);
        userBody = tcPasswordRequests::modifyIntegrateUserBody(login.targetUser, newPasswordB64);
    }
    nextIndex = 0;
    running = true;
    finishPending = true;
    startNextSite();
}

void tcConfigRun::stop()
{
    running = false;
}

void tcConfigRun::startNextSite()
{
    while (running && int(active.size()) < parallel && nextIndex < items.size()) {
        const int index = nextIndex++;
        active.push_back(std::make_unique<tcSite>(
            index, items.at(index),
            kind == tcConfigKind::Password ? tcLoginClient::kPasswordStyle : tcLoginClient::kNetworkStyle));
        tcSite* site = active.back().get();
        emit sig_siteStarted(index);
        if (site->device && usesOnvifService(*site->device))
            startOnvif(site);
        else if (kind == tcConfigKind::Time || kind == tcConfigKind::Reboot ||
                 kind == tcConfigKind::Information)
            // the family's own API has no such requests
            endSite(site, tcConfigOutcome::of(tcConfigOutcome::DeviceError, tr("Not supported")));
        else if (kind == tcConfigKind::Password)
            sendUserRequest(site);
        else
            readSite(site);
    }
    // A site that ends at once calls back in here: the run is reported finished once.
    if (active.empty() && finishPending && (!running || nextIndex >= items.size())) {
        finishPending = false;
        running = false;
        emit sig_finished();
    }
}

void tcConfigRun::endSite(tcSite* site, const tcConfigOutcome& outcome)
{
    const auto found = std::find_if(active.begin(), active.end(),
                                    [site](const std::unique_ptr<tcSite>& s) { return s.get() == site; });
    if (found == active.end())
        return;
    const std::unique_ptr<tcSite> ended = std::move(*found);
    active.erase(found);
    emit sig_siteEnded(ended->index, outcome);
    startNextSite();
}

void tcConfigRun::startOnvif(tcSite* site)
{
    const tcVideoDevice& device = *site->device;
    tcOnvifTask task;
    task.user = login.adminUser;
    task.password = login.adminPassword;
    task.verify = verify;
    switch (kind) {
    case tcConfigKind::Network: {
        task.operation = tcOnvifOperation::Network;
        task.dhcp = plan.dhcp;
        task.prefixLength = prefixOf(plan.mask);
        if (!plan.dhcp && task.prefixLength < 0) {
            endSite(site, tcConfigOutcome::of(tcConfigOutcome::DeviceError, tr("the mask is no prefix")));
            return;
        }
        task.takeAddress = [this, site] { return takeAddress(site); };
        task.gateway = ipv4Text(plan.gateway);
        task.keepDns = plan.keepDeviceDns;
        task.dnsFromDhcp = plan.dnsViaDhcp;
        for (quint32 dns : {plan.dns1, plan.dns2})
            if (dns)
                task.dns << ipv4Text(dns);
        break;
    }
    case tcConfigKind::Password:
        task.operation = tcOnvifOperation::Password;
        task.targetUser = login.targetUser;
        task.oldPassword = login.oldPassword;
        task.newPassword = login.newPassword;
        break;
    case tcConfigKind::Time:
        task.operation = tcOnvifOperation::Time;
        task.ntp = time.ntp;
        task.ntpServers = time.servers;
        task.timeZone = time.timeZone;
        break;
    case tcConfigKind::Reboot: task.operation = tcOnvifOperation::Reboot; break;
    case tcConfigKind::Check:
    case tcConfigKind::Information: task.operation = tcOnvifOperation::Information; break;
    }
    QUrl service;
    service.setScheme(QStringLiteral("http"));
    service.setHost(device.ipAddress);
    if (device.webPort != 80)
        service.setPort(device.webPort);
    service.setPath(QLatin1Char('/') + device.servicePath);
    site->onvif = std::make_unique<tcOnvifExchange>(transport, service, task);
    if (rebootPollMs > 0)
        site->onvif->setRebootTiming(rebootPollMs, rebootWaitMs);
    connect(site->onvif.get(), &tcOnvifExchange::sig_ended, this, [this, site](const tcOnvifResult& result) {
        tcConfigOutcome outcome = outcomeOf(result);
        if (outcome.written && plan.dhcp)
            outcome.address = QStringLiteral("0.0.0.0");
        // The exchange is still on the stack: it goes once the event loop has it back.
        site->onvif.release()->deleteLater();
        endSite(site, outcome);
    });
    site->onvif->start();
}

QString tcConfigRun::takeAddress(tcSite* site)
{
    // A fixed plan gives device i its own address; otherwise each device that gets this
    // far takes the next one.
    const QString address = plan.address(plan.fixed ? quint32(site->index) : handedOut);
    if (!address.isEmpty() && !plan.fixed)
        ++handedOut;
    site->assignedAddress = address;
    return address;
}

void tcConfigRun::readSite(tcSite* site)
{
    site->login.restart();
    send(site, tcStep::Read);
}

void tcConfigRun::sendUserRequest(tcSite* site)
{
    site->requestKind = 1;
    send(site, tcStep::User, userBody);
}

void tcConfigRun::sendPasswordRequest(tcSite* site)
{
    site->requestKind = 0;
    send(site, tcStep::Password, passwordBody);
}

void tcConfigRun::send(tcSite* site, tcStep step, const QByteArray& body)
{
    if (!site->device) {
        qWarning("Configuration: a chosen device has no record");
        endSite(site, tcConfigOutcome::of(tcConfigOutcome::InternalError));
        return;
    }
    const tcVideoDevice& device = *site->device;
    tcHttpExchange exchange;
    exchange.timeoutMs = kTransferTimeoutMs;
    exchange.body = body;
    if (kind == tcConfigKind::Password) {
        const bool asAdmin = step == tcStep::User;
        const QString path = asAdmin ? kUserPath : kPasswordPath;
        exchange.method = "POST";
        exchange.url =
            QUrl(QStringLiteral("http://%1:%2%3").arg(hostOf(device, kind)).arg(device.webPort).arg(path));
        exchange.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/xml")));
        // No credentials until the device asks; the Digest uri is the path with its slash.
        const QByteArray authorization =
            site->login.begin(QStringLiteral("POST"), path, asAdmin ? login.adminUser : login.targetUser,
                              asAdmin ? login.adminPassword : login.oldPassword);
        if (!authorization.isEmpty())
            exchange.setHeader("Authorization", authorization);
    } else {
        const bool write = step == tcStep::Write;
        const QString path = QLatin1String(write ? kWritePath : kReadPath);
        exchange.method = write ? "POST" : "GET";
        exchange.url =
            QUrl(QStringLiteral("http://%1:%2/%3").arg(hostOf(device, kind)).arg(device.webPort).arg(path));
        // The Digest uri is the bare path word, as the devices expect.
        exchange.setHeader("Authorization", site->login.begin(QString::fromLatin1(exchange.method), path,
                                                              login.adminUser, login.adminPassword));
        if (write)
            exchange.setHeader("Accept", "*/*");
        exchange.setHeader("Connection", "Close");
        // The devices expect the XML under the form content type, not text/xml.
        if (write)
            exchange.setHeader("Content-Type", "application/x-www-form-urlencoded");
    }
    transfer(site, step, exchange);
}

void tcConfigRun::transfer(tcSite* site, tcStep step, const tcHttpExchange& exchange)
{
    transport->send(exchange, [this, site, step, exchange](const tcHttpResult& result) {
        replied(site, step, exchange, result);
    });
}

void tcConfigRun::replied(tcSite* site, tcStep step, const tcHttpExchange& exchange,
                          const tcHttpResult& result)
{
    const bool password = kind == tcConfigKind::Password;
    switch (result.kind) {
    case tcHttpResult::AuthenticationRequired: {
        const std::optional<QByteArray> authorization = site->login.challenged(result.wwwAuthenticate);
        if (!authorization) {
            qDebug() << "Configuration: login refused by" << exchange.url.toString();
            const tcConfigOutcome refused = tcConfigOutcome::of(tcConfigOutcome::LoginFailed);
            password ? passwordOutcome(site, refused) : endSite(site, refused);
            return;
        }
        tcHttpExchange repeat = exchange;
        repeat.setHeader("Authorization", *authorization);
        transfer(site, step, repeat);
        return;
    }
    case tcHttpResult::NetworkError: {
        qDebug().noquote() << "Configuration:" << exchange.url.toString() << "failed:" << result.error;
        const tcConfigOutcome failed = tcConfigOutcome::of(tcConfigOutcome::NetworkError);
        password ? passwordOutcome(site, failed) : endSite(site, failed);
        return;
    }
    case tcHttpResult::Ok: break;
    }
    switch (step) {
    case tcStep::Read: configReply(site, result.body); return;
    case tcStep::Write: writeReply(site, result.body); return;
    case tcStep::User:
    case tcStep::Password:
        passwordOutcome(site, tcConfigOutcome::of(tcPasswordRequests::isSuccess(result.body)
                                                      ? tcConfigOutcome::Success
                                                      : tcConfigOutcome::Failed));
        return;
    }
}

void tcConfigRun::passwordOutcome(tcSite* site, const tcConfigOutcome& outcome)
{
    if (site->requestKind == 1) {
        // /ModifyPassword follows whatever /ModifyIntegrateUser answered
        site->siteOk = outcome.success();
        site->result = outcome;
        sendPasswordRequest(site);
        return;
    }
    // once /ModifyIntegrateUser has succeeded the site is updated whatever follows
    if (!site->siteOk)
        site->result = outcome;
    endSite(site, site->result);
}

namespace {

tcConfigOutcome failureOf(const QString& text)
{
    if (text == kInvalidResponse)
        return tcConfigOutcome::of(tcConfigOutcome::InvalidResponse);
    if (text == kUnknownError)
        return tcConfigOutcome::of(tcConfigOutcome::UnknownError);
    return tcConfigOutcome::of(tcConfigOutcome::DeviceError, text);
}

} // namespace

void tcConfigRun::configReply(tcSite* site, const QByteArray& reply)
{
    const tcDeviceConfig device = parseConfigReply(reply);
    if (!device.usable) {
        endSite(site, failureOf(device.error));
        return;
    }
    if (kind == tcConfigKind::Check) {
        endSite(site, tcConfigOutcome::of(tcConfigOutcome::Success));
        return;
    }
    tcSitePlan sitePlan;
    sitePlan.dhcp = plan.dhcp;
    sitePlan.dnsViaDhcp = plan.dnsViaDhcp;
    if (plan.dhcp) {
        if (device.dhcpMode()) {
            endSite(site, tcConfigOutcome::of(tcConfigOutcome::Success));
            return;
        }
        site->assignedAddress = device.staticIp;
    } else {
        if (takeAddress(site).isEmpty()) {
            endSite(site, tcConfigOutcome::of(tcConfigOutcome::InternalError));
            return;
        }
        sitePlan.address = site->assignedAddress;
        sitePlan.gateway = ipv4Text(plan.gateway);
        sitePlan.mask = ipv4Text(plan.mask);
        if (!plan.keepDeviceDns) {
            sitePlan.dns1 = ipv4Text(plan.dns1);
            sitePlan.dns2 = ipv4Text(plan.dns2);
        }
    }
    const QByteArray body = configBody(device, sitePlan);
    send(site, tcStep::Write, body);
    if (isIncomplete(body))
        qDebug("Network configuration XML is incomplete!!!");
}

void tcConfigRun::writeReply(tcSite* site, const QByteArray& reply)
{
    const tcWriteVerdict verdict = parseWriteReply(reply);
    if (!verdict.success) {
        endSite(site, failureOf(verdict.text));
        return;
    }
    tcConfigOutcome outcome = tcConfigOutcome::of(tcConfigOutcome::Success);
    outcome.written = true;
    outcome.address = plan.dhcp ? QStringLiteral("0.0.0.0") : site->assignedAddress;
    endSite(site, outcome);
}
