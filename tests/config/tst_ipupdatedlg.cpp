// The network settings dialog driven as a user drives it: keys typed into the form,
// Update pressed, the message boxes answered. Runs go to zephyrlock-sim on the site
// side, which logs every request it receives; the list rows show the outcomes.
#include "boxanswerer.h"
#include "logcapture.h"
#include "simsite.h"
#include "tcIPUpdateDlg.h"
#include "tcIpInput.h"
#include "tcVideoDevice.h"

#include <QJsonArray>
#include <QXmlStreamReader>
#include <QtTest>
#include <QtWidgets>

using namespace zltest;

namespace {

// The main window's list: ten columns, the address in 3, its mode in 4, status in 9.
const int kIpColumn = 3;
const int kStatusColumn = 9;

struct tcSiteRow
{
    QString address;
    QString altAddress;
};

// What a user enters in the form; an empty address leaves that field empty.
struct tcFormEntry
{
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("7093");
    bool dhcp = false;
    bool dhcpTickedFirst = false; // DHCP ticked and unticked again before the addresses
    QString start, mask = QStringLiteral("255.255.0.0"), gateway = QStringLiteral("10.99.0.1"),
                   dns1 = QStringLiteral("10.99.0.53"), dns2 = QStringLiteral("0.0.0.0");
};

tcFormEntry plan(const char* start, const char* mask = "255.255.0.0", const char* gateway = "10.99.0.1")
{
    tcFormEntry entry;
    entry.start = QLatin1String(start);
    entry.mask = QLatin1String(mask);
    entry.gateway = QLatin1String(gateway);
    return entry;
}

// The MAC the simulator gives a device of ours: its address's last byte at the end.
QString macOf(const QString& address)
{
    return QStringLiteral("0A:3D:91:00:00:%1")
        .arg(address.section(QLatin1Char('.'), 3).toInt(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

class tcDialogDriver
{
public:
    explicit tcDialogDriver(const QList<tcSiteRow>& rows)
    {
        registerVideoDeviceMetaType();
        tree.setColumnCount(10);
        for (const tcSiteRow& row : rows) {
            auto device = tpVideoDevice::create(nullptr);
            device->ipAddress = row.address;
            device->altAddress = row.altAddress;
            device->webPort = 80;
            device->pqCamera = true;
            device->macAddress = macOf(row.address);
            auto* item = new QTreeWidgetItem(&tree);
            item->setText(kIpColumn, row.address);
            item->setText(kIpColumn + 1, QStringLiteral("static"));
            item->setText(kStatusColumn, QStringLiteral("---"));
            item->setData(0, Qt::UserRole, QVariant::fromValue(device));
            items << item;
        }
        dialog = std::make_unique<tcIPUpdateDlg>(nullptr, items, kIpColumn, kStatusColumn);
        // A camera not heard at its new address in the first cycle after its write is
        // not waited for: the simulator moves at once or never.
        dialog->job()->setSettleMs(0);
    }

    template <typename T> T* widget(const char* name) const
    {
        T* found = dialog->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("the form has no %s", name);
        return found;
    }
    QPushButton* updateButton() const { return widget<QPushButton>("btnUpdate"); }
    QPushButton* closeButton() const { return widget<QPushButton>("btnClose"); }
    QString results() const { return widget<QLabel>("lblResults")->text(); }

    // Shows the dialog as the active window, as exec() would, and fills the form.
    void fill(const tcFormEntry& entry)
    {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        using Fields = QList<QPair<const char*, QString>>;
        for (const auto& [name, text] :
             Fields{{"edtAdminUser", entry.user}, {"edtAdminPass", entry.password}}) {
            widget<QLineEdit>(name)->clear();
            QTest::keyClicks(widget<QLineEdit>(name), text);
        }
        auto* dhcpBox = widget<QCheckBox>("chkEnableDHCP");
        if (entry.dhcpTickedFirst) {
            dhcpBox->click();
            dhcpBox->click();
        }
        if (dhcpBox->isChecked() != entry.dhcp)
            QTest::mouseClick(dhcpBox, Qt::LeftButton, {}, QPoint(5, dhcpBox->height() / 2));
        QCOMPARE(dhcpBox->isChecked(), entry.dhcp);
        if (entry.dhcp)
            return; // the address fields are disabled and take no keys
        for (const auto& [name, address] : Fields{{"frmIPAddrBegin", entry.start},
                                                  {"frmSubnetMask", entry.mask},
                                                  {"frmGateway", entry.gateway},
                                                  {"frmPrefDNS", entry.dns1},
                                                  {"frmAltDNS", entry.dns2}}) {
            const QList<QLineEdit*> boxes = widget<tcIpInput>(name)->findChildren<QLineEdit*>();
            for (QLineEdit* box : boxes)
                box->clear();
            boxes.first()->setFocus();
            // one key at a time, letting the event loop run between keys: the field moves
            // on to its next box from a queued slot
            for (const QChar key : address) {
                QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
                QCoreApplication::processEvents();
            }
        }
    }

    // Presses Update and answers the box that comes up (if any) with `answer`.
    tcBoxSeen pressUpdate(QMessageBox::StandardButton answer)
    {
        tcBoxAnswerer answerer(answer);
        QTest::mouseClick(updateButton(), Qt::LeftButton);
        return answerer.first();
    }
    // Fills the form, presses Update and answers Yes; false when no question came up.
    bool startRun(const tcFormEntry& entry)
    {
        fill(entry);
        const tcBoxSeen seen = pressUpdate(QMessageBox::Yes);
        return seen.shown && seen.title == QLatin1String("Confirm Update");
    }

    // Each site as "<status>, <address> <mode>".
    QStringList outcomes() const
    {
        QStringList texts;
        for (const QTreeWidgetItem* item : items)
            texts << item->text(kStatusColumn) + QStringLiteral(", ") + item->text(kIpColumn) +
                         QLatin1Char(' ') + item->text(kIpColumn + 1);
        return texts;
    }

    QTreeWidget tree;
    QList<QTreeWidgetItem*> items;
    std::unique_ptr<tcIPUpdateDlg> dialog;
};

QList<tcSiteRow> sites(int count)
{
    QList<tcSiteRow> rows;
    for (int i = 0; i < count; ++i)
        rows << tcSiteRow{QStringLiteral("10.99.2.%1").arg(20 + i), QString()};
    return rows;
}

const QString kConfirmAll =
    QStringLiteral("Are you sure you want to update network settings for all the selected sites?");

// The simulator, started on these devices (the items of the site file's array).
bool startSim(tcSim& sim, const QByteArray& devices)
{
    // The simulator must keep a silent request open longer than the client waits.
    return sim.start('[' + devices + ']', {QStringLiteral("--no-discovery"), QStringLiteral("--log-requests"),
                                           QStringLiteral("--http-timeout"), QStringLiteral("60000")});
}

QByteArray device(const char* address, const QByteArray& more = QByteArray())
{
    return "{\"kind\": \"pq-camera\", \"address\": \"" + QByteArray(address) + "\", \"mac\": \"" +
           macOf(QLatin1String(address)).toLatin1() + '"' + (more.isEmpty() ? QByteArray() : ", " + more) +
           '}';
}

// "<address> <method> <path> <scheme> [<nc>] -> <status>" per request.
QStringList requestLines(tcSim& sim)
{
    QStringList lines;
    for (const QJsonObject& r : sim.events("request")) {
        const QJsonValue auth = r["authorization"];
        lines << QStringLiteral("%1 %2 %3 %4 -> %5")
                     .arg(
                         r["local"].toString(), r["method"].toString(), r["path"].toString(),
                         QStringList{auth["scheme"].toString("-"), auth["nc"].toString()}.join(' ').trimmed())
                     .arg(r["status"].toInt());
    }
    return lines;
}

// The settings each answered write carried.
QStringList writtenSettings(tcSim& sim)
{
    QStringList lines;
    for (const QJsonObject& r : sim.events("request")) {
        if (r["method"] != "POST" || r["status"] != 200)
            continue;
        QMap<QString, QString> t;
        QXmlStreamReader xml(r["body"].toString());
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("config") && xml.name() != QLatin1String("tcpIp"))
                t.insert(xml.name().toString(), xml.readElementText());
        }
        lines << QStringLiteral("%1 ip=%2 gw=%3 mask=%4 dhcpMask=%5 dns=%6,%7 dnsFromDhcp=%8")
                     .arg(t["ipSettingMode"], t["staticIp"], t["staticIpRoute"], t["staticIpMask"],
                          t["dhcpIpMask"], t["dnsServer1"], t["dnsServer2"], t["dnsFromDhcpSwitch"]);
    }
    return lines;
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

Q_DECLARE_METATYPE(tcFormEntry)

class tst_IPUpdateDlg : public QObject
{
    Q_OBJECT
private slots:
    // The checks in their order, each refusing an invalid entry with a message and the
    // focus on the field (or, with no focus named, the question that valid entries reach,
    // answered No).
    void checks_data()
    {
        QTest::addColumn<int>("siteCount");
        QTest::addColumn<tcFormEntry>("entry");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focusField"); // object name
        QTest::addColumn<bool>("firstOctet");    // the focus is on the field's first octet box

        QTest::newRow("starting address with an empty octet, checked before the mask")
            << 2 << plan("10.99.2.", "") << "Please enter a valid starting IP address."
            << "frmIPAddrBegin" << true;
        QTest::newRow("gateway on another /24")
            << 2 << plan("192.168.1.10", "255.255.255.0", "192.168.2.1")
            << "Starting IP address and gateway address must be on the same subnet."
            << "frmGateway" << false;
        QTest::newRow("the same gateway inside a /16")
            << 2 << plan("192.168.1.10", "255.255.0.0", "192.168.2.1") << kConfirmAll << "" << false;
        QTest::newRow(".250 with 6 sites ends at .255")
            << 6 << plan("10.99.2.250") << kConfirmAll << "" << false;
        QTest::newRow(".250 with 7 sites is too high")
            << 7 << plan("10.99.2.250") << "Starting IP address is too high for the number of sites selected."
            << "frmIPAddrBegin" << false;
        tcFormEntry dhcp;
        dhcp.dhcp = true;
        QTest::newRow("DHCP leaves the empty address fields unchecked")
            << 1 << dhcp << "Are you sure you want to update network settings for the selected site?"
            << "" << false;
    }
    void checks()
    {
        QFETCH(int, siteCount);
        QFETCH(tcFormEntry, entry);
        QFETCH(QString, message);
        QFETCH(QString, focusField);
        QFETCH(bool, firstOctet);

        tcDialogDriver driver(sites(siteCount));
        driver.fill(entry);
        const bool question = focusField.isEmpty();
        const tcBoxSeen seen = driver.pressUpdate(question ? QMessageBox::No : QMessageBox::Ok);
        QCOMPARE(seen.title, question ? QStringLiteral("Confirm Update") : QStringLiteral("Invalid Entry"));
        QCOMPARE(seen.text, message);
        if (question) {
            QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(seen.defaultButton, QMessageBox::No);
        } else {
            QWidget* field = driver.widget<QWidget>(qPrintable(focusField));
            QTRY_COMPARE(driver.dialog->focusWidget(),
                         firstOctet ? field->findChildren<QLineEdit*>().value(0) : field);
        }
        // Refused or answered No: nothing started.
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Update"));
        QVERIFY(driver.closeButton()->isEnabled());
    }

    // A whole run; each site's row ends as "<status>, <address> <mode>".
    void run_data()
    {
        QTest::addColumn<QByteArray>("devices");
        QTest::addColumn<tcFormEntry>("entry");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QStringList>("written");

        const QString a = QStringLiteral("10.99.2.20");
        const QStringList assigned{"Success, 10.99.3.20 static"};
        const QStringList writtenStatic{staticWrite(QStringLiteral("10.99.3.20"))};
        const tcFormEntry statik = plan("10.99.3.20");
        tcFormEntry dhcp;
        dhcp.dhcp = true;

        QTest::newRow("Digest only on the write: 0, then 1")
            << device("10.99.2.20",
                      "\"auth\": \"basic\", \"authPaths\": {\"/SetNetBasicConfig\": \"digest\"}")
            << statik << assigned
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 200",
                           a + " POST /SetNetBasicConfig Basic -> 401",
                           a + " POST /SetNetBasicConfig Digest 00000001 -> 200"}
            << writtenStatic;
        tcFormEntry wrongPassword = statik;
        wrongPassword.password = QStringLiteral("7094");
        QTest::newRow("Basic-only challenge: Login Failed after one request")
            << device("10.99.2.20", "\"auth\": \"basic\"") << wrongPassword
            << QStringList{"Login Failed, 10.99.2.20 static"}
            << QStringList{a + " GET /GetNetBasicConfig Basic -> 401"} << QStringList();
        QTest::newRow("DHCP on a static device keeps its own static values and DNS")
            << device("10.99.2.20",
                      "\"network\": {\"dnsServer1\": \"10.99.0.8\", \"dnsServer2\": \"10.99.0.9\"}")
            << dhcp << QStringList{"Success, 0.0.0.0 dhcp"} << digestSite(a)
            << QStringList{"dhcp ip=10.99.2.20 gw=10.99.0.1 mask=255.255.0.0 dhcpMask= "
                           "dns=10.99.0.8,10.99.0.9 dnsFromDhcp=true"};
        QTest::newRow("reply without dhcpIpMask: the placeholder is sent and logged")
            << device("10.99.2.20", "\"auth\": \"basic\", \"network\": {\"dhcpIpMask\": null}") << statik
            << assigned << basicSite(a)
            << QStringList{QStringLiteral("staticIp ip=10.99.3.20 gw=10.99.0.1 mask=255.255.0.0 "
                                          "dhcpMask=%DHCP_MASK% dns=10.99.0.53,0.0.0.0 dnsFromDhcp=false")};
        QTest::newRow("a device that never answers: Network Error after the time-out, the next site runs")
            << device("10.99.2.20", "\"fault\": \"no-answer\"") + ',' +
                   device("10.99.2.21", "\"auth\": \"basic\"")
            << statik << QStringList{"Network Error, 10.99.2.20 static", "Success, 10.99.3.20 static"}
            << QStringList{a + " GET /GetNetBasicConfig - -> 0"} + basicSite("10.99.2.21") << writtenStatic;
        QTest::newRow("a device that streams a body without end: Network Error, the next site runs")
            << device("10.99.2.20", "\"fault\": \"endless-body\"") + ',' +
                   device("10.99.2.21", "\"auth\": \"basic\"")
            << statik << QStringList{"Network Error, 10.99.2.20 static", "Success, 10.99.3.20 static"}
            << QStringList{a + " GET /GetNetBasicConfig - -> 200"} + basicSite("10.99.2.21") << writtenStatic;
        tcFormEntry ticked = statik;
        ticked.dhcpTickedFirst = true;
        QTest::newRow("DHCP ticked and unticked: the typed DNS is sent again")
            << device("10.99.2.20", "\"auth\": \"basic\"") << ticked << assigned << basicSite(a)
            << writtenStatic;
        tcFormEntry spaced = statik;
        spaced.password = QStringLiteral("  70   93  ");
        QTest::newRow("a password typed with extra blanks is sent simplified")
            << device("10.99.2.20", "\"auth\": \"basic\", \"users\": {\"admin\": \"70 93\"}") << spaced
            << assigned << basicSite(a) << writtenStatic;
    }
    void run()
    {
        QFETCH(QByteArray, devices);
        QFETCH(tcFormEntry, entry);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, written);
        ZL_REQUIRE_SANDBOX();

        tcSim sim;
        QVERIFY(startSim(sim, devices));
        QList<tcSiteRow> sites;
        for (const QJsonValue& d : QJsonDocument::fromJson('[' + devices + ']').array())
            sites << tcSiteRow{d[QLatin1String("address")].toString(),
                               d[QLatin1String("altAddress")].toString()};
        tcLogCapture log; // to look for a line and for credentials
        tcDialogDriver driver(sites);
        // The exchange alone; verification() follows a change to its confirmation.
        driver.dialog->job()->setVerify(false);
        QVERIFY(driver.startRun(entry));
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Stop"));
        QVERIFY(!driver.closeButton()->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(driver.closeButton()->isEnabled(),
                                 tcIPUpdateDlg::kTransferTimeoutMs + 10000);
        QCOMPARE(driver.outcomes(), rows);
        QTRY_COMPARE(requestLines(sim), requests);
        QCOMPARE(writtenSettings(sim), written);
        // the line is logged exactly when a placeholder was left in the body
        QCOMPARE(log.lines().contains(QStringLiteral("Network configuration XML is incomplete!!!")),
                 written.join(QString()).contains(QLatin1Char('%')));

        // Done: the list was worked through.
        QCOMPARE(driver.results(), QStringLiteral("%1 site(s) successfully updated.")
                                       .arg(rows.filter(QStringLiteral("Success,")).size()));
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Done"));
        QVERIFY(!driver.updateButton()->isEnabled());
        QCOMPARE(driver.widget<QProgressBar>("progressBar")->value(), 2 * sites.size());
        // Digest names the path without its slash, as the devices expect.
        for (const QJsonObject& r : sim.events("request"))
            if (r["authorization"]["scheme"] == "Digest")
                QCOMPARE(r["authorization"]["uri"].toString(), r["path"].toString().mid(1));

        // Nothing logged carries the login.
        const QString basic = QString::fromLatin1(
            (entry.user.simplified() + QLatin1Char(':') + entry.password.simplified()).toUtf8().toBase64());
        for (const QString& message : log.lines()) {
            QVERIFY2(!message.contains(entry.password.simplified()), qPrintable(message));
            QVERIFY2(!message.contains(basic), qPrintable(message));
            QVERIFY2(!message.contains(QLatin1String("response=")), qPrintable(message));
        }
    }

    // After the run the dialog proves each change by hearing the camera again: the row's
    // status text stays the exchange's, a mark and its tooltip say what was seen, and a
    // confirmed row shows where the camera now answers.
    void verification_data()
    {
        QTest::addColumn<QByteArray>("devices");
        QTest::addColumn<tcFormEntry>("entry");
        QTest::addColumn<QStringList>("rows"); // "<status>, <address> <mode> | <tooltip>"
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("recordAddress"); // the first row's record afterwards

        tcFormEntry dhcp;
        dhcp.dhcp = true;
        QTest::newRow("moved: confirmed at the new address")
            << device("10.99.2.20", "\"moveOnWrite\": true") << plan("10.99.3.20")
            << QStringList{"Success, 10.99.3.20 static | Confirmed: seen at 10.99.3.20"}
            << "Changes confirmed: 1 of 1."
            << "10.99.3.20";
        QTest::newRow("answered success but never came up there: not confirmed")
            << device("10.99.2.20", "\"moveOnWrite\": true") + ',' + device("10.99.2.21")
            << plan("10.99.3.20")
            << QStringList{"Success, 10.99.3.20 static | Confirmed: seen at 10.99.3.20",
                           "Success, 10.99.3.21 static | Not confirmed: not seen at 10.99.3.21"}
            << "Changes confirmed: 1 of 2 (1 not confirmed)."
            << "10.99.3.20";
        QTest::newRow("DHCP: the row shows the address the camera reports")
            << device("10.99.2.20") << dhcp
            << QStringList{"Success, 10.99.2.20 dhcp | Confirmed: seen with DHCP at 10.99.2.20"}
            << "Changes confirmed: 1 of 1."
            << "10.99.2.20";
        tcFormEntry wrong = plan("10.99.3.20");
        wrong.password = QStringLiteral("7094");
        QTest::newRow("a refused login is not checked, and nothing is counted")
            << device("10.99.2.20", "\"auth\": \"basic\"") << wrong
            << QStringList{"Login Failed, 10.99.2.20 static | Not checked: the change did not succeed"} << ""
            << "10.99.2.20";
    }
    void verification()
    {
        QFETCH(QByteArray, devices);
        QFETCH(tcFormEntry, entry);
        QFETCH(QStringList, rows);
        QFETCH(QString, summary);
        QFETCH(QString, recordAddress);
        ZL_REQUIRE_SANDBOX();

        tcSim sim;
        QVERIFY(sim.start('[' + devices + ']', {QStringLiteral("--log-requests")}));
        QList<tcSiteRow> sites;
        for (const QJsonValue& d : QJsonDocument::fromJson('[' + devices + ']').array())
            sites << tcSiteRow{d[QLatin1String("address")].toString(), QString()};
        tcDialogDriver driver(sites);
        QVERIFY(driver.startRun(entry));
        QTRY_VERIFY_WITH_TIMEOUT(driver.closeButton()->isEnabled(), 20000);
        QStringList seen = driver.outcomes();
        for (int i = 0; i < seen.size(); ++i)
            seen[i] += QStringLiteral(" | ") + driver.items[i]->toolTip(kStatusColumn);
        QCOMPARE(seen, rows);
        QCOMPARE(driver.widget<QLabel>("lblVerified")->text(), summary);
        QCOMPARE(driver.results(), QStringLiteral("%1 site(s) successfully updated.")
                                       .arg(rows.filter(QStringLiteral("Success,")).size()));
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Done"));
        QCOMPARE(driver.items[0]->data(0, Qt::UserRole).value<tpVideoDevice>()->ipAddress, recordAddress);
    }

    // Stop during the second of three sites: it still ends and shows its outcome, the
    // third is never started, and Update waits for the second to end.
    void stopDuringSecondSite()
    {
        ZL_REQUIRE_SANDBOX();
        tcSim sim;
        QVERIFY(
            startSim(sim, device("10.99.2.20") + ',' + device("10.99.2.21") + ',' + device("10.99.2.22")));
        tcDialogDriver driver(sites(3));

        bool stopped = false, updateEnabledWhileStopping = true, questionWhileStopping = false;
        QObject::connect(&driver.tree, &QTreeWidget::itemChanged, [&](QTreeWidgetItem* item, int column) {
            if (stopped || item != driver.items.at(1) || column != kStatusColumn ||
                item->text(column) != QLatin1String("Updating..."))
                return;
            stopped = true;
            QTest::mouseClick(driver.updateButton(), Qt::LeftButton);
            updateEnabledWhileStopping = driver.updateButton()->isEnabled();
            // a second press while Stopping must not start anything, not even a question
            questionWhileStopping = driver.pressUpdate(QMessageBox::Yes).shown;
        });
        QVERIFY(driver.startRun(plan("10.99.3.20")));
        QTRY_VERIFY(driver.closeButton()->isEnabled());
        QVERIFY(stopped);
        QVERIFY(!updateEnabledWhileStopping);
        QVERIFY(!questionWhileStopping);

        QCOMPARE(driver.outcomes(), (QStringList{"Success, 10.99.3.20 static", "Success, 10.99.3.21 static",
                                                 "---, 10.99.2.22 static"}));
        QCOMPARE(driver.results(), QStringLiteral("2 site(s) successfully updated."));
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Update"));
        QVERIFY(driver.updateButton()->isEnabled());
        QTRY_COMPARE(requestLines(sim),
                     digestSite(QStringLiteral("10.99.2.20")) + digestSite(QStringLiteral("10.99.2.21")));

        // Stopped: a new run starts again from the first site with the plan read afresh.
        QVERIFY(driver.startRun(plan("10.99.3.40")));
        // the cameras of this site never move, so the check waits out two cycles
        QTRY_COMPARE_WITH_TIMEOUT(driver.updateButton()->text(), QStringLiteral("Done"), 20000);
        QCOMPARE(driver.outcomes(), (QStringList{"Success, 10.99.3.40 static", "Success, 10.99.3.41 static",
                                                 "Success, 10.99.3.42 static"}));
    }
};

QTEST_MAIN(tst_IPUpdateDlg)
#include "tst_ipupdatedlg.moc"
