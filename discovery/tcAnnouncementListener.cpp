#include "tcAnnouncementListener.h"

#include "tcOnvifCodec.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

const char kGroup[] = "239.255.255.250";

} // namespace

tcAnnouncementListener::tcAnnouncementListener(QSharedPointer<tcLocateParams> apParams, QObject* apParent)
    : QObject(apParent), m_params(std::move(apParams))
{
    registerVideoDeviceMetaType();
}

bool tcAnnouncementListener::start(const tcInterfaceSnapshot& interfaces)
{
    stop();
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::AnyIPv4, kPort,
                        QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        qWarning("WS-Discovery announcements cannot be heard: port %u is taken (%s); the watch goes on "
                 "with its discovery cycles alone",
                 unsigned(kPort), qPrintable(m_socket->errorString()));
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    const QHostAddress group{QLatin1String(kGroup)};
    bool joined = interfaces.chosen.isEmpty() ? m_socket->joinMulticastGroup(group) : true;
    for (const QNetworkInterface& iface : interfaces.chosen)
        joined = m_socket->joinMulticastGroup(group, iface) && joined;
    if (!joined)
        qWarning("WS-Discovery announcements: could not join %s", kGroup);
    connect(m_socket, &QUdpSocket::readyRead, this, &tcAnnouncementListener::readPending);
    return true;
}

void tcAnnouncementListener::stop()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void tcAnnouncementListener::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            return;
        tcAnnouncement announcement =
            parseAnnouncement(datagram.data(), m_params.data(), datagram.senderAddress());
        if (announcement.kind == tcAnnouncement::Bye) {
            emit sig_bye(announcement.endpoint);
            continue;
        }
        for (auto& device : announcement.devices)
            emit sig_hello(tpVideoDevice(device.release()));
    }
}
