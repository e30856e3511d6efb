// The window's Watch box: off, the list is the last cycle's snapshot; on, rows stay between
// cycles, a device heard at another address moves its row, one that goes quiet is greyed
// with the time it was last seen, and the found label counts those online.
#include "MainWindow.h"
#include "report.h"
#include "tcListWatch.h"
#include "tcSiteLocateItem.h"
#include "zltest.h"

#include <QtTest>
#include <QtWidgets>

using zltest::report;

namespace {

const QString kMacA = QStringLiteral("0a:3d:91:00:00:0a");
const QString kMacB = QStringLiteral("0a:3d:91:00:00:0b");

} // namespace

class tst_WatchMode : public QObject
{
    Q_OBJECT
private slots:
    void offByDefault()
    {
        ZL_REQUIRE_SANDBOX();
        MainWindow window;
        auto* box = window.findChild<QCheckBox*>(QStringLiteral("chkWatch"));
        QVERIFY(box);
        QVERIFY(!box->isChecked());
        QCOMPARE(box->text(), QStringLiteral("Watch"));
    }

    void movedAndOffline()
    {
        ZL_REQUIRE_SANDBOX();
        MainWindow window;
        window.show();
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacA));
        window.slot_locateFoundSite(report(Onvif, "10.99.5.2", kMacB));
        auto* watch = window.findChild<tcListWatch*>();
        QVERIFY(watch);
        watch->setIntervalMs(300);
        window.findChild<QCheckBox*>(QStringLiteral("chkWatch"))->setChecked(true);
        QVERIFY(watch->isOn());

        // A answers from its new address all along; B has gone quiet.
        QTimer a;
        connect(&a, &QTimer::timeout, &window,
                [&window] { window.slot_locateFoundSite(report(Onvif, "10.99.5.9", kMacA)); });
        a.start(100);
        QTRY_COMPARE_WITH_TIMEOUT(window.itemOf(1)->text(tcSiteList::colStatus).left(10),
                                  QStringLiteral("last seen "), 5000);
        a.stop();
        QCOMPARE(window.sites().count(), 2); // a move adds no row
        QTreeWidgetItem* moved = window.itemOf(0);
        QCOMPARE(moved->text(tcSiteList::colAddress), QStringLiteral("10.99.5.9"));
        QCOMPARE(moved->text(tcSiteList::colStatus), QStringLiteral("moved from 10.99.5.1"));
        QCOMPARE(moved->data(0, tcSiteLocateItem::DeviceRole).value<tpVideoDevice>()->ipAddress,
                 QStringLiteral("10.99.5.9"));
        QTreeWidgetItem* quiet = window.itemOf(1);
        QCOMPARE(quiet->foreground(0).color(), window.palette().color(QPalette::Disabled, QPalette::Text));
        QCOMPARE(quiet->text(tcSiteList::colAddress), QStringLiteral("10.99.5.2")); // its data kept
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblProgress"))->text(),
                 QStringLiteral("Sites found (2 / 2)"));
        QCOMPARE(window.findChild<QCheckBox*>(QStringLiteral("chkWatch"))->text(),
                 QStringLiteral("Watch (1 online)"));
        if (!qEnvironmentVariableIsEmpty("ZL_SCREENSHOT"))
            window.grab().save(qEnvironmentVariable("ZL_SCREENSHOT"));

        // B back: online again at once. Watch off: the marks go.
        window.slot_locateFoundSite(report(Onvif, "10.99.5.2", kMacB));
        QCOMPARE(quiet->text(tcSiteList::colStatus), QString());
        QCOMPARE(quiet->foreground(0).style(), Qt::NoBrush);
        window.findChild<QCheckBox*>(QStringLiteral("chkWatch"))->setChecked(false);
        QCOMPARE(moved->text(tcSiteList::colStatus), QString());
        QCOMPARE(window.findChild<QCheckBox*>(QStringLiteral("chkWatch"))->text(), QStringLiteral("Watch"));
    }
};

QTEST_MAIN(tst_WatchMode)
#include "tst_watchmode.moc"
