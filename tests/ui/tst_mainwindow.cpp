#include "MainWindow.h"
#include "boxanswerer.h"
#include "report.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateItem.h"
#include "zltest.h"

#include <QtTest>
#include <QtWidgets>

using zltest::report;

namespace {

void finishCycle(MainWindow& window)
{
    for (int i = 0; i < 3; ++i)
        window.slot_waitTimer();
}

template <typename T> T* child(MainWindow& window, const char* name)
{
    T* widget = window.findChild<T*>(QLatin1String(name));
    if (!widget)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return widget;
}

QStringList column(QTreeWidget* tree, int column)
{
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(column);
    return texts;
}

} // namespace

// Stands in for the desktop's browser.
class tcUrlOpener : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class tst_MainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { ZL_REQUIRE_SANDBOX(); }

    void sortedByAddressAtCycleEnd()
    {
        MainWindow window;
        for (const char* address : {"192.168.1.20", "", "192.168.1.3", "10.0.0.10", "10.0.0.9"})
            window.slot_locateFoundSite(report(Onvif, address, address[0] ? "" : "aa:00:00:00:00:01"));
        finishCycle(window);
        QCOMPARE(column(window.deviceTree(), tcSiteList::colAddress),
                 (QStringList{"", "10.0.0.9", "10.0.0.10", "192.168.1.3", "192.168.1.20"}));
        // a late report is sorted in and still merges into its row
        window.slot_locateFoundSite(report(Onvif, "10.0.0.5", ""));
        window.slot_locateFoundSite(
            report(Onvif, "10.0.0.5", "", [](tcVideoDevice& d) { d.siteName = QStringLiteral("Late"); }));
        QCOMPARE(column(window.deviceTree(), tcSiteList::colSiteName).indexOf(QStringLiteral("Late")), 1);
    }

    void takeoverUnderRecordersIsShown()
    {
        MainWindow window;
        window.slot_locateFoundSite(report(Norvo2Cam, "10.1.0.1", ""));
        child<QRadioButton>(window, "radShowRecorders")->setChecked(true);
        QVERIFY(window.itemOf(0)->isHidden());
        window.slot_locateFoundSite(report(PQSeries, "10.1.0.1", ""));
        QVERIFY(!window.itemOf(0)->isHidden());
    }

    // At the end of a cycle, and then on picking a kind button: the id column's header,
    // the selection mode, the bottom buttons, the selection and the counts (a kd-series
    // device counts only in the total).
    void kindFilter_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("label");
        QTest::newRow("bridges") << "radShowBridges"
                                 << "Cloud ID"
                                 << "Sites found (1 / 7)";
        QTest::newRow("recorders") << "radShowRecorders"
                                   << "QR Code"
                                   << "Sites found (1 / 7)";
        QTest::newRow("other") << "radShowOther"
                               << "Device Type"
                               << "Sites found (2 / 7)";
    }
    void kindFilter()
    {
        QFETCH(QString, button);
        QFETCH(QString, header);
        QFETCH(QString, label);
        MainWindow window;
        for (const tpVideoDevice& device :
             {report(ZLServer2, "10.1.0.1", ""), report(PQSeries, "10.1.0.2", ""),
              report(Onvif, "10.1.0.3", "", [](tcVideoDevice& d) { d.model = "Ceiling Speaker"; }),
              report(OstraServer, "10.1.0.4", ""), report(OstraDecoder, "10.1.0.5", ""),
              report(Norvo2Cam, "10.1.0.6", ""), report(KDSeries, "10.1.0.7", "")})
            window.slot_locateFoundSite(device);
        finishCycle(window);
        auto* progress = child<QLabel>(window, "lblProgress");
        QCOMPARE(progress->text(), QStringLiteral("Sites found (1 / 7)"));
        QVERIFY(!child<QProgressBar>(window, "prgDiscovery")->isVisibleTo(&window));
        QVERIFY(child<QPushButton>(window, "btnRefresh")->isEnabled());
        auto* select = child<QPushButton>(window, "btnSelect");
        select->click();
        QCOMPARE(select->text(), QStringLiteral("Deselect All"));
        QVERIFY(!window.deviceTree()->selectedItems().isEmpty());

        window.findChild<QRadioButton*>(button)->setChecked(true);
        QCOMPARE(window.deviceTree()->headerItem()->text(1), header);
        QVERIFY(window.deviceTree()->selectionMode() != QAbstractItemView::ExtendedSelection);
        QCOMPARE(progress->text(), label);
        QVERIFY(!select->isVisibleTo(&window));
        QVERIFY(!child<QPushButton>(window, "btnUpdateAddresses")->isVisibleTo(&window));

        child<QRadioButton>(window, "radShowCameras")->setChecked(true);
        QCOMPARE(window.deviceTree()->headerItem()->text(1), QStringLiteral("QR Code"));
        QCOMPARE(window.deviceTree()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(progress->text(), QStringLiteral("Sites found (1 / 7)"));
        QVERIFY(select->isVisibleTo(&window));
        // a new kind starts with nothing selected
        QCOMPARE(select->text(), QStringLiteral("Select All"));
        QCOMPARE(window.deviceTree()->selectedItems().size(), 0);
    }

    // Rows described as "<pq camera><selected><hidden>" flags; the status texts after
    // pressing the button, and whether the "Selection Required" box came up.
    void updateButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<bool>("box");
        // Both buttons choose their rows by one rule; the second shares its hidden-row cases.
        const QString addresses = "btnUpdateAddresses", passwords = "btnUpdatePasswords";
        QTest::newRow("selected rows none of them a pq camera")
            << addresses << QStringList{"010", "010"} << QStringList{"", ""} << true;
        QTest::newRow("selected pq cameras are marked, the rest cleared")
            << addresses << QStringList{"110", "100", "010", "110"} << QStringList{"---", "", "", "---"}
            << false;
        for (const QString& button : {addresses, passwords}) {
            QTest::addRow("%s: a selected pq camera hidden by the filter is left out", qPrintable(button))
                << button << QStringList{"111", "110"} << QStringList{"", "---"} << false;
            QTest::addRow("%s: only hidden ones selected", qPrintable(button))
                << button << QStringList{"111"} << QStringList{""} << true;
        }
    }
    void updateButtons()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, statuses);
        QFETCH(bool, box);
        MainWindow window;
        for (int i = 0; i < rows.size(); ++i) {
            const bool pq = rows[i][0] == QLatin1Char('1');
            const bool hidden = rows[i][2] == QLatin1Char('1');
            window.slot_locateFoundSite(report(hidden ? Norvo2Cam : Onvif,
                                               QStringLiteral("10.1.0.%1").arg(i + 1), "",
                                               [&](tcVideoDevice& d) {
                                                   d.pqCamera = pq;
                                                   if (hidden)
                                                       d.model = QStringLiteral("Horn Speaker");
                                               }));
        }
        finishCycle(window);
        for (int i = 0; i < rows.size(); ++i) {
            window.itemOf(i)->setText(tcSiteList::colStatus, QStringLiteral("Success"));
            window.itemOf(i)->setSelected(rows[i][1] == QLatin1Char('1'));
            QCOMPARE(window.itemOf(i)->isHidden(), rows[i][2] == QLatin1Char('1'));
        }
        zltest::tcBoxAnswerer watcher(QMessageBox::Ok, true);
        window.findChild<QPushButton*>(button)->click();
        QStringList actual;
        for (int i = 0; i < rows.size(); ++i)
            actual << window.itemOf(i)->text(tcSiteList::colStatus);
        QCOMPARE(actual, statuses);
        QCOMPARE(watcher.first().title, box ? QStringLiteral("Selection Required") : QString());
        QCOMPARE(watcher.first().text,
                 box ? QStringLiteral("Please select one or more items to update.") : QString());
        const bool passwords = button == QLatin1String("btnUpdatePasswords");
        const QString dialog = QLatin1String(passwords ? "tcPWUpdateDlg" : "tcIPUpdateDlg");
        QCOMPARE(watcher.dialogs, box ? QStringList() : QStringList{dialog});
    }

    // Other makers' ONVIF cameras: in the update dialogs only once the ONVIF menu says
    // so; the ONVIF actions take them alone.
    void onvifRows_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("pqCamera"); // the one selected row
        QTest::addColumn<bool>("included");
        QTest::addColumn<QString>("opened"); // the dialog, or the box's text
        const QString choose = QStringLiteral("Please select one or more items to update.");
        QTest::newRow("passwords, ONVIF left out") << "btnUpdatePasswords" << false << false << choose;
        QTest::newRow("passwords, ONVIF included")
            << "btnUpdatePasswords" << false << true << "tcPWUpdateDlg";
        QTest::newRow("addresses, ONVIF left out") << "btnUpdateAddresses" << false << false << choose;
        QTest::newRow("addresses, ONVIF included")
            << "btnUpdateAddresses" << false << true << "tcIPUpdateDlg";
        QTest::newRow("information") << "actOnvifInfo" << false << false << "tcOnvifActionDlg";
        QTest::newRow("time on one of ours")
            << "actOnvifTime" << true << true << "Please select one or more ONVIF cameras of other makers.";
        QTest::newRow("reboot") << "actOnvifReboot" << false << false << "tcOnvifActionDlg";
    }
    void onvifRows()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, pqCamera);
        QFETCH(bool, included);
        QFETCH(QString, opened);
        MainWindow window;
        auto* include = child<QAction>(window, "actOnvifInUpdates");
        QVERIFY(include && include->isCheckable() && !include->isChecked());
        include->setChecked(included);
        window.slot_locateFoundSite(
            report(Onvif, QStringLiteral("10.1.0.1"), "", [&](tcVideoDevice& d) { d.pqCamera = pqCamera; }));
        finishCycle(window);
        window.itemOf(0)->setSelected(true);
        zltest::tcBoxAnswerer watcher(QMessageBox::Ok, true);
        if (auto* action = window.findChild<QAction*>(trigger))
            action->trigger();
        else
            window.findChild<QPushButton*>(trigger)->click();
        QCOMPARE(watcher.dialogs.isEmpty() ? watcher.first().text : watcher.dialogs.join(QLatin1Char(',')),
                 opened);
    }

    void doubleClickOpensWebPage()
    {
        tcUrlOpener opener;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opener, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &opener, "open");
        MainWindow window;
        window.slot_locateFoundSite(report(Onvif, "10.1.0.1", ""));
        window.slot_locateFoundSite(
            report(Onvif, "10.1.0.2", "", [](tcVideoDevice& d) { d.webPort = 8080; }));
        finishCycle(window);
        // 10.1.0.2 lies outside the test network's subnet: marked, and still opened.
        QVERIFY(window.itemOf(1)->toolTip(tcSiteList::colAddress).contains(QStringLiteral("Other subnet")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeWidget* tree = window.deviceTree();
        const QRect rect = tree->visualItemRect(window.itemOf(1));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(opener.opened, QList<QUrl>{QUrl(QStringLiteral("http://10.1.0.2:8080"))});
    }

    void refreshEmptiesTheList()
    {
        MainWindow window;
        tpVideoDevice device = report(Onvif, "10.1.0.1", "");
        const QWeakPointer<tcVideoDevice> weak = device;
        window.slot_locateFoundSite(device);
        device.reset();
        finishCycle(window);
        child<QPushButton>(window, "btnRefresh")->click();
        QCOMPARE(window.deviceTree()->topLevelItemCount(), 0);
        QVERIFY(weak.isNull());
        QCOMPARE(child<QLabel>(window, "lblProgress")->text(),
                 QStringLiteral("Locating sites, please wait..."));
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
