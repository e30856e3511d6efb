#include "norvodatagram.h"
#include "recvlog.h"
#include "zltest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct tcResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end on the scan side (the test's own namespace).
tcResult run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    tcResult result;
    result.finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    if (!result.finished)
        process.kill();
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

tcResult scan(const QStringList& args)
{
    return run(zltest::binPath("zephyrlock-scan"), args);
}

QByteArray ipv4(const char* dotted)
{
    QByteArray bytes;
    for (const QString& part : QString::fromLatin1(dotted).split(QLatin1Char('.')))
        bytes += char(part.toInt());
    return bytes;
}

// A PQ-series reply; numbers little-endian, texts zero-padded.
struct tcPQReply
{
    QByteArray name;
    QByteArray mac;
    const char* address;
    int kind = 1; // 1 recorder, 2 camera, 6 storage
    int webPort = 80;
    int addressMode = 0;
    QByteArray cloudId;
    QByteArray model;
    QByteArray firmware = QByteArray(7, '\0'); // C, B, A, then the build

    QByteArray bytes() const
    {
        QByteArray reply(240, '\0');
        reply.replace(0, 4, "MHED");
        reply.replace(12, name.size(), name);
        reply.replace(32, 6, QByteArray::fromHex(mac));
        reply.replace(40, 4, ipv4(address));
        reply.replace(53, 7, firmware);
        reply[60] = char(webPort & 0xff);
        reply[61] = char(webPort >> 8);
        reply[64] = char(kind);
        reply[138] = char(addressMode);
        reply.replace(140, cloudId.size(), cloudId);
        reply.replace(196, model.size(), model);
        return reply;
    }
};

QByteArray norvoCamera(const QString& name, const char* address, quint32 port, const char* mac)
{
    zltest::tcNorvoHeader header;
    header.mac = QByteArray::fromHex(mac);
    return header.datagram(zltest::norvoTag(1, zltest::be32Bytes(1)) + zltest::norvoTextTag(2, name) +
                           zltest::norvoTag(28, zltest::be32Bytes(port)) +
                           zltest::norvoTag(4, ipv4(address)));
}

// What the scan side should list for the site of startSite(), sorted by address.
QJsonArray expectedSite()
{
    QFile file(QStringLiteral(ZL_TEST_DATA_DIR "/scan/site.json"));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array() : QJsonArray();
}

} // namespace

class tst_ScanCommand : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString fixture(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        return zltest::writeFixture(path, bytes) ? path : QString();
    }

    // A Norvo 1.0 camera that a PQ reply reports again (same address, a foreign MAC, so
    // it stays "Norvo 1.0" but becomes eligible for updates and gains the PQ fields),
    // a second-generation camera, a recorder and a storage server. The PQ replies come
    // 700 ms after each query, so the Norvo report always creates the shared row.
    bool startSite(zltest::tcSiteProcess& norvo, zltest::tcSiteProcess& pq)
    {
        const tcPQReply replies[] = {
            {"Gate PQ", "000a3d1d2e3f", "10.99.0.42", 2, 80, 0, "CAM042", "PQ-D2",
             QByteArray::fromHex("03020195030000")},
            {"Atrium", "0a3d91000001", "10.99.0.43", 2, 443, 1, "CAM043", "PQ-B4"},
            {"NVR", "00aabbccdd50", "10.99.0.50", 1, 80, 0, "NVR050", "PQ-8"},
            {"Store", "00aabbccdd60", "10.99.0.60", 6, 80, 0, "ST060", ""},
        };
        QStringList pqArgs{"--port",  "23456", "--group", "234.55.55.55", "--to", "234.55.55.56:23456",
                           "--delay", "700"};
        for (const tcPQReply& reply : replies)
            pqArgs << "--reply" << fixture(QString::fromLatin1(reply.name), reply.bytes());
        const QString gate =
            fixture("gate", norvoCamera("Gate \"North\", 2", "10.99.0.42", 8000, "000a3d1d2e3f"));
        return !pqArgs.contains(QString()) && !gate.isEmpty() &&
               norvo.start(zltest::binPath("zl-udp-responder"), {"--port", "65534", "--reply", gate},
                           "ready") &&
               pq.start(zltest::binPath("zl-udp-responder"), pqArgs, "ready");
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { ZL_REQUIRE_SANDBOX(); }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad kind") << QStringList{"--kind", "doors"} << "not 'doors'";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const tcResult result = scan(args);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        const QString err = QString::fromUtf8(result.err);
        QVERIFY2(err.startsWith("zephyrlock-scan: ") && err.contains(message) &&
                     err.endsWith("\nTry 'zephyrlock-scan --help'.\n"),
                 qPrintable(err));
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("begins");
        QTest::newRow("help") << "--help" << "Usage: zephyrlock-scan ";
        QTest::newRow("version") << "--version" << "zephyrlock-scan " ZL_VERSION "\n";
    }
    void helpAndVersion()
    {
        QFETCH(QString, option);
        QFETCH(QString, begins);
        const tcResult result = scan({option});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.startsWith(begins.toUtf8()), result.out.constData());
        QCOMPARE(result.err, QByteArray());
    }

    // A namespace of its own with no interface but loopback: binding the wildcard
    // address still works there, but no query can leave, so no discovery can happen.
    void noNetwork_data()
    {
        QTest::addColumn<QStringList>("command");
        const QString scanner = zltest::binPath("zephyrlock-scan");
        QTest::newRow("loopback up") << QStringList{
            "--net", "sh", "-c", "ip link set lo up && exec \"$0\" \"$@\"", scanner, "--json"};
    }
    void noNetwork()
    {
        QFETCH(QStringList, command);
        const tcResult result = run("unshare", command);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.contains("zephyrlock-scan: no discovery query could be sent"),
                 result.err.constData());
        QVERIFY(!result.err.contains("Sites found"));
    }

    void emptySite()
    {
        const tcResult result = scan({"--json", "--kind", "all"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(result.out).array(), QJsonArray());
        QCOMPARE(result.err, QByteArray("Sites found (0 / 0)\n"));
    }

    void site_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("shown"); // addresses of the rows of site.json
        const QString gate = "10.99.0.42", lobby = "10.99.0.43", nvr = "10.99.0.50", store = "10.99.0.60";
        // The site's four rows: counts per kind, and the three output forms.
        QTest::newRow("all as JSON") << QStringList{"--kind", "all", "--json"}
                                     << QStringList{gate, lobby, nvr, store};
        QTest::newRow("cameras (the default) as CSV") << QStringList{"--csv"} << QStringList{gate, lobby};
        QTest::newRow("recorders as a table") << QStringList{"--kind", "recorders"} << QStringList{nvr};
    }
    void site()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, shown);
        zltest::tcSiteProcess norvo, pq;
        QVERIFY(startSite(norvo, pq));
        const tcResult result = scan(args);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(QString::fromUtf8(result.err), QStringLiteral("Sites found (%1 / 4)\n").arg(shown.size()));

        QVector<QJsonObject> expected;
        for (const QJsonValue& row : expectedSite()) {
            if (shown.contains(row["ip_address"].toString()))
                expected << row.toObject();
        }
        QCOMPARE(expected.size(), shown.size());
        if (args.contains("--json")) {
            QJsonArray array;
            for (const QJsonObject& row : expected)
                array.append(row);
            QCOMPARE(QJsonDocument::fromJson(result.out).array(), array);
        } else if (args.contains("--csv")) {
            const QList<QByteArray> records = result.out.split('\n');
            QCOMPARE(records.size(), expected.size() + 2); // header, rows, nothing after the last CRLF
            for (int i = 0; i < expected.size(); ++i) {
                const QString name = expected[i]["site_name"].toString();
                const QString cell =
                    name.contains(',') ? '"' + QString(name).replace("\"", "\"\"") + '"' : name;
                const QString address = expected[i]["ip_address"].toString();
                QVERIFY2(records[i + 1].startsWith((cell + ',').toUtf8()), records[i + 1].constData());
                QVERIFY2(records[i + 1].contains(("," + address + ",").toUtf8()), records[i + 1].constData());
            }
        } else {
            const QStringList lines = QString::fromUtf8(result.out).split('\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), expected.size() + 1);
            QVERIFY(lines[0].startsWith("Site Name"));
            for (int i = 0; i < expected.size(); ++i)
                QVERIFY2(lines[i + 1].startsWith(expected[i]["site_name"].toString()),
                         qPrintable(lines[i + 1]));
        }
    }

    // A camera whose replies take four seconds is missed by one cycle (its list is final
    // after three) and listed when the next cycle merges into the same list.
    void cyclesMerge_data()
    {
        QTest::addColumn<QString>("cycles");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("one cycle") << "1" << QStringList{"Lobby"};
        QTest::newRow("two cycles") << "2" << QStringList{"Lobby", "Slow"};
    }
    void cyclesMerge()
    {
        QFETCH(QString, cycles);
        QFETCH(QStringList, names);
        const QString lobby = fixture("lobby", norvoCamera("Lobby", "10.99.0.30", 80, "00bbbbbbbb30"));
        const QString slow = fixture("slow", norvoCamera("Slow", "10.99.0.31", 80, "00bbbbbbbb31"));
        zltest::tcSiteProcess quick, late;
        QVERIFY(
            quick.start(zltest::binPath("zl-udp-responder"), {"--port", "65534", "--reply", lobby}, "ready"));
        QVERIFY(late.start(zltest::binPath("zl-udp-responder"),
                           {"--port", "65534", "--reply", slow, "--delay", "4000"}, "ready"));
        const tcResult result = scan({"--json", "--cycles", cycles});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QStringList listed;
        for (const QJsonValue& row : QJsonDocument::fromJson(result.out).array())
            listed << row["site_name"].toString();
        QCOMPARE(listed, names);
        QCOMPARE(QString::fromUtf8(result.err), QStringLiteral("Sites found (%1 / %1)\n").arg(names.size()));
    }
};

QTEST_GUILESS_MAIN(tst_ScanCommand)
#include "tst_scancommand.moc"
