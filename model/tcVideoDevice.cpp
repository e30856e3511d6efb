#include "tcVideoDevice.h"

#include "tcLocateParams.h"

#include <QDateTime>
#include <QUuid>

QString protocolText(qint32 type)
{
    switch (type) {
    case ZLServer2: return QStringLiteral("ZL V2");
    case ZLServer3: return QStringLiteral("ZL V3");
    case Norvo1Cam: return QStringLiteral("Norvo 1.0");
    case Norvo2Cam: return QStringLiteral("Norvo 2.0");
    case Onvif: return QStringLiteral("Onvif");
    case PQSeries: return QStringLiteral("PQ/PW");
    case TBSeries: return QStringLiteral("TB/TF/TJ");
    case KDSeries: return QStringLiteral("KD");
    case LarkRcdr: return QStringLiteral("KG");
    case WrenRcdr: return QStringLiteral("KM");
    case PQSeriesQR: return QStringLiteral("PQ/PW");
    case OstraServer: return QString();
    case OstraDecoder: return QStringLiteral("Onvif?");
    default: return QStringLiteral("Unkown"); // the devices' own spelling, kept as shown
    }
}

tcVideoChannel::tcVideoChannel(qint32 aNumber, const tcVideoDevice* apDevice)
    : number(aNumber), name(QStringLiteral("Channel %1").arg(aNumber))
{
    if (apDevice) {
        mode = apDevice->channelMode;
        flags = quint32(apDevice->channelFlags[0]) | quint32(apDevice->channelFlags[1]) << 8 |
                quint32(apDevice->channelFlags[2]) << 16 | quint32(apDevice->channelFlags[3]) << 24;
        flag4 = apDevice->channelFlag4;
        preRecord = apDevice->preRecord;
        postRecord = apDevice->postRecord;
    }
    streams.insert(subStreamId, QStringLiteral("Sub Stream"));
    streams.insert(mainStreamId, QStringLiteral("Main Stream"));
}

tcVideoDevice::tcVideoDevice(const tcLocateParams* apParams)
    : firstSeen(QDateTime::currentDateTimeUtc().toString(Qt::TextDate)),
      lastSeen(firstSeen),
      uuid(QUuid::createUuid().toString())
{
    if (apParams) {
        userName = apParams->userName;
        password = apParams->password;
        channelFlags = {0, apParams->flags[0], apParams->flags[1], apParams->flags[2]};
        channelFlag4 = apParams->flags[3];
        preRecord = apParams->preRecord;
        postRecord = apParams->postRecord;
    }
    channels.append(new tcVideoChannel(1, this));
}

tcVideoDevice::~tcVideoDevice()
{
    qDeleteAll(channels);
}

quint16 tcVideoDevice::displayPort() const
{
    return (type & ~4) == 3 ? altPort : webPort;
}

QString tcVideoDevice::webAddress() const
{
    return QStringLiteral("http%1://%2:%3")
        .arg(webPort == 443 ? QStringLiteral("s") : QString(), ipAddress, QString::number(webPort));
}

QString macText(const QString& mac)
{
    QString text = mac;
    for (QChar& c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - ('a' - 'A'));
    }
    return text;
}

bool isPlainHost(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                           u == '.' || u == '-';
        if (!plain)
            return false;
    }
    return true;
}

int registerVideoDeviceMetaType()
{
    static const int id = qRegisterMetaType<tpVideoDevice>("tpVideoDevice");
    return id;
}
