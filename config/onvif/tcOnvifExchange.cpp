#include "tcOnvifExchange.h"

#include <QDebug>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

using namespace tcOnvifDevice;

namespace {

QLatin1String L(const char* text)
{
    return QLatin1String(text);
}

// The subcodes with which devices and WS-Security refuse a login.
bool isRefusal(const tcFault& fault)
{
    static const char* const refusals[] = {"NotAuthorized", "FailedAuthentication", "InvalidSecurity",
                                           "InvalidSecurityToken", "MessageExpired"};
    for (const char* refusal : refusals)
        if (fault.subcodes.contains(QLatin1String(refusal)))
            return true;
    return false;
}

tcReply refusedReply()
{
    tcReply reply;
    reply.kind = tcReply::Fault;
    reply.fault.code = QStringLiteral("Sender");
    reply.fault.subcodes = QStringList{QStringLiteral("NotAuthorized")};
    return reply;
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1);
}

} // namespace

tcOnvifExchange::tcOnvifExchange(tcHttpTransport* transport, const QUrl& service, const tcOnvifTask& task,
                                 QObject* apParent)
    : QObject(apParent), transport(transport), service(service), task(task)
{
    qRegisterMetaType<tcOnvifResult>();
}

void tcOnvifExchange::setRebootTiming(int aPollMs, int aWaitMs)
{
    pollMs = aPollMs;
    waitMs = aWaitMs;
}

void tcOnvifExchange::start()
{
    if (!service.isValid() || service.scheme() != L("http")) {
        // reported from the event loop, as every other end
        QMetaObject::invokeMethod(
            this,
            [this] {
                end(tcOnvifResult::Unreachable, QStringLiteral("unreachable"), tr("no service address"));
            },
            Qt::QueuedConnection);
        return;
    }
    readClock([this] { operate(); });
}

void tcOnvifExchange::readClock(std::function<void()> then)
{
    tcCall clock;
    clock.operation = getSystemDateAndTime();
    clock.expected = L("GetSystemDateAndTimeResponse");
    // Devices answer it before any login, so that a client can learn their time; a few
    // want one all the same, and their refusal only leaves the clock unknown.
    clock.login = false;
    clock.faultIsAnswer = true;
    clock.next = [this, then](const tcReply& reply) {
        const QDateTime receivedAt = QDateTime::currentDateTimeUtc();
        const std::optional<tcSystemDateAndTime> time = systemDateAndTime(reply);
        if (time && time->utc.isValid()) {
            offset = clockOffsetMs(time->utc, sentAt, receivedAt);
            daylightSavings = time->daylightSavings;
        } else {
            qDebug().noquote() << "ONVIF:" << service.toString(QUrl::RemoveUserInfo)
                               << "told no clock; logging in on the workstation's";
        }
        then();
    };
    call(clock);
}

void tcOnvifExchange::operate()
{
    switch (task.operation) {
    case tcOnvifOperation::Information:
        call(getDeviceInformation(), L("GetDeviceInformationResponse"), [this](const tcReply& reply) {
            const std::optional<tcDeviceInformation> information = deviceInformation(reply);
            if (!information)
                return end(tcOnvifResult::InvalidReply, QStringLiteral("invalid-reply"));
            result.information = *information;
            result.hasInformation = true;
            end(tcOnvifResult::Success);
        });
        return;
    case tcOnvifOperation::Time: setTime(); return;
    case tcOnvifOperation::Network:
        call(getNetworkInterfaces(), L("GetNetworkInterfacesResponse"),
             [this](const tcReply& reply) { setNetwork(reply); });
        return;
    case tcOnvifOperation::Password:
        call(getUsers(), L("GetUsersResponse"), [this](const tcReply& reply) { setPassword(reply); });
        return;
    case tcOnvifOperation::Reboot:
        call(systemReboot(), L("SystemRebootResponse"), [this](const tcReply&) {
            result.rebooted = true;
            if (!task.verify)
                return end(tcOnvifResult::Success);
            rebootClock.start();
            seenDown = false;
            QTimer::singleShot(pollMs, this, &tcOnvifExchange::pollRestart);
        });
        return;
    }
}

void tcOnvifExchange::call(const QByteArray& operation, QLatin1String expected, tcNext next)
{
    tcCall c;
    c.operation = operation;
    c.expected = expected;
    c.next = std::move(next);
    call(std::move(c));
}

void tcOnvifExchange::call(tcCall c)
{
    if (c.user.isNull()) {
        c.user = task.user;
        c.password = task.password;
    }
    send(c);
}

void tcOnvifExchange::send(const tcCall& c, const QByteArray& authorization)
{
    std::optional<tcUsernameToken> token;
    // A fresh nonce and Created on the device's clock for every attempt, repeats included.
    if (c.login && !c.user.isEmpty())
        token = makeToken(c.user, c.password, freshNonce(),
                          deviceNow(QDateTime::currentDateTimeUtc(), offset.value_or(0)));
    tcHttpExchange exchange;
    exchange.method = "POST";
    exchange.url = service;
    exchange.timeoutMs = kTransferTimeoutMs;
    exchange.body = request(c.operation, token);
    exchange.setHeader("Content-Type", "application/soap+xml; charset=utf-8");
    const QByteArray value = authorization.isEmpty()
                                 ? login.begin(QStringLiteral("POST"), service.path(), c.user, c.password)
                                 : authorization;
    if (!value.isEmpty())
        exchange.setHeader("Authorization", value);
    sentAt = QDateTime::currentDateTimeUtc();
    // A transport the caller shares may outlive this exchange: its answer then goes nowhere.
    transport->send(exchange, [self = QPointer<tcOnvifExchange>(this), c](const tcHttpResult& reply) {
        if (self)
            self->replied(c, reply);
    });
}

void tcOnvifExchange::replied(const tcCall& c, const tcHttpResult& http)
{
    if (ended)
        return;
    switch (http.kind) {
    case tcHttpResult::AuthenticationRequired: {
        // Basic would carry the password in clear: only a Digest challenge is answered.
        const std::optional<QByteArray> authorization = login.challenged(http.wwwAuthenticate);
        if (!authorization) {
            if (c.faultIsAnswer)
                return c.next(refusedReply());
            return end(tcOnvifResult::LoginFailed,
                       offset ? QStringLiteral("not-authorized") : QStringLiteral("clock-skew"),
                       tcLoginClient::digestChallenge(http.wwwAuthenticate)
                           ? tr("HTTP login refused")
                           : tr("the device offers only HTTP Basic, which would send the password in clear"));
        }
        send(c, *authorization);
        return;
    }
    case tcHttpResult::NetworkError:
        // SOAP faults come with an error status; anything else is no answer.
        if (http.status < 400) {
            qDebug().noquote() << "ONVIF:" << service.toString(QUrl::RemoveUserInfo)
                               << "failed:" << http.error;
            return end(tcOnvifResult::Unreachable, QStringLiteral("unreachable"), http.error);
        }
        break;
    case tcHttpResult::Ok: break;
    }
    const tcReply reply = parseReply(http.body, c.expected);
    if (reply.kind == tcReply::Ok && http.kind == tcHttpResult::Ok)
        return c.next(reply);
    if (reply.kind == tcReply::Fault) {
        if (c.faultIsAnswer)
            return c.next(reply);
        return endWithFault(reply.fault);
    }
    if (http.kind != tcHttpResult::Ok)
        return end(tcOnvifResult::Fault, QStringLiteral("fault"), QStringLiteral("HTTP %1").arg(http.status));
    qDebug().noquote() << "ONVIF:" << service.toString(QUrl::RemoveUserInfo)
                       << "reply unreadable:" << reply.error;
    end(tcOnvifResult::InvalidReply, QStringLiteral("invalid-reply"), reply.error);
}

void tcOnvifExchange::endWithFault(const tcFault& fault)
{
    const QString detail =
        fault.reason.isEmpty() ? fault.detail() : fault.detail() + QLatin1String(": ") + fault.reason;
    if (!isRefusal(fault))
        return end(tcOnvifResult::Fault, QStringLiteral("fault"), detail);
    // A token refused by a device whose clock could not be read was most likely made on
    // the wrong time; WS-Security names an expired one itself.
    const bool skew = fault.subcodes.contains(L("MessageExpired")) || !offset;
    end(tcOnvifResult::LoginFailed, skew ? QStringLiteral("clock-skew") : QStringLiteral("not-authorized"),
        detail);
}

void tcOnvifExchange::end(tcOnvifResult::Code code, const QString& reason, const QString& detail)
{
    if (ended)
        return;
    ended = true;
    result.code = code;
    result.reason = reason;
    result.detail = detail;
    emit sig_ended(result);
}

void tcOnvifExchange::prove(bool proven, const QString& text)
{
    result.proof = proven ? tcOnvifResult::Proven : tcOnvifResult::NotProven;
    result.proofText = text;
    end(tcOnvifResult::Success);
}

// ---- time ----------------------------------------------------------------------------

void tcOnvifExchange::setTime()
{
    tcDateTimeSetting setting;
    setting.ntp = task.ntp;
    setting.daylightSavings = daylightSavings;
    setting.timeZone = task.timeZone;
    const auto written = [this](const tcReply&) { checkTime(); };
    if (!task.ntp) {
        // Whole seconds on the wire: the nearest one halves the error truncation makes.
        setting.utc = QDateTime::currentDateTimeUtc().addMSecs(500);
        call(setSystemDateAndTime(setting), L("SetSystemDateAndTimeResponse"), written);
        return;
    }
    call(setNtp(task.ntpServers), L("SetNTPResponse"), [this, setting, written](const tcReply&) {
        call(setSystemDateAndTime(setting), L("SetSystemDateAndTimeResponse"), written);
    });
}

void tcOnvifExchange::checkTime()
{
    if (!task.verify)
        return end(tcOnvifResult::Success);
    offset.reset();
    readClock([this] {
        if (!offset)
            return prove(false, tr("the clock could not be read back"));
        const qint64 off = *offset;
        if (std::llabs(off) > kClockToleranceMs)
            return prove(false, tr("the clock reads %1 s off").arg(seconds(off)));
        prove(true, tr("the clock reads %1 s off").arg(seconds(off)));
    });
}

// ---- network settings ----------------------------------------------------------------

void tcOnvifExchange::setNetwork(const tcReply& reply)
{
    const std::optional<std::vector<tcNetworkInterface>> interfaces = networkInterfaces(reply);
    if (!interfaces)
        return end(tcOnvifResult::InvalidReply, QStringLiteral("invalid-reply"));
    // The interface the device is reached on: the first one with IPv4 on.
    const tcNetworkInterface* chosen = nullptr;
    for (const tcNetworkInterface& candidate : *interfaces) {
        if (candidate.enabled && candidate.ipv4Enabled && !candidate.token.isEmpty()) {
            chosen = &candidate;
            break;
        }
    }
    if (!chosen)
        return end(tcOnvifResult::Refused, QStringLiteral("no-interface"),
                   tr("no network interface with IPv4"));
    result.mac = chosen->mac;
    const QString token = chosen->token;
    if (task.dhcp) {
        if (chosen->dhcp)
            return end(tcOnvifResult::Success);
        return writeInterface(token);
    }
    result.address = task.takeAddress ? task.takeAddress() : QString();
    if (result.address.isEmpty())
        return end(tcOnvifResult::Refused, QStringLiteral("no-address"), tr("the plan has no address left"));
    // Gateway and DNS first: once the address changes, the device is no longer where
    // this exchange reaches it.
    const auto gateway = [this, token](const tcReply&) {
        call(setNetworkDefaultGateway({task.gateway}), L("SetNetworkDefaultGatewayResponse"),
             [this, token](const tcReply&) { writeInterface(token); });
    };
    if (task.keepDns)
        return gateway(tcReply());
    call(setDns(task.dnsFromDhcp ? QStringList() : task.dns), L("SetDNSResponse"), gateway);
}

void tcOnvifExchange::writeInterface(const QString& token)
{
    tcIPv4Setting setting;
    setting.dhcp = task.dhcp;
    setting.address = result.address;
    setting.prefixLength = task.prefixLength;
    call(setNetworkInterfaces(token, setting), L("SetNetworkInterfacesResponse"),
         [this](const tcReply& reply) { interfaceWritten(reply); });
}

void tcOnvifExchange::interfaceWritten(const tcReply& reply)
{
    const std::optional<bool> reboot = rebootNeeded(reply);
    if (!reboot)
        return end(tcOnvifResult::InvalidReply, QStringLiteral("invalid-reply"));
    result.written = true;
    if (!*reboot)
        return end(tcOnvifResult::Success);
    // The device takes the settings only after a restart; it is then looked for at its
    // new address, as any other changed device.
    call(systemReboot(), L("SystemRebootResponse"), [this](const tcReply&) {
        result.rebooted = true;
        end(tcOnvifResult::Success);
    });
}

// ---- password ------------------------------------------------------------------------

void tcOnvifExchange::setPassword(const tcReply& reply)
{
    const std::optional<std::vector<tcUser>> list = users(reply);
    if (!list)
        return end(tcOnvifResult::InvalidReply, QStringLiteral("invalid-reply"));
    const auto changed = [this](const tcReply&) { proveNewPassword(); };
    if (list->empty()) {
        // A factory-new device: the user becomes its first administrator, with a password
        // that a device's own rule would not refuse later.
        const tcPasswordRule rule = checkNewPassword(task.newPassword);
        if (rule != tcPasswordRule::Accepted)
            return end(tcOnvifResult::Refused, QStringLiteral("weak-password"),
                       tr("the new password is refused for a first administrator: %1").arg(ruleCode(rule)));
        result.createdUser = true;
        call(createUsers({tcUser{task.targetUser, task.newPassword, QStringLiteral("Administrator")}}),
             L("CreateUsersResponse"), changed);
        return;
    }
    const auto found = std::find_if(list->cbegin(), list->cend(),
                                    [this](const tcUser& user) { return user.name == task.targetUser; });
    if (found == list->cend())
        return end(tcOnvifResult::Refused, QStringLiteral("no-user"), tr("no user %1").arg(task.targetUser));
    call(setUser(tcUser{task.targetUser, task.newPassword, found->level}), L("SetUserResponse"), changed);
}

void tcOnvifExchange::tryLogin(const QString& password, tcNext next)
{
    // GetDeviceInformation: any user level may read it, so any user's login is tried.
    tcCall check;
    check.operation = getDeviceInformation();
    check.expected = L("GetDeviceInformationResponse");
    check.user = task.targetUser;
    check.password = password;
    check.faultIsAnswer = true;
    check.next = std::move(next);
    call(check);
}

void tcOnvifExchange::proveNewPassword()
{
    if (!task.verify)
        return end(tcOnvifResult::Success);
    tryLogin(task.newPassword, [this](const tcReply& reply) {
        if (reply.kind != tcReply::Ok)
            return prove(false, tr("the new password does not log in"));
        if (result.createdUser || task.oldPassword.isEmpty() || task.oldPassword == task.newPassword)
            return prove(true, tr("the new password logs in"));
        tryLogin(task.oldPassword, [this](const tcReply& old) {
            if (old.kind == tcReply::Ok)
                return prove(false, tr("the old password still logs in"));
            prove(true, tr("the new password logs in and the old one no longer does"));
        });
    });
}

// ---- reboot --------------------------------------------------------------------------

void tcOnvifExchange::pollRestart()
{
    tcHttpExchange exchange;
    exchange.method = "POST";
    exchange.url = service;
    exchange.timeoutMs = std::max(pollMs * 2, 2000);
    exchange.body = request(getSystemDateAndTime());
    exchange.setHeader("Content-Type", "application/soap+xml; charset=utf-8");
    transport->send(exchange, [this, self = QPointer<tcOnvifExchange>(this)](const tcHttpResult& http) {
        if (!self || ended)
            return;
        const qint64 elapsed = rebootClock.elapsed();
        // Any HTTP answer is the device up again; only the lack of one is it restarting.
        const bool answered = http.kind != tcHttpResult::NetworkError || http.status != 0;
        if (answered && seenDown)
            return prove(true, tr("answered again after %1 s").arg(seconds(elapsed)));
        seenDown = seenDown || !answered;
        if (!seenDown && elapsed >= waitMs / 3)
            return prove(false, tr("it kept answering: no restart seen in %1 s").arg(seconds(elapsed)));
        if (elapsed >= waitMs)
            return prove(false, tr("not answering %1 s after the restart").arg(seconds(elapsed)));
        QTimer::singleShot(pollMs, this, &tcOnvifExchange::pollRestart);
    });
}
