// Runs of the network settings dialog against simulated cameras on the site side: the
// user fills the form, presses Update and answers Yes; the simulator logs every request
// it received, and the list rows show the outcomes.
#include "ipupdatedlg/tcDialogDriver.h"
#include "logcapture.h"
#include "zltest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QXmlStreamReader>

using namespace zltest;

Q_DECLARE_METATYPE(tcFormEntry)
Q_DECLARE_METATYPE(QList<tcSiteRow>)

namespace {

const QString kIncomplete = QStringLiteral("Network configuration XML is incomplete!!!");

// The simulator on the site side with a site file of `devices` (a JSON array's items).
class tcSim
{
public:
    bool start(const QByteArray& devices)
    {
        QFile site(m_dir.filePath(QStringLiteral("site.json")));
        if (!site.open(QIODevice::WriteOnly) || site.write("{\"devices\": [" + devices + "]}") < 0)
            return false;
        site.close();
        // The simulator must keep a silent request open longer than the client waits.
        return m_process.start(binPath(QStringLiteral("zephyrlock-sim")),
                               {QStringLiteral("--site"), site.fileName(), QStringLiteral("--log-requests"),
                                QStringLiteral("--http-timeout"), QStringLiteral("60000")},
                               QStringLiteral("\"event\":\"ready\""));
    }

    QList<QJsonObject> requests()
    {
        QList<QJsonObject> found;
        for (const QByteArray& line : m_process.output().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.value(QStringLiteral("event")).toString() == QLatin1String("request"))
                found << object;
        }
        return found;
    }

    // "<address> <method> <path> <scheme> [<nc>] -> <status>" per request.
    QStringList requestLines()
    {
        QStringList lines;
        for (const QJsonObject& r : requests()) {
            const QJsonObject auth = r.value(QStringLiteral("authorization")).toObject();
            QString scheme = auth.value(QStringLiteral("scheme")).toString(QStringLiteral("-"));
            const QString nc = auth.value(QStringLiteral("nc")).toString();
            if (!nc.isEmpty())
                scheme += QLatin1Char(' ') + nc;
            lines << QStringLiteral("%1 %2 %3 %4 -> %5")
                         .arg(r.value(QStringLiteral("local")).toString(),
                              r.value(QStringLiteral("method")).toString(),
                              r.value(QStringLiteral("path")).toString(), scheme)
                         .arg(r.value(QStringLiteral("status")).toInt());
        }
        return lines;
    }

    // The settings each answered write carried.
    QStringList written()
    {
        QStringList lines;
        for (const QJsonObject& r : requests()) {
            if (r.value(QStringLiteral("method")).toString() != QLatin1String("POST") ||
                r.value(QStringLiteral("status")).toInt() != 200)
                continue;
            QMap<QString, QString> texts;
            QXmlStreamReader xml(r.value(QStringLiteral("body")).toString());
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("config") || xml.name() == QLatin1String("tcpIp"))
                    continue;
                texts.insert(xml.name().toString(), xml.readElementText());
            }
            lines << QStringLiteral("%1 ip=%2 gw=%3 mask=%4 dhcpMask=%5 dns=%6,%7 dnsFromDhcp=%8")
                         .arg(texts.value(QStringLiteral("ipSettingMode")),
                              texts.value(QStringLiteral("staticIp")),
                              texts.value(QStringLiteral("staticIpRoute")),
                              texts.value(QStringLiteral("staticIpMask")),
                              texts.value(QStringLiteral("dhcpIpMask")),
                              texts.value(QStringLiteral("dnsServer1")),
                              texts.value(QStringLiteral("dnsServer2")),
                              texts.value(QStringLiteral("dnsFromDhcpSwitch")));
        }
        return lines;
    }

private:
    QTemporaryDir m_dir;
    tcSiteProcess m_process;
};

QByteArray device(const char* address, const QByteArray& more = QByteArray())
{
    return "{\"kind\": \"pq-camera\", \"address\": \"" + QByteArray(address) + '"' +
           (more.isEmpty() ? QByteArray() : ", " + more) + '}';
}

QList<tcSiteRow> rows(const QStringList& addresses)
{
    QList<tcSiteRow> list;
    for (const QString& address : addresses)
        list << tcSiteRow{address, QString(), 80};
    return list;
}

QStringList repeated(int count, const char* text)
{
    return QVector<QString>(count, QLatin1String(text)).toList();
}

tcFormEntry staticFrom(const char* start)
{
    tcFormEntry entry;
    entry.start = QLatin1String(start);
    return entry;
}

// The requests of a site that logs in with Basic at once, or with Digest after the
// device refused Basic.
QStringList basicSite(const QString& address)
{
    return {address + " GET /GetNetBasicConfig Basic -> 200",
            address + " POST /SetNetBasicConfig Basic -> 200"};
}
QStringList digestSite(const QString& address)
{
    return {address + " GET /GetNetBasicConfig Basic -> 401",
            address + " GET /GetNetBasicConfig Digest 00000001 -> 200",
            address + " POST /SetNetBasicConfig Digest 00000002 -> 200"};
}

QString staticWrite(const QString& address)
{
    return QStringLiteral("staticIp ip=%1 gw=10.99.0.1 mask=255.255.0.0 dhcpMask= "
                          "dns=10.99.0.53,0.0.0.0 dnsFromDhcp=false")
        .arg(address);
}

} // namespace

class tst_IPUpdateRun : public QObject
{
    Q_OBJECT
private:
    // Fills the form, presses Update and answers Yes; false when no question came up.
    bool startRun(tcDialogDriver& driver, const tcFormEntry& entry)
    {
        driver.fill(entry);
        const tcBoxSeen seen = driver.pressUpdate(QMessageBox::Yes);
        return seen.shown && seen.title == QLatin1String("Confirm Update");
    }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY2(QFile::exists(binPath(QStringLiteral("zephyrlock-sim"))), "the simulator is not built");
    }

    void run_data()
    {
        QTest::addColumn<QByteArray>("devices");
        QTest::addColumn<QList<tcSiteRow>>("sites");
        QTest::addColumn<tcFormEntry>("entry");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("modes");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<bool>("incomplete");

        const QString a = QStringLiteral("10.99.2.20");
        const QString b = QStringLiteral("10.99.2.21");
        const QString c = QStringLiteral("10.99.2.22");
        const QStringList success{QStringLiteral("Success")};
        const QStringList statik{QStringLiteral("static")};
        const tcFormEntry plan = staticFrom("10.99.3.20");
        tcFormEntry dhcp;
        dhcp.dhcp = true;

        QTest::newRow("Basic accepted at once: read 0, write 0")
            << device("10.99.2.20", "\"auth\": \"basic\"") << rows({a}) << plan << success
            << QStringList{"10.99.3.20"} << statik << basicSite(a) << QStringList{staticWrite("10.99.3.20")}
            << false;

        QTest::newRow("Digest on the read: 1, then 2 on the write")
            << device("10.99.2.20") << rows({a}) << plan << success << QStringList{"10.99.3.20"} << statik
            << digestSite(a) << QStringList{staticWrite("10.99.3.20")} << false;

        QTest::newRow("Digest on the read and a fresh challenge on the write: 1, 2, 3")
            << device("10.99.2.20", "\"nonceUses\": 1") << rows({a}) << plan << success
            << QStringList{"10.99.3.20"} << statik << QStringList{a + " GET /GetNetBasicConfig Basic -> 401",
                           a + " GET /GetNetBasicConfig Digest 00000001 -> 200",
                           a + " POST /SetNetBasicConfig Digest 00000002 -> 401",
                           a + " POST /SetNetBasicConfig Digest 00000003 -> 200"}
            << QStringList{staticWrite("10.99.3.20")} << false;

        QTest::newRow("Digest only on the write: 0, then 1") << device("10.99.2.20",
                      "\"auth\": \"basic\", \"authPaths\": {\"/SetNetBasicConfig\": \"digest\"}")
            << rows({a}) << plan << success << QStringList{"10.99.3.20"} << statik
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 200",
                           a + " POST /SetNetBasicConfig Basic -> 401",
                           a + " POST /SetNetBasicConfig Digest 00000001 -> 200"}
            << QStringList{staticWrite("10.99.3.20")} << false;

        tcFormEntry wrongPassword = plan;
        wrongPassword.password = QStringLiteral("7094");
        QTest::newRow("Basic-only challenge: Login Failed after one request")
            << device("10.99.2.20", "\"auth\": \"basic\"") << rows({a}) << wrongPassword
            << QStringList{"Login Failed"} << QStringList{a} << statik
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 401"} << QStringList() << false;

        QTest::newRow("Digest refused on the write's answer: Login Failed, no address column change")
            << device("10.99.2.20",
                      "\"fault\": \"wrong-credentials\", \"faultPaths\": [\"/SetNetBasicConfig\"]")
            << rows({a}) << plan << QStringList{"Login Failed"} << QStringList{a} << statik
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 401",
                           a + " GET /GetNetBasicConfig Digest 00000001 -> 200",
                           a + " POST /SetNetBasicConfig Digest 00000002 -> 401",
                           a + " POST /SetNetBasicConfig Digest 00000003 -> 401"}
            << QStringList() << false;

        QTest::newRow("DHCP on a device already in DHCP: one read, no write")
            << device("10.99.2.20", "\"auth\": \"basic\", \"network\": {\"ipSettingMode\": \"DHCP\"}")
            << rows({a}) << dhcp << success << QStringList{a} << statik
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 200"} << QStringList() << false;

        QTest::newRow("DHCP on a static device keeps its own static values and DNS") << device("10.99.2.20",
                      "\"network\": {\"dnsServer1\": \"10.99.0.8\", \"dnsServer2\": \"10.99.0.9\"}")
            << rows({a}) << dhcp << success << QStringList{"0.0.0.0"} << QStringList{"dhcp"} << digestSite(a)
            << QStringList{"dhcp ip=10.99.2.20 gw=10.99.0.1 mask=255.255.0.0 dhcpMask= "
                           "dns=10.99.0.8,10.99.0.9 dnsFromDhcp=true"}
            << false;

        QTest::newRow("failed read with errorCode")
            << device("10.99.2.20", "\"fault\": \"failed\", \"errorCode\": \"noPermission\"") << rows({a})
            << plan << QStringList{"noPermission"} << QStringList{a} << statik
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 401",
                           a + " GET /GetNetBasicConfig Digest 00000001 -> 200"}
            << QStringList() << false;

        QTest::newRow("failed read without errorCode")
            << device("10.99.2.20", "\"fault\": \"failed\", \"errorCode\": \"\"") << rows({a}) << plan
            << QStringList{"Unknown Error"} << QStringList{a} << statik
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 401",
                           a + " GET /GetNetBasicConfig Digest 00000001 -> 200"}
            << QStringList() << false;

        QTest::newRow("failed write without errorCode")
            << device("10.99.2.20", "\"auth\": \"basic\", \"fault\": \"failed\", \"errorCode\": \"\", "
                                    "\"faultPaths\": [\"/SetNetBasicConfig\"]")
            << rows({a}) << plan << QStringList{"Invalid Response"} << QStringList{a} << statik
            << basicSite(a) << QStringList{staticWrite("10.99.3.20")} << false;

        QTest::newRow("reply without dhcpIpMask: the placeholder is sent and logged")
            << device("10.99.2.20", "\"auth\": \"basic\", \"network\": {\"dhcpIpMask\": null}") << rows({a})
            << plan << success << QStringList{"10.99.3.20"} << statik << basicSite(a)
            << QStringList{QStringLiteral("staticIp ip=10.99.3.20 gw=10.99.0.1 mask=255.255.0.0 "
                                          "dhcpMask=%DHCP_MASK% dns=10.99.0.53,0.0.0.0 dnsFromDhcp=false")}
            << true;

        QTest::newRow("three sites from .20, the second read fails: .20 and .21")
            << device("10.99.2.20") + ',' +
                   device("10.99.2.21",
                          "\"fault\": \"wrong-credentials\", \"faultPaths\": [\"/GetNetBasicConfig\"]") +
                   ',' + device("10.99.2.22")
            << rows({a, b, c}) << plan << QStringList{"Success", "Login Failed", "Success"}
            << QStringList{"10.99.3.20", b, "10.99.3.21"} << QStringList{"static", "static", "static"}
            << digestSite(a) +
                   QStringList{b + " GET /GetNetBasicConfig Basic -> 401",
                               b + " GET /GetNetBasicConfig Digest 00000001 -> 401"} +
                   digestSite(c)
            << QStringList{staticWrite("10.99.3.20"), staticWrite("10.99.3.21")} << false;

        QTest::newRow("a device that never answers: Network Error after the time-out, the next site runs")
            << device("10.99.2.20", "\"fault\": \"no-answer\"") + ',' +
                   device("10.99.2.21", "\"auth\": \"basic\"")
            << rows({a, b}) << plan << QStringList{"Network Error", "Success"} << QStringList{a, "10.99.3.20"}
            << QStringList{"static", "static"}
            << QStringList{a + " GET /GetNetBasicConfig - -> 0"} + basicSite(b)
            << QStringList{staticWrite("10.99.3.20")} << false;

        QList<tcSiteRow> linkLocal{{QStringLiteral("10.99.2.30"), QStringLiteral("169.254.10.20"), 80}};
        QTest::newRow("a 169.254 altAddress is the target")
            << device("10.99.2.30", "\"auth\": \"basic\", \"altAddress\": \"169.254.10.20\"") << linkLocal
            << plan << success << QStringList{"10.99.3.20"} << statik
            << basicSite(QStringLiteral("169.254.10.20")) << QStringList{staticWrite("10.99.3.20")} << false;
        QList<tcSiteRow> otherAlt{{QStringLiteral("10.99.2.30"), QStringLiteral("10.99.2.31"), 80}};
        QTest::newRow("any other altAddress is not")
            << device("10.99.2.30", "\"auth\": \"basic\", \"altAddress\": \"10.99.2.31\"") << otherAlt << plan
            << success << QStringList{"10.99.3.20"} << statik << basicSite(QStringLiteral("10.99.2.30"))
            << QStringList{staticWrite("10.99.3.20")} << false;

        QByteArray six;
        QStringList sixRequests, sixAddresses, sixWritten;
        for (int i = 0; i < 6; ++i) {
            const QString address = QStringLiteral("10.99.2.%1").arg(40 + i);
            six += (i ? "," : "") + device(address.toLatin1().constData(), "\"auth\": \"basic\"");
            sixRequests += basicSite(address);
            sixAddresses << QStringLiteral("10.99.3.%1").arg(250 + i);
            sixWritten << staticWrite(sixAddresses.last());
        }
        QList<tcSiteRow> sixRows;
        for (int i = 0; i < 6; ++i)
            sixRows << tcSiteRow{QStringLiteral("10.99.2.%1").arg(40 + i), QString(), 80};
        QTest::newRow(".250 with 6 sites: the last one gets .255")
            << six << sixRows << staticFrom("10.99.3.250") << repeated(6, "Success") << sixAddresses
            << repeated(6, "static") << sixRequests << sixWritten << false;

        QTest::newRow("a starting .0: every site that reaches the write ends Internal Error")
            << device("10.99.2.20", "\"auth\": \"basic\"") + ',' + device("10.99.2.21", "\"auth\": \"basic\"")
            << rows({a, b}) << staticFrom("10.99.3.0") << QStringList{"Internal Error", "Internal Error"}
            << QStringList{a, b} << QStringList{"static", "static"}
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 200",
                           b + " GET /GetNetBasicConfig Basic -> 200"}
            << QStringList() << false;

        tcFormEntry spaced = plan;
        spaced.password = QStringLiteral("  70   93  ");
        QTest::newRow("a password typed with extra blanks is sent simplified")
            << device("10.99.2.20", "\"auth\": \"basic\", \"users\": {\"admin\": \"70 93\"}") << rows({a})
            << spaced << success << QStringList{"10.99.3.20"} << statik << basicSite(a)
            << QStringList{staticWrite("10.99.3.20")} << false;
    }
    void run()
    {
        QFETCH(QByteArray, devices);
        QFETCH(QList<tcSiteRow>, sites);
        QFETCH(tcFormEntry, entry);
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, addresses);
        QFETCH(QStringList, modes);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, written);
        QFETCH(bool, incomplete);

        tcSim sim;
        QVERIFY(sim.start(devices));
        tcLogCapture log; // to look for a line and for credentials
        tcDialogDriver driver(sites);
        QVERIFY(driver.show());
        QSignalSpy progress(driver.progress(), &QProgressBar::valueChanged);
        QVERIFY(startRun(driver, entry));
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Stop"));
        QVERIFY(!driver.closeButton()->isEnabled());

        const int timeoutMs = tcIPUpdateDlg::kTransferTimeoutMs + 10000;
        QTRY_VERIFY_WITH_TIMEOUT(driver.closeButton()->isEnabled(), timeoutMs);
        QCOMPARE(driver.statuses(), statuses);
        QCOMPARE(driver.column(kIpColumn), addresses);
        QCOMPARE(driver.column(kIpColumn + 1), modes);
        QTRY_COMPARE(sim.requestLines(), requests);
        QCOMPARE(sim.written(), written);
        QCOMPARE(log.lines().contains(kIncomplete), incomplete);

        // Done: the list was worked through.
        QCOMPARE(driver.results(), QStringLiteral("%1 site(s) successfully updated.")
                                       .arg(statuses.count(QStringLiteral("Success"))));
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Done"));
        QVERIFY(!driver.updateButton()->isEnabled());
        // Each site moves the bar when it starts and when it ends.
        QList<int> steps;
        for (const QList<QVariant>& change : qAsConst(progress))
            steps << change.at(0).toInt();
        QList<int> expectedSteps;
        for (int i = 0; i < sites.size(); ++i)
            expectedSteps << 2 * i + 1;
        expectedSteps << 2 * sites.size();
        QCOMPARE(steps, expectedSteps);
        QCOMPARE(driver.progress()->maximum(), 2 * sites.size());

        // Nothing logged carries the login.
        const QString basic = QString::fromLatin1(
            (entry.user.simplified() + QLatin1Char(':') + entry.password.simplified()).toUtf8().toBase64());
        for (const QString& message : log.lines()) {
            QVERIFY2(!message.contains(entry.password.simplified()), qPrintable(message));
            QVERIFY2(!message.contains(basic), qPrintable(message));
            QVERIFY2(!message.contains(QLatin1String("response=")), qPrintable(message));
        }
    }

    // What goes over the wire besides the settings: headers, the Digest uri, and the
    // client nonce that lasts one site.
    void wire()
    {
        tcSim sim;
        QVERIFY(sim.start(device("10.99.2.20") + ',' + device("10.99.2.21")));
        tcDialogDriver driver(rows({QStringLiteral("10.99.2.20"), QStringLiteral("10.99.2.21")}));
        QVERIFY(driver.show());
        QVERIFY(startRun(driver, staticFrom("10.99.3.20")));
        QTRY_VERIFY(driver.closeButton()->isEnabled());
        QTRY_COMPARE(sim.requests().size(), 6);

        const QList<QJsonObject> requests = sim.requests();
        QStringList cnonces;
        for (const QJsonObject& r : requests) {
            const QJsonObject headers = r.value(QStringLiteral("headers")).toObject();
            const QJsonObject auth = r.value(QStringLiteral("authorization")).toObject();
            const bool post = r.value(QStringLiteral("method")).toString() == QLatin1String("POST");
            QCOMPARE(headers.value(QStringLiteral("connection")).toString().toLower(),
                     QStringLiteral("close"));
            QCOMPARE(auth.value(QStringLiteral("username")).toString(), QStringLiteral("admin"));
            if (auth.value(QStringLiteral("scheme")).toString() == QLatin1String("Digest")) {
                QCOMPARE(auth.value(QStringLiteral("uri")).toString(),
                         post ? QStringLiteral("SetNetBasicConfig") : QStringLiteral("GetNetBasicConfig"));
                QCOMPARE(auth.value(QStringLiteral("verdict")).toString(), QStringLiteral("ok"));
                cnonces << auth.value(QStringLiteral("cnonce")).toString();
            }
            if (post) {
                QCOMPARE(r.value(QStringLiteral("contentType")).toString(),
                         QStringLiteral("application/x-www-form-urlencoded"));
                QCOMPARE(headers.value(QStringLiteral("accept")).toString(), QStringLiteral("*/*"));
                const QString body = r.value(QStringLiteral("body")).toString();
                QCOMPARE(body.count(QStringLiteral("\r\n")), 14);
                QVERIFY(body.endsWith(QLatin1String("</config>")));
            }
        }
        // Two Digest requests per site, one client nonce per site, a fresh one per site.
        QCOMPARE(cnonces.size(), 4);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(cnonces[0]).hasMatch());
        QCOMPARE(cnonces[1], cnonces[0]);
        QCOMPARE(cnonces[3], cnonces[2]);
        QVERIFY(cnonces[2] != cnonces[0]);
    }

    // Stop during the second of three sites: it still ends and shows its outcome, the
    // third is never started, and Update waits for the second to end.
    void stopDuringSecondSite()
    {
        tcSim sim;
        QVERIFY(sim.start(device("10.99.2.20") + ',' + device("10.99.2.21") + ',' + device("10.99.2.22")));
        tcDialogDriver driver(
            rows({QStringLiteral("10.99.2.20"), QStringLiteral("10.99.2.21"), QStringLiteral("10.99.2.22")}));
        QVERIFY(driver.show());

        bool stopped = false;
        bool updateEnabledWhileStopping = true;
        QString updateTextWhileStopping;
        bool questionWhileStopping = false;
        QObject::connect(&driver.tree, &QTreeWidget::itemChanged, [&](QTreeWidgetItem* item, int column) {
            if (stopped || item != driver.items.at(1) || column != kStatusColumn ||
                item->text(column) != QLatin1String("Updating..."))
                return;
            stopped = true;
            QTest::mouseClick(driver.updateButton(), Qt::LeftButton);
            updateEnabledWhileStopping = driver.updateButton()->isEnabled();
            updateTextWhileStopping = driver.updateButton()->text();
            // a second press while Stopping must not start anything, not even a question
            tcBoxAnswerer answerer(QMessageBox::Yes);
            QTest::mouseClick(driver.updateButton(), Qt::LeftButton);
            questionWhileStopping = !answerer.seen.isEmpty();
        });
        QVERIFY(startRun(driver, staticFrom("10.99.3.20")));
        QTRY_VERIFY(driver.closeButton()->isEnabled());
        QVERIFY(stopped);
        QVERIFY(!updateEnabledWhileStopping);
        QCOMPARE(updateTextWhileStopping, QStringLiteral("Update"));
        QVERIFY(!questionWhileStopping);

        QCOMPARE(driver.statuses(), (QStringList{"Success", "Success", "---"}));
        QCOMPARE(driver.column(kIpColumn), (QStringList{"10.99.3.20", "10.99.3.21", "10.99.2.22"}));
        QCOMPARE(driver.results(), QStringLiteral("2 site(s) successfully updated."));
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Update"));
        QVERIFY(driver.updateButton()->isEnabled());
        QCOMPARE(driver.progress()->value(), 6);
        QTRY_COMPARE(sim.requestLines(),
                     digestSite(QStringLiteral("10.99.2.20")) + digestSite(QStringLiteral("10.99.2.21")));

        // Stopped: a new run starts again from the first site with the plan read afresh.
        QVERIFY(startRun(driver, staticFrom("10.99.3.40")));
        QTRY_COMPARE(driver.updateButton()->text(), QStringLiteral("Done"));
        QCOMPARE(driver.statuses(), (QStringList{"Success", "Success", "Success"}));
        QCOMPARE(driver.column(kIpColumn), (QStringList{"10.99.3.40", "10.99.3.41", "10.99.3.42"}));
        QCOMPARE(driver.results(), QStringLiteral("3 site(s) successfully updated."));
    }
};

QTEST_MAIN(tst_IPUpdateRun)
#include "tst_ipupdaterun.moc"
