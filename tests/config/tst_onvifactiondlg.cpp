// The ONVIF action dialog driven as a user drives it, against simulated ONVIF cameras on
// the site side: the login typed once, Start pressed, the boxes answered; the rows of
// the list show each camera's outcome, its check, and for a read its model and firmware.
#include "boxanswerer.h"
#include "simsite.h"
#include "tcOnvifActionDlg.h"
#include "tcVideoDevice.h"

#include <QtTest>
#include <QtWidgets>

using zltest::tcBoxAnswerer;

namespace {

enum { kModelColumn, kFirmwareColumn, kStatusColumn, kColumns };

const char kSite[] = R"([
  {"kind": "onvif", "address": "10.99.2.11", "model": "IPC-X1", "firmware": "5.1.2 build",
   "clockOffset": 3600, "users": {"admin": "pw-A1b2c3"}},
  {"kind": "onvif", "address": "10.99.2.12", "model": "IPC-X2", "onvifAuth": "digest", "clockOffset": -900,
   "users": {"admin": "pw-A1b2c3"}},
  {"kind": "onvif", "address": "10.99.2.13", "users": {"admin": "another-Pw-9"}}
])";

class tcDriver
{
public:
    tcDriver(tcConfigKind kind, const QStringList& addresses)
    {
        tree.setColumnCount(kColumns);
        for (const QString& address : addresses) {
            auto device = tpVideoDevice::create(nullptr);
            device->type = Onvif;
            device->ipAddress = address;
            auto* item = new QTreeWidgetItem(&tree, {QString(), QString(), QString()});
            item->setData(0, Qt::UserRole, QVariant::fromValue(device));
            items.append(item);
        }
        dialog = std::make_unique<tcOnvifActionDlg>(nullptr, kind, items, kStatusColumn, kModelColumn,
                                                    kFirmwareColumn);
        dialog->show();
    }

    template <typename T> T* child(const char* name) const
    {
        return dialog->findChild<T*>(QLatin1String(name));
    }

    // Types the password, presses Start and answers every box; false when the run did
    // not end in time.
    bool start(const QString& password, QMessageBox::StandardButton answer = QMessageBox::Yes)
    {
        QTest::keyClicks(child<QLineEdit>("edtAdminPass"), password);
        QSignalSpy finished(dialog->job(), &tcBatchJob::sig_finished);
        tcBoxAnswerer boxes(answer);
        QTest::mouseClick(child<QPushButton>("btnStart"), Qt::LeftButton);
        seen = boxes.seen;
        if (!dialog->job()->isRunning())
            return true;
        const bool ended = finished.wait(30000);
        seen = boxes.seen;
        return ended;
    }

    QStringList column(int column) const
    {
        QStringList texts;
        for (const QTreeWidgetItem* item : items)
            texts << item->text(column);
        return texts;
    }
    QStringList checks() const
    {
        QStringList texts;
        for (const QTreeWidgetItem* item : items)
            texts << item->toolTip(kStatusColumn).section(QLatin1Char(':'), 0, 0);
        return texts;
    }

    QTreeWidget tree;
    QList<QTreeWidgetItem*> items;
    std::unique_ptr<tcOnvifActionDlg> dialog;
    QList<zltest::tcBoxSeen> seen;
};

} // namespace

class tst_OnvifActionDlg : public QObject
{
    Q_OBJECT

    zltest::tcSim sim;

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(sim.start(kSite, {"--log-requests"}));
    }

    // A read asks nothing and fills the model and firmware columns.
    void information()
    {
        tcDriver d(tcConfigKind::Information, {"10.99.2.11", "10.99.2.12", "10.99.2.13"});
        QVERIFY(d.start(QStringLiteral("pw-A1b2c3")));
        QCOMPARE(d.seen.size(), 0);
        QCOMPARE(d.column(kStatusColumn), (QStringList{"Success", "Success", "Login Failed"}));
        QCOMPARE(d.column(kModelColumn), (QStringList{"IPC-X1", "IPC-X2", ""}));
        QVERIFY(d.column(kFirmwareColumn).first().startsWith(QLatin1String("5.1.2")));
        QCOMPARE(d.items.first()->data(0, Qt::UserRole).value<tpVideoDevice>()->model,
                 QStringLiteral("IPC-X1"));
        QCOMPARE(d.child<QLabel>("lblResults")->text(), QStringLiteral("2 of 3 camera(s) succeeded."));
    }

    // Set and read back on two clocks far apart; the camera that refuses the login is
    // not checked.
    void time()
    {
        tcDriver d(tcConfigKind::Time, {"10.99.2.11", "10.99.2.12", "10.99.2.13"});
        QVERIFY(d.start(QStringLiteral("pw-A1b2c3")));
        QCOMPARE(d.seen.size(), 1);
        QCOMPARE(d.seen.first().title, QStringLiteral("Confirm Update"));
        QCOMPARE(d.column(kStatusColumn), (QStringList{"Success", "Success", "Login Failed"}));
        QCOMPARE(d.checks(), (QStringList{"Confirmed", "Confirmed", "Not checked"}));
        QCOMPARE(d.child<QLabel>("lblVerified")->text(), QStringLiteral("Changes confirmed: 2 of 2."));
    }

    // No at the question, or no password: nothing goes to the cameras.
    void nothingSent_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("box");
        QTest::newRow("answered No") << "pw-A1b2c3" << int(QMessageBox::No) << "Confirm Update";
        QTest::newRow("no password") << "" << int(QMessageBox::Ok) << "Entry Required";
    }
    void nothingSent()
    {
        QFETCH(QString, password);
        QFETCH(int, answer);
        QFETCH(QString, box);
        const int before = sim.events("request").size();
        tcDriver d(tcConfigKind::Reboot, {"10.99.2.11"});
        QVERIFY(d.start(password, QMessageBox::StandardButton(answer)));
        QCOMPARE(d.seen.size(), 1);
        QCOMPARE(d.seen.first().title, box);
        QTest::qWait(200);
        QCOMPARE(sim.events("request").size(), before);
        QCOMPARE(d.column(kStatusColumn), QStringList{QString()});
    }
};

QTEST_MAIN(tst_OnvifActionDlg)
#include "tst_onvifactiondlg.moc"
