// How fast the ONVIF device service replies are read: a typical GetNetworkInterfaces
// reply (a static and a link-local address, an IPv6 block, a vendor extension, 2.1 KB)
// parsed into its interfaces, over and over on one core. Prints replies per second; a
// batch of a thousand cameras reads a few replies each, so the parse must never be what
// a run waits for.

#include "tcOnvifDeviceCodec.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

class bench_OnvifParse : public QObject
{
    Q_OBJECT
    QByteArray reply;

private slots:
    void initTestCase()
    {
        QFile file(QStringLiteral(ZL_TEST_DATA_DIR "/onvif/device/schema-get-network-interfaces.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        reply = file.readAll();
        const auto interfaces = tcOnvifDevice::networkInterfaces(
            tcOnvifDevice::parseReply(reply, QLatin1String("GetNetworkInterfacesResponse")));
        QVERIFY(interfaces && !interfaces->empty());
    }

    void getNetworkInterfaces()
    {
        constexpr int kReplies = 20000;
        QElapsedTimer clock;
        int read = 0;
        QBENCHMARK_ONCE
        {
            clock.start();
            for (int i = 0; i < kReplies; ++i) {
                const auto interfaces = tcOnvifDevice::networkInterfaces(
                    tcOnvifDevice::parseReply(reply, QLatin1String("GetNetworkInterfacesResponse")));
                read += interfaces ? int(interfaces->size()) : 0;
            }
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        qInfo("GetNetworkInterfaces reply of %d bytes: %d replies in %.3f s, %.0f replies/s on one core "
              "(%d interfaces read)",
              int(reply.size()), kReplies, seconds, kReplies / seconds, read);
    }
};

QTEST_GUILESS_MAIN(bench_OnvifParse)
#include "bench_onvifparse.moc"
