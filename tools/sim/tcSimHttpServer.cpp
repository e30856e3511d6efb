#include "tcSimHttpServer.h"

#include "tcSimConfigApi.h"
#include "tcSimHttp.h"
#include "tcSimLogin.h"
#include "tcSimOnvifService.h"

#include <QTcpServer>
#include <QTcpSocket>

tcSimHttpServer::tcSimHttpServer(const tcSimDevices& devices, const tcSimHttpOptions& options,
                                 QObject* parent)
    : QObject(parent), m_devices(devices), m_options(options)
{
}

bool tcSimHttpServer::listen(QString* error)
{
    for (const auto& device : m_devices) {
        if (!device->http || device->fault == tcSimFault::ClosedPort)
            continue;
        for (const QHostAddress& address : device->addresses()) {
            if (!address.isNull() && !listenOn(device.get(), address, error))
                return false;
        }
    }
    return true;
}

bool tcSimHttpServer::listenOn(tcSimDevice* d, const QHostAddress& address, QString* error)
{
    const QString key = QStringLiteral("%1:%2").arg(address.toString()).arg(d->port);
    if (m_served.contains(key))
        return true;
    auto* server = new QTcpServer(this);
    if (!server->listen(address, d->port)) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(key, server->errorString());
        delete server;
        return false;
    }
    m_served.insert(key);
    connect(server, &QTcpServer::newConnection, this, [this, server, d] { accept(server, d); });
    ++m_listeners;
    return true;
}

void tcSimHttpServer::accept(QTcpServer* server, tcSimDevice* device)
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        if (m_connections >= m_options.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (device->rebooting) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        auto* connection = new tcSimHttpConnection(socket, device, m_options, this);
        connect(connection, &QObject::destroyed, this, [this] { --m_connections; });
        connect(connection, &tcSimHttpConnection::rebootRequested, this, [this, device] {
            for (auto* other : findChildren<tcSimHttpConnection*>(QString(), Qt::FindDirectChildrenOnly))
                other->dropIfRebooting();
            emit deviceRebooting(device);
        });
        connect(connection, &tcSimHttpConnection::changed, this,
                [this, device] { emit deviceChanged(device); });
    }
}

tcSimHttpConnection::tcSimHttpConnection(QTcpSocket* socket, tcSimDevice* device,
                                         const tcSimHttpOptions& options, QObject* parent)
    : QObject(parent), m_socket(socket), m_device(device), m_options(options)
{
    socket->setParent(this);
    m_timer.setSingleShot(true);
    m_timer.setInterval(options.timeoutMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_socket->abort();
        deleteLater();
    });
    connect(socket, &QTcpSocket::readyRead, this, &tcSimHttpConnection::slot_readyRead);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    m_timer.start();
    if (socket->bytesAvailable() > 0)
        slot_readyRead();
}

void tcSimHttpConnection::fail(int status)
{
    m_socket->write(buildHttpResponse(status, {}, QByteArray(), true));
    m_closing = true;
    m_socket->disconnectFromHost();
}

void tcSimHttpConnection::dropIfRebooting()
{
    // The connection that asked for the reboot is closing already, with its reply.
    if (!m_device->rebooting || m_closing)
        return;
    m_closing = true;
    m_socket->abort();
    deleteLater();
}

void tcSimHttpConnection::slot_readyRead()
{
    dropIfRebooting();
    if (m_silent || m_closing) {
        m_socket->readAll();
        return;
    }
    m_buffer += m_socket->readAll();
    // a reply still being "worked on": the next request waits its turn
    while (!m_closing && !m_silent && !m_busy) {
        tcHttpRequest request;
        const tcHttpParse parse = parseHttpRequest(m_buffer, &request);
        if (parse.state == tcHttpParse::Invalid) {
            fail(parse.errorStatus);
            return;
        }
        if (parse.state == tcHttpParse::Incomplete) {
            if (parse.expectContinue && !m_continueSent) {
                m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
                m_continueSent = true;
            }
            return;
        }
        m_buffer.remove(0, parse.consumed);
        m_continueSent = false;
        m_timer.start();
        if (!answer(request))
            return;
    }
}

bool tcSimHttpConnection::answer(const tcHttpRequest& request)
{
    tcSimDevice& d = *m_device;
    const QString path = QString::fromLatin1(request.path());
    const bool onvif = path == QLatin1String(kSimOnvifPath) && (d.protocols & ProtoOnvif);
    // Faults may name one ONVIF operation, "/onvif/device_service/SetUser".
    const QString faultPath = onvif ? onvifFaultPath(request.body) : path;
    QJsonObject log{
        {QStringLiteral("event"), QStringLiteral("request")},
        {QStringLiteral("device"), d.address.toString()},
        {QStringLiteral("local"), m_socket->localAddress().toString()},
        {QStringLiteral("port"), d.port},
        {QStringLiteral("method"), QString::fromLatin1(request.method)},
        {QStringLiteral("path"), QString::fromLatin1(request.target)},
        {QStringLiteral("contentType"), QString::fromLatin1(request.header("content-type"))},
        {QStringLiteral("body"), onvif ? redactedOnvifBody(request.body) : QString::fromUtf8(request.body)}};
    // Every header as received, except the credentials (parsed under "authorization").
    QJsonObject headerList;
    for (const auto& h : request.headers)
        if (h.first != "authorization")
            headerList.insert(QString::fromLatin1(h.first), QString::fromLatin1(h.second));
    log.insert(QStringLiteral("headers"), headerList);

    int status = 200;
    tcHttpHeaders headers;
    QByteArray body;
    bool changed = false;
    bool reboot = false;
    const QByteArray method = onvif ? QByteArray("POST") : configMethod(request.path());
    if (method.isEmpty()) {
        status = 404;
    } else if (request.method != method) {
        status = 405;
        headers.append(qMakePair(QByteArray("Allow"), method));
    } else if (onvif && !onvifContentTypeAccepted(request.header("content-type"))) {
        status = 415;
    } else if (d.faultApplies(faultPath) && d.fault == tcSimFault::NoAnswer) {
        // Accepts the request and never answers; the client has to give up by itself.
        m_silent = true;
        m_timer.stop();
        m_buffer.clear();
        log.insert(QStringLiteral("status"), 0);
        if (m_options.logRequests)
            emitJsonLine(log);
        return false;
    } else if (d.faultApplies(faultPath) && d.fault == tcSimFault::EndlessBody) {
        // A body without length that never ends: the client has to stop reading by itself.
        m_silent = true;
        m_timer.stop();
        m_buffer.clear();
        log.insert(QStringLiteral("status"), 200);
        if (m_options.logRequests)
            emitJsonLine(log);
        m_socket->write(onvif ? QByteArray("HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\n"
                                           "Connection: close\r\n\r\n<?xml version=\"1.0\"?><env:Envelope "
                                           "xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Body>")
                              : QByteArray("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\n"
                                           "Connection: close\r\n\r\n<?xml version=\"1.0\"?><config "
                                           "status=\"success\">"));
        connect(m_socket, &QTcpSocket::bytesWritten, this, &tcSimHttpConnection::streamForever);
        streamForever();
        return false;
    } else if (onvif) {
        // The service decides what needs a login (GetSystemDateAndTime needs none); the
        // HTTP Digest part is checked here when the device asks for one.
        QString httpUser;
        if (d.authFor(path) == tcSimAuth::Digest) {
            const tcLogin login = checkLogin(d, request);
            log.insert(QStringLiteral("authorization"), login.what);
            if (login.ok)
                httpUser = login.user;
        }
        const tcSimOnvifResponse response =
            handleOnvifRequest(d, request.body, httpUser, QDateTime::currentDateTimeUtc());
        log.insert(QStringLiteral("onvif"), response.log);
        status = response.status;
        body = response.body;
        changed = response.changed;
        reboot = response.rebootRequested;
        if (response.challenge)
            for (const QByteArray& challenge : challengeValues(d, path))
                headers.append(qMakePair(QByteArray("WWW-Authenticate"), challenge));
    } else {
        const tcLogin login = checkLogin(d, request);
        log.insert(QStringLiteral("authorization"), login.what);
        if (!login.ok) {
            status = 401;
            for (const QByteArray& challenge : challengeValues(d, path))
                headers.append(qMakePair(QByteArray("WWW-Authenticate"), challenge));
            body = "401 Unauthorized";
        } else if (d.faultApplies(path) && d.fault == tcSimFault::MalformedXml) {
            body = malformedReply();
        } else if (d.faultApplies(path) && d.fault == tcSimFault::Failed) {
            body = verdictReply(false, d.errorCode);
        } else {
            const tcSimResponse response = handleConfigRequest(d, login.user, request);
            status = response.status;
            body = response.body;
            changed = response.changed;
        }
    }
    if (onvif && !body.isEmpty())
        headers.append(
            qMakePair(QByteArray("Content-Type"), QByteArray("application/soap+xml; charset=utf-8")));
    else if (!body.isEmpty() && status != 401)
        headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/xml; charset=UTF-8")));

    log.insert(QStringLiteral("status"), status);
    if (m_options.logRequests)
        emitJsonLine(log);
    if (changed) {
        emitJsonLine(d.stateJson());
        emit this->changed();
    }

    // A rebooting device's last reply ends its connection.
    const bool close = !request.keepAlive() || reboot;
    const QByteArray response = buildHttpResponse(status, headers, body, close);
    const auto send = [this, response, close, reboot] {
        m_socket->write(response);
        if (close) {
            m_closing = true;
            m_socket->disconnectFromHost();
        }
        if (reboot)
            emit rebootRequested();
    };
    if (m_options.replyDelayMs <= 0) {
        send();
        return !close;
    }
    // A camera's own processing time: the reply goes out later, and the connection
    // reads its next request only then.
    m_busy = true;
    QTimer::singleShot(m_options.replyDelayMs, this, [this, send] {
        send();
        m_busy = false;
        if (!m_closing)
            slot_readyRead();
    });
    return false;
}

void tcSimHttpConnection::streamForever()
{
    // Refilled as the client takes it, so the simulator's own memory stays flat.
    static const QByteArray chunk(64 * 1024, ' ');
    if (m_socket->bytesToWrite() < chunk.size())
        m_socket->write(chunk);
}
