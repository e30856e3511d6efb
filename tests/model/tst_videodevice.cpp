#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QtTest>

class tst_VideoDevice : public QObject
{
    Q_OBJECT
private slots:
    void defaultRecord()
    {
        tcLocateParams params;
        params.flags = {1, 2, 3, 4};
        tcVideoDevice device(&params);
        QCOMPARE(device.userName, QStringLiteral("admin"));
        QCOMPARE(device.password, QStringLiteral("7093"));
        QCOMPARE(device.webPort, quint16(80));
        QCOMPARE(device.altPort, quint16(554));
        QCOMPARE(device.addressMode, quint8(2));
        QCOMPARE(device.type, qint32(Norvo2Cam));
        QVERIFY(device.valid);
        QVERIFY(!device.pqCamera);
        QCOMPARE(device.servicePath, QStringLiteral("onvif/device_service"));
        QCOMPARE(device.firstSeen, device.lastSeen);
        QVERIFY(!device.firstSeen.isEmpty());
        QVERIFY(device.uuid.startsWith(QLatin1Char('{')) && device.uuid.endsWith(QLatin1Char('}')));
        // the channel takes the device's values, the flags shifted by one byte
        QCOMPARE(device.channels.size(), 1);
        const tcVideoChannel* channel = device.channels.first();
        QCOMPARE(channel->number, 1);
        QCOMPARE(channel->name, QStringLiteral("Channel 1"));
        QCOMPARE(channel->flags, quint32(0x03020100));
        QCOMPARE(channel->flag4, quint8(4));
        QCOMPARE(channel->preRecord, 10);
        QCOMPARE(channel->postRecord, 15);
        QCOMPARE(channel->streams.value(0), QStringLiteral("Sub Stream"));
        QCOMPARE(channel->streams.value(-1), QStringLiteral("Main Stream"));
        QVERIFY(tcVideoDevice(&params).uuid != device.uuid);
    }

    void protocolTexts_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown keeps the devices' spelling") << 0 << "Unkown";
        QTest::newRow("bridge v2") << 1 << "ZL V2";
        QTest::newRow("norvo 1") << 3 << "Norvo 1.0";
        QTest::newRow("norvo 2") << 4 << "Norvo 2.0";
        QTest::newRow("onvif") << 5 << "Onvif";
        QTest::newRow("pq") << 6 << "PQ/PW";
        QTest::newRow("pq qr") << 11 << "PQ/PW";
        QTest::newRow("ostra server is empty") << 12 << "";
        QTest::newRow("ostra decoder") << 13 << "Onvif?";
        QTest::newRow("out of range") << 99 << "Unkown";
        QTest::newRow("negative") << -1 << "Unkown";
    }
    void protocolTexts()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QCOMPARE(protocolText(type), text);
    }

    void displayPortAndWebAddress_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("webPort");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("url");
        QTest::newRow("norvo 1 shows the second port") << 3 << 81 << 80 << "http://10.1.1.1:81";
        QTest::newRow("tb series shows the second port") << 7 << 81 << 80 << "http://10.1.1.1:81";
        QTest::newRow("onvif shows the web port") << 5 << 81 << 81 << "http://10.1.1.1:81";
        QTest::newRow("norvo 2 shows the web port") << 4 << 81 << 81 << "http://10.1.1.1:81";
        QTest::newRow("https on 443") << 5 << 443 << 443 << "https://10.1.1.1:443";
    }
    void displayPortAndWebAddress()
    {
        QFETCH(int, type);
        QFETCH(int, webPort);
        QFETCH(int, shown);
        QFETCH(QString, url);
        tcVideoDevice device(nullptr);
        device.type = type;
        device.webPort = quint16(webPort);
        device.altPort = 80;
        device.ipAddress = QStringLiteral("10.1.1.1");
        QCOMPARE(int(device.displayPort()), shown);
        QCOMPARE(device.webAddress(), url);
    }

    void metaTypeIsRegisteredOnce()
    {
        const int id = registerVideoDeviceMetaType();
        QCOMPARE(QMetaType::type("tpVideoDevice"), id);
        QCOMPARE(registerVideoDeviceMetaType(), id);
    }
};

QTEST_GUILESS_MAIN(tst_VideoDevice)
#include "tst_videodevice.moc"
