#pragma once
// Listens for WS-Discovery Hello and Bye on the multicast group, port 3702, which other
// listeners of the workstation share (the address and port are reused). Only moves bytes:
// parseAnnouncement reads them.

#include "tcInterfaceFilter.h"
#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QObject>
#include <QSharedPointer>

class QUdpSocket;

class tcAnnouncementListener : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 3702;

    tcAnnouncementListener(QSharedPointer<tcLocateParams> apParams, QObject* apParent = nullptr);

    // Joins the group on these interfaces (all the system offers when none). False, with
    // one warning, when the port cannot be had: on Windows the system's own discovery
    // service may hold it; announcements then go unheard and cycles must do.
    bool start(const tcInterfaceSnapshot& interfaces);
    void stop();

signals:
    void sig_hello(tpVideoDevice apDvc);
    void sig_bye(const QString& endpoint);

private:
    void readPending();

    QSharedPointer<tcLocateParams> m_params;
    QUdpSocket* m_socket = nullptr;
};
