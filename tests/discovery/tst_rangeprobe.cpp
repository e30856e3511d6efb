// Unicast probing of address ranges against simulated devices on the site side: every
// host of the ranges gets one query, nothing outside them does, each ONVIF Probe carries
// its own MessageID, and a sweep always ends, one second after its last query.
#include "simsite.h"
#include "tcOnvifCodec.h"
#include "tcRangeProbe.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

namespace {

// Bridges and ONVIF cameras side by side; absent hosts lie between them.
const char kSite[] = R"([
  {"kind": "bridge", "address": "10.99.9.1"},
  {"kind": "bridge", "address": "10.99.9.2"},
  {"kind": "bridge", "address": "10.99.9.5"},
  {"kind": "bridge", "address": "10.99.9.200"},
  {"kind": "onvif", "address": "10.99.9.3"},
  {"kind": "onvif", "address": "10.99.9.4"},
  {"kind": "onvif", "address": "10.99.9.201"}
])";

constexpr quint16 kOnvifPort = 3702;
constexpr quint16 kBridgePort = 3704;

QByteArray bridgeQuery()
{
    return QByteArray::fromHex("485a4c4200000100");
}

} // namespace

class tst_RangeProbe : public QObject
{
    Q_OBJECT

    zltest::tcSim m_sim;

    // A socket on the scan side, every reply's sender address collected.
    struct tcProbeSocket
    {
        QUdpSocket socket;
        QStringList senders;
        bool bound = false;
        tcProbeSocket()
        {
            bound = socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
            QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
                while (socket.hasPendingDatagrams())
                    senders << socket.receiveDatagram().senderAddress().toString();
            });
        }
    };

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_sim.start(kSite, {QStringLiteral("--no-http")}));
    }

    void everyHostOfTheRangesOnce_data()
    {
        QTest::addColumn<QStringList>("ranges");
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("answered"); // sorted sender addresses

        QTest::newRow("bridges of a first-last range")
            << QStringList{"10.99.9.1-10.99.9.8"} << int(kBridgePort)
            << QStringList{"10.99.9.1", "10.99.9.2", "10.99.9.5"};
        QTest::newRow("bridges of two ranges, one a network")
            << QStringList{"10.99.9.2", "10.99.9.192/26"} << int(kBridgePort)
            << QStringList{"10.99.9.2", "10.99.9.200"};
        // The simulator answers a MessageID once, whichever device it reaches: only fresh
        // IDs get an answer from each camera.
        QTest::newRow("ONVIF cameras, each Probe its own MessageID")
            << QStringList{"10.99.9.0/29", "10.99.9.201"} << int(kOnvifPort)
            << QStringList{"10.99.9.201", "10.99.9.3", "10.99.9.4"};
        // Queries to absent hosts of the local link wait in the kernel for address
        // resolution and fill the send buffer; the sweep waits for room, loses no host.
        QTest::newRow("ONVIF cameras among a /24 of absent hosts on the link")
            << QStringList{"10.99.9.0/24"} << int(kOnvifPort)
            << QStringList{"10.99.9.201", "10.99.9.3", "10.99.9.4"};
        QTest::newRow("devices just outside the range are not queried")
            << QStringList{"10.99.9.6-10.99.9.199"} << int(kBridgePort) << QStringList{};
    }
    void everyHostOfTheRangesOnce()
    {
        QFETCH(QStringList, ranges);
        QFETCH(int, port);
        QFETCH(QStringList, answered);
        const auto hosts = tcAddressRanges::parse(ranges, nullptr);
        QVERIFY(hosts);

        tcProbeSocket probe;
        QVERIFY(probe.bound);
        int queries = 0;
        tcRangeProbe sweep(
            &probe.socket, *hosts, quint16(port), 2000,
            [&] {
                ++queries;
                return port == kOnvifPort
                           ? buildProbe(tcProbeType::NetworkVideoTransmitter, QUuid::createUuid())
                           : bridgeQuery();
            },
            QStringLiteral("test: "));
        QSignalSpy progress(&sweep, &tcRangeProbe::sig_progress);
        QSignalSpy finished(&sweep, &tcRangeProbe::sig_finished);
        sweep.start();
        QVERIFY(sweep.isActive());
        QVERIFY(finished.wait(30000));
        QVERIFY(!sweep.isActive());

        probe.senders.sort();
        QCOMPARE(probe.senders, answered);
        QCOMPARE(queries, int(hosts->hostCount()));
        QCOMPARE(progress.last(), (QVariantList{hosts->hostCount(), hosts->hostCount()}));
    }

    // The replies to the last query are waited for a full second before the sweep ends.
    void endsOneSecondAfterTheLastQuery()
    {
        const auto hosts = tcAddressRanges::parse({"10.99.9.1-10.99.9.2"}, nullptr);
        tcProbeSocket probe;
        QVERIFY(probe.bound);
        tcRangeProbe sweep(&probe.socket, *hosts, kBridgePort, 1000, bridgeQuery, QStringLiteral("test: "));
        QElapsedTimer sinceLast;
        connect(&sweep, &tcRangeProbe::sig_progress, [&](quint32 done, quint32 total) {
            if (done == total)
                sinceLast.start();
        });
        QSignalSpy finished(&sweep, &tcRangeProbe::sig_finished);
        sweep.start();
        QVERIFY(finished.wait(5000));
        QVERIFY(sinceLast.isValid());
        QVERIFY2(sinceLast.elapsed() >= tcRangeProbe::kReplyWaitMs,
                 qPrintable(QString::number(sinceLast.elapsed())));
        QCOMPARE(probe.senders.size(), 2);
    }

    // A query the socket cannot send (larger than any UDP datagram) is given up host by
    // host; the sweep still covers every host and ends.
    void unsendableQueriesStillEnd()
    {
        const auto hosts = tcAddressRanges::parse({"10.99.9.0/28"}, nullptr);
        tcProbeSocket probe;
        QVERIFY(probe.bound);
        tcRangeProbe sweep(
            &probe.socket, *hosts, kBridgePort, 5000, [] { return QByteArray(70000, 'x'); },
            QStringLiteral("test: "));
        QSignalSpy finished(&sweep, &tcRangeProbe::sig_finished);
        sweep.start();
        QVERIFY(finished.wait(5000));
        QCOMPARE(sweep.sentHosts(), hosts->hostCount());
        QVERIFY(probe.senders.isEmpty());
    }

    // Stopped, a sweep sends nothing more and reports no end.
    void stopEndsAtOnce()
    {
        const auto hosts = tcAddressRanges::parse({"10.99.0.0/16"}, nullptr);
        tcProbeSocket probe;
        QVERIFY(probe.bound);
        tcRangeProbe sweep(&probe.socket, *hosts, kBridgePort, 100, bridgeQuery, QStringLiteral("test: "));
        QSignalSpy finished(&sweep, &tcRangeProbe::sig_finished);
        sweep.start();
        QTest::qWait(100);
        sweep.stop();
        const quint32 sent = sweep.sentHosts();
        QVERIFY(sent > 0 && sent < 100);
        QVERIFY(!sweep.isActive());
        QVERIFY(!finished.wait(1500));
        QCOMPARE(sweep.sentHosts(), sent);
    }
};

QTEST_GUILESS_MAIN(tst_RangeProbe)
#include "tst_rangeprobe.moc"
