#include "tcVideoDevice.h"

#include <QtTest>

class tst_VideoDevice : public QObject
{
    Q_OBJECT
private slots:
    void displayPortAndWebAddress_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("webPort");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("url");
        QTest::newRow("norvo 1 shows the second port") << 3 << 81 << 80 << "http://10.1.1.1:81";
        QTest::newRow("tb series shows the second port") << 7 << 81 << 80 << "http://10.1.1.1:81";
        QTest::newRow("onvif shows the web port") << 5 << 81 << 81 << "http://10.1.1.1:81";
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
};

QTEST_GUILESS_MAIN(tst_VideoDevice)
#include "tst_videodevice.moc"
