// The network settings dialog's form: the DHCP box, the checks of what the user typed
// (message, focus) in their order, and the confirmation question. Nothing here reaches
// the network: every press is refused or answered No.
#include "ipupdatedlg/tcDialogDriver.h"

using namespace zltest;

Q_DECLARE_METATYPE(tcFormEntry)

namespace {

QList<tcSiteRow> sites(int count)
{
    QList<tcSiteRow> rows;
    for (int i = 0; i < count; ++i)
        rows << tcSiteRow{QStringLiteral("10.99.2.%1").arg(20 + i), QString(), 80};
    return rows;
}

tcFormEntry plan(const char* start, const char* mask, const char* gateway)
{
    tcFormEntry entry;
    entry.start = QLatin1String(start);
    entry.mask = QLatin1String(mask);
    entry.gateway = QLatin1String(gateway);
    return entry;
}

const QString kConfirmOne =
    QStringLiteral("Are you sure you want to update network settings for the selected site?");
const QString kConfirmAll =
    QStringLiteral("Are you sure you want to update network settings for all the selected sites?");

} // namespace

class tst_IPUpdateDlg : public QObject
{
    Q_OBJECT
private slots:
    void dhcpBoxDisablesTheAddressFields()
    {
        tcDialogDriver driver(sites(1));
        QVERIFY(driver.show());
        const QList<QWidget*> fields{
            driver.widget<tcIpInput>("frmIPAddrBegin"), driver.widget<tcIpInput>("frmSubnetMask"),
            driver.widget<tcIpInput>("frmGateway"), driver.widget<tcIpInput>("frmPrefDNS"),
            driver.widget<tcIpInput>("frmAltDNS")};
        const auto enabled = [&] {
            QList<bool> states;
            for (const QWidget* field : fields)
                states << field->isEnabled();
            return states;
        };
        auto* dhcp = driver.widget<QCheckBox>("chkEnableDHCP");
        auto* dnsViaDhcp = driver.widget<QCheckBox>("chkDNSViaDHCP");
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true}));
        dhcp->click();
        QCOMPARE(enabled(), (QList<bool>{false, false, false, false, false}));
        QVERIFY(dnsViaDhcp->isChecked());
        QVERIFY(!dnsViaDhcp->isEnabled());
        dhcp->click();
        // the DNS choice was set with its signal blocked, so the entered DNS counts again
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true}));
        QVERIFY(!dnsViaDhcp->isChecked());
        QVERIFY(dnsViaDhcp->isHidden());
    }

    void checks_data()
    {
        QTest::addColumn<int>("siteCount");
        QTest::addColumn<tcFormEntry>("entry");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focusField"); // object name
        QTest::addColumn<bool>("firstOctet");    // the focus is on the field's first octet box

        const QString entryRequired = QStringLiteral("Entry Required");
        const QString invalid = QStringLiteral("Invalid Entry");
        const QString confirm = QStringLiteral("Confirm Update");
        const tcFormEntry good = plan("10.99.2.20", "255.255.0.0", "10.99.0.1");

        tcFormEntry e = good;
        e.user = QStringLiteral("   ");
        e.password.clear();
        QTest::newRow("user name of blanks comes before an empty password")
            << 2 << e << entryRequired << "Please enter a user name with administrator access."
            << "edtAdminUser" << false;
        e = good;
        e.password = QStringLiteral("    ");
        QTest::newRow("password of blanks only")
            << 2 << e << entryRequired << "Please enter the password for the admin user."
            << "edtAdminPass" << false;

        e = good;
        e.start = QStringLiteral("10.99.2.");
        e.mask.clear();
        QTest::newRow("starting address with an empty octet, checked before the mask")
            << 2 << e << invalid << "Please enter a valid starting IP address." << "frmIPAddrBegin" << true;
        e = good;
        e.mask.clear();
        QTest::newRow("empty mask") << 2 << e << invalid << "Please enter a valid subnet mask."
                                    << "frmSubnetMask" << true;
        e = good;
        e.gateway = QStringLiteral("10.99..1");
        QTest::newRow("gateway with an empty octet")
            << 2 << e << invalid << "Please enter a valid gateway address." << "frmGateway" << true;
        e = good;
        e.dns2.clear();
        QTest::newRow("empty alternate DNS")
            << 2 << e << invalid << "Please enter a valid alternate DNS address or 0.0.0.0."
            << "frmAltDNS" << true;

        QTest::newRow("gateway on another /24")
            << 2 << plan("192.168.1.10", "255.255.255.0", "192.168.2.1") << invalid
            << "Starting IP address and gateway address must be on the same subnet." << "frmGateway" << false;
        QTest::newRow("the same gateway inside a /16")
            << 2 << plan("192.168.1.10", "255.255.0.0", "192.168.2.1") << confirm << kConfirmAll << ""
            << false;
        QTest::newRow(".250 with 6 sites ends at .255")
            << 6 << plan("10.99.2.250", "255.255.0.0", "10.99.0.1") << confirm << kConfirmAll << "" << false;
        QTest::newRow(".250 with 7 sites is too high")
            << 7 << plan("10.99.2.250", "255.255.0.0", "10.99.0.1") << invalid
            << "Starting IP address is too high for the number of sites selected."
            << "frmIPAddrBegin" << false;
        QTest::newRow("a starting .0 passes the form")
            << 2 << plan("10.99.2.0", "255.255.0.0", "10.99.0.1") << confirm << kConfirmAll << "" << false;

        e = tcFormEntry();
        e.dhcp = true;
        QTest::newRow("DHCP leaves the empty address fields unchecked")
            << 1 << e << confirm << kConfirmOne << "" << false;
    }
    void checks()
    {
        QFETCH(int, siteCount);
        QFETCH(tcFormEntry, entry);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, focusField);
        QFETCH(bool, firstOctet);

        tcDialogDriver driver(sites(siteCount));
        QVERIFY(driver.show());
        driver.fill(entry);
        const bool question = focusField.isEmpty();
        const tcBoxSeen seen = driver.pressUpdate(question ? QMessageBox::No : QMessageBox::Ok);

        QVERIFY(seen.shown);
        QCOMPARE(seen.title, title);
        QCOMPARE(seen.text, message);
        if (question) {
            QCOMPARE(seen.icon, QMessageBox::Question);
            QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(seen.defaultButton, QMessageBox::No);
        } else {
            QCOMPARE(seen.icon, QMessageBox::Information);
            QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QWidget* field = driver.widget<QWidget>(qPrintable(focusField));
            QWidget* expected = firstOctet ? field->findChildren<QLineEdit*>().value(0) : field;
            QTRY_COMPARE(driver.dialog->focusWidget(), expected);
        }

        // Refused or answered No: nothing started.
        QCOMPARE(driver.updateButton()->text(), QStringLiteral("Update"));
        QVERIFY(driver.updateButton()->isEnabled());
        QVERIFY(driver.closeButton()->isEnabled());
        QCOMPARE(driver.statuses(), QVector<QString>(siteCount, QStringLiteral("---")).toList());
        QCOMPARE(driver.results(), QStringLiteral("%1 item(s) selected.").arg(siteCount));
    }
};

QTEST_MAIN(tst_IPUpdateDlg)
#include "tst_ipupdatedlg.moc"
