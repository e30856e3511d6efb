#pragma once
// The record of one discovered device. Every locator fills one from a discovery reply;
// the list rows, the merge and the configuration dialogs share it through tpVideoDevice.

#include <QMap>
#include <QMetaType>
#include <QSharedPointer>
#include <QString>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

struct tcLocateParams;
class tcVideoDevice;

enum tcDeviceType : qint32 {
    Unknown = 0,
    ZLServer2 = 1,
    ZLServer3 = 2,
    Norvo1Cam = 3,
    Norvo2Cam = 4,
    Onvif = 5,
    PQSeries = 6,
    TBSeries = 7,
    KDSeries = 8,
    LarkRcdr = 9,
    WrenRcdr = 10,
    PQSeriesQR = 11,
    OstraServer = 12,
    OstraDecoder = 13,
};

// The short protocol text of a device type (the list's "Protocol" column, and the
// model text a locator falls back to when a reply names no model).
QString protocolText(qint32 type);

class tcVideoChannel
{
public:
    explicit tcVideoChannel(qint32 number, const tcVideoDevice* device = nullptr);
    virtual ~tcVideoChannel() = default;

    qint32 number;
    QString name;
    QString recordVolume;
    quint8 constant0 = 1;
    quint8 constant1 = 1;
    quint16 mode = 1;
    quint32 flags = 0;
    quint8 flag4 = 0;
    quint32 reserved = 0;
    qint32 preRecord = 10;
    qint32 postRecord = 15;
    QString text0;
    qint64 subStreamId = 0;
    QString text1;
    qint64 mainStreamId = -1;
    QMap<qint64, QString> streams;
};

class tcVideoDevice
{
public:
    explicit tcVideoDevice(const tcLocateParams* params);
    virtual ~tcVideoDevice();
    tcVideoDevice(const tcVideoDevice&) = delete;
    tcVideoDevice& operator=(const tcVideoDevice&) = delete;

    // The port shown in the list: the second port for the two types that serve their
    // web page there (Norvo1Cam and TBSeries, the values 3 and 7), the web port otherwise.
    quint16 displayPort() const;
    // "http%1://%2:%3": https when the web port is 443.
    QString webAddress() const;

    qint32 reserved0 = 0;
    bool valid = true;
    qint32 type = Norvo2Cam;
    qint32 reserved1 = 0;
    QString reserved2;
    QString siteName;
    QString model;
    QString firstSeen;
    QString lastSeen;
    QString uuid;
    // The WS-Discovery endpoint reference of an ONVIF reply ("urn:uuid:..."), which names
    // the device for life whatever its address; empty for the other protocols.
    QString endpoint;
    QString reserved3;
    QString cloudId;
    QString macAddress;
    QString ipAddress;
    QString altAddress;
    QString firmware;
    QString userName;
    QString password;
    QString servicePath = QStringLiteral("onvif/device_service");
    quint16 webPort = 80;
    quint16 altPort = 554;
    quint16 option0 = 0;
    quint16 channelMode = 1;
    std::array<quint8, 4> channelFlags{};
    quint8 channelFlag4 = 0;
    bool pqCamera = false;
    qint32 reserved4 = 0;
    qint32 preRecord = 10;
    qint32 postRecord = 15;
    qint32 reserved5 = 0;
    QVector<tcVideoChannel*> channels;
    std::array<quint8, 6> rawMac{};
    std::array<quint8, 4> rawAddress{};
    std::array<quint8, 4> rawMask{};
    std::array<quint8, 4> rawGateway{};
    std::array<quint8, 8> rawExtra{};
    quint8 addressMode = 2; // 0 static, 1 DHCP, 2 not reported
};

using tpVideoDevice = QSharedPointer<tcVideoDevice>;
Q_DECLARE_METATYPE(tpVideoDevice)

// The records one discovery reply reports, in reply order.
using tcDeviceRecords = std::vector<std::unique_ptr<tcVideoDevice>>;

// True for a host name or dotted address: ASCII letters, digits, '.' and '-' only. A
// device's address becomes the authority of the URLs the window opens and the dialogs
// log in to, so text such as "10.0.0.5@other.host" must never be taken as one.
bool isPlainHost(const QString& text);

// A MAC as the list keeps and compares it: its ASCII letters upper case, every other
// character as the device sent it. MACs are hex, but a reply may carry anything in that
// field, and Unicode's own upper case can make one character three.
QString macText(const QString& mac);

// Registers tpVideoDevice under its name; returns the (cached) type id.
int registerVideoDeviceMetaType();
