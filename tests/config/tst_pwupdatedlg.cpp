// The password dialog driven as a user drives it: keys typed into the fields, Update
// pressed, the message boxes answered. Runs go to zephyrlock-sim on the site side,
// which logs every request it receives.
#include "boxanswerer.h"
#include "logcapture.h"
#include "simsite.h"
#include "tcPWUpdateDlg.h"
#include "tcPasswordRequests.h"
#include "tcVideoDevice.h"

#include <QtTest>
#include <QtWidgets>

using zltest::tcBoxAnswerer;

namespace {

const int kStatusColumn = 2;
const QString kMarked = QStringLiteral("---");

// What the user types.
struct tcEntry
{
    QString adminUser;
    QString adminPass;
    QString user;
    QString oldPass;
    QString newPass;
    QString confirm;
};

// The dialog over the rows the main window would hand over, one per device address.
class tcDriver
{
public:
    explicit tcDriver(const QStringList& sites)
    {
        tree.setColumnCount(kStatusColumn + 1);
        for (const QString& site : sites) {
            auto device = tpVideoDevice::create(nullptr);
            device->ipAddress = site;
            device->webPort = 80;
            device->pqCamera = true;
            auto* item = new QTreeWidgetItem(&tree, {site, QString(), kMarked});
            item->setData(0, Qt::UserRole, QVariant::fromValue(device));
            items.append(item);
        }
        dialog = std::make_unique<tcPWUpdateDlg>(nullptr, items, kStatusColumn);
    }

    template <typename T> T* child(const char* name) const
    {
        T* widget = dialog->findChild<T*>(QLatin1String(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    QPushButton* update() const { return child<QPushButton>("btnUpdate"); }
    QPushButton* close() const { return child<QPushButton>("btnClose"); }
    QString text(const char* field) const { return child<QLineEdit>(field)->text(); }

    // Shows the dialog as the active window, as exec() would, and types the entry.
    void fill(const tcEntry& entry)
    {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        const QList<QPair<const char*, QString>> fields{
            {"edtAdminUser", entry.adminUser}, {"edtAdminPass", entry.adminPass},
            {"edtUserName", entry.user},       {"edtOldPassword", entry.oldPass},
            {"edtNewPassword", entry.newPass}, {"edtConfirmPassword", entry.confirm}};
        for (const auto& [name, text] : fields) {
            auto* edit = child<QLineEdit>(name);
            edit->clear();
            QTest::keyClicks(edit, text);
        }
    }
    // Presses Update and answers every box with `answer`; the boxes seen.
    QList<zltest::tcBoxSeen> pressUpdate(QMessageBox::StandardButton answer)
    {
        tcBoxAnswerer boxes(answer);
        QTest::mouseClick(update(), Qt::LeftButton);
        return boxes.seen;
    }

    QStringList statuses() const
    {
        QStringList list;
        for (const QTreeWidgetItem* item : items)
            list << item->text(kStatusColumn);
        return list;
    }

    QTreeWidget tree;
    QList<QTreeWidgetItem*> items;
    std::unique_ptr<tcPWUpdateDlg> dialog;
};

// One simulated camera of the site file: the two users, then the row's own keys.
QByteArray camera(const char* address, const char* extra = "")
{
    QByteArray text = QByteArray(R"({"kind":"pq-camera","address":")") + address +
                      R"(","users":{"admin":"7093","operator":"old1"})";
    if (*extra)
        text += QByteArray(",") + extra;
    return text + '}';
}

const tcEntry kEntry{"admin", "7093", "operator", "old1", "new2", "new2"};

} // namespace

Q_DECLARE_METATYPE(tcEntry)

class tst_PWUpdateDlg : public QObject
{
    Q_OBJECT
private:
    zltest::tcSim m_sim;

    bool startSim(const QByteArrayList& cameras)
    {
        return m_sim.start('[' + cameras.join(",\n") + ']',
                           {QStringLiteral("--no-discovery"), QStringLiteral("--log-requests")});
    }

private slots:
    void cleanup() { m_sim.process().stop(); }

    // The checks in their order, each refusing with a message and the focus on the field
    // (or, with no focus named, the question that valid entries reach, answered No).
    void inputChecks_data()
    {
        QTest::addColumn<tcEntry>("entry");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString required = QStringLiteral("Entry Required");
        const QString invalid = QStringLiteral("Invalid Entry");

        QTest::newRow("new equals current once blanks are simplified")
            << tcEntry{"admin", "pw", "operator", "a  b", " a b", " a b"} << invalid
            << "The new password must not be the same as the old password."
            << "edtNewPassword";
        QTest::newRow("confirmation differs in case")
            << tcEntry{"admin", "pw", "operator", "old1", "new1", "NEW1"} << invalid
            << "Passwords do not match."
            << "edtConfirmPassword";
        QTest::newRow("several faults: the first in order is reported")
            << tcEntry{"admin", "", "", "", "", "x"} << required
            << "Please enter the password for the admin user."
            << "edtAdminPass";
        QTest::newRow("new password differing only in case reaches the question")
            << tcEntry{"admin", "pw", "operator", "old1", "OLD1", "OLD1"} << QStringLiteral("Confirm Update")
            << "Are you sure you want to change the password for the selected site?"
            << "";
    }
    void inputChecks()
    {
        QFETCH(tcEntry, entry);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        tcDriver driver({"10.99.9.1"});
        driver.fill(entry);

        const bool question = focus.isEmpty();
        const QList<zltest::tcBoxSeen> boxes =
            driver.pressUpdate(question ? QMessageBox::No : QMessageBox::Ok);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, title);
        QCOMPARE(boxes[0].text, message);
        if (question) {
            QCOMPARE(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(boxes[0].defaultButton, QMessageBox::No);
        } else {
            QVERIFY(driver.dialog->focusWidget());
            QCOMPARE(driver.dialog->focusWidget()->objectName(), focus);
        }
        // nothing else changes: no run, the fields keep what was typed
        QCOMPARE(driver.update()->text(), QStringLiteral("Update"));
        QVERIFY(driver.close()->isEnabled());
        QCOMPARE(driver.text("edtOldPassword"), entry.oldPass);
        QCOMPARE(driver.statuses(), QStringList{kMarked});
    }

    void showPasswords()
    {
        tcDriver driver({"10.99.9.1"});
        driver.dialog->show();
        const auto echoModes = [&] {
            QList<QLineEdit::EchoMode> modes;
            for (const char* name :
                 {"edtAdminPass", "edtOldPassword", "edtNewPassword", "edtConfirmPassword"})
                modes << driver.child<QLineEdit>(name)->echoMode();
            return modes;
        };
        const QLineEdit::EchoMode shown = QLineEdit::Normal, masked = QLineEdit::Password;
        QCOMPARE(echoModes(), (QList<QLineEdit::EchoMode>{masked, masked, masked, masked}));
        driver.child<QCheckBox>("chkShowPasswords")->click();
        // the confirmation stays masked
        QCOMPARE(echoModes(), (QList<QLineEdit::EchoMode>{shown, shown, shown, masked}));
    }

    // A whole run against simulated cameras. Each request the site received is listed
    // as "<device> <user|password> <scheme[/qop]|-> <user name|-> <HTTP status>".
    void run_data()
    {
        QTest::addColumn<QByteArrayList>("cameras");
        QTest::addColumn<tcEntry>("entry");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QStringList>("requests");

        QTest::newRow("no login asked: no challenge, no Authorization")
            << QByteArrayList{camera("10.99.5.1", R"("auth":"none")")} << kEntry << QStringList{"Success"}
            << QStringList{"10.99.5.1 user - - 200", "10.99.5.1 password - - 200"};
        QTest::newRow("Basic only, admin refused: the user's current password for the password request")
            << QByteArrayList{camera("10.99.5.3", R"("auth":"basic")")}
            << tcEntry{"admin", "wrong", "operator", "old1", "new2", "new2"} << QStringList{"Success"}
            << QStringList{"10.99.5.3 user - - 401", "10.99.5.3 user Basic admin 401",
                           "10.99.5.3 password - - 401", "10.99.5.3 password Basic operator 200"};
        // Each request gives up after the transfer time-out; the run then goes on.
        QTest::newRow("a camera that never answers")
            << QByteArrayList{camera("10.99.5.18", R"("fault":"no-answer")"), camera("10.99.5.19")} << kEntry
            << QStringList{"Network Error", "Success"}
            << QStringList{"10.99.5.18 user - - 0",       "10.99.5.18 password - - 0",
                           "10.99.5.19 user - - 401",     "10.99.5.19 user Digest/auth admin 200",
                           "10.99.5.19 password - - 401", "10.99.5.19 password Digest/auth operator 401"};
    }
    void run()
    {
        QFETCH(QByteArrayList, cameras);
        QFETCH(tcEntry, entry);
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, requests);
        ZL_REQUIRE_SANDBOX();
        QVERIFY(startSim(cameras));

        QStringList sites;
        for (const QByteArray& camera : cameras)
            sites << QJsonDocument::fromJson(camera)[QLatin1String("address")].toString();
        tcDriver driver(sites);
        driver.fill(entry);
        zltest::tcLogCapture log;
        QCOMPARE(driver.pressUpdate(QMessageBox::Yes).size(), 1);
        QCOMPARE(driver.update()->text(), QStringLiteral("Stop"));
        QVERIFY(!driver.close()->isEnabled());
        // a camera that never answers holds each of its two requests for the time-out
        QTRY_COMPARE_WITH_TIMEOUT(driver.update()->text(), QStringLiteral("Done"),
                                  3 * tcPWUpdateDlg::kTransferTimeoutMs);

        QCOMPARE(driver.statuses(), statuses);
        QCOMPARE(driver.child<QLabel>("lblResults")->text(),
                 QStringLiteral("%1 site(s) successfully updated.")
                     .arg(statuses.count(QStringLiteral("Success"))));
        QCOMPARE(driver.child<QProgressBar>("progressBar")->value(), sites.size());
        QCOMPARE(driver.child<QProgressBar>("progressBar")->maximum(), sites.size());
        // Done: Update off, Close on, both passwords emptied, the confirmation kept
        QVERIFY(!driver.update()->isEnabled());
        QVERIFY(driver.close()->isEnabled());
        QCOMPARE(driver.text("edtOldPassword") + driver.text("edtNewPassword"), QString());
        QCOMPARE(driver.text("edtConfirmPassword"), entry.confirm);
        QCOMPARE(driver.text("edtAdminPass"), entry.adminPass);

        // The requests the cameras received, in order, with the bodies built for this run.
        const QString newB64 = tcPasswordRequests::passwordBase64(entry.newPass);
        const QByteArray userBody = tcPasswordRequests::modifyIntegrateUserBody(entry.user, newB64);
        const QByteArray passwordBody =
            tcPasswordRequests::modifyPasswordBody(tcPasswordRequests::passwordBase64(entry.oldPass), newB64);
        QStringList received;
        for (const QJsonObject& r : m_sim.events("request")) {
            const bool user = r["path"] == "/ModifyIntegrateUser";
            const QJsonValue auth = r["authorization"];
            const QString qop = auth["qop"].toString();
            received << QStringList{r["device"].toString(), user ? "user" : "password",
                                    auth["scheme"].toString("-") + (qop.isEmpty() ? "" : '/' + qop),
                                    auth["username"].toString("-"), QString::number(r["status"].toInt())}
                            .join(' ');
            QCOMPARE(r["method"].toString(), QStringLiteral("POST"));
            QCOMPARE(r["contentType"].toString(), QStringLiteral("text/xml"));
            QCOMPARE(r["body"].toString().toUtf8(), user ? userBody : passwordBody);
        }
        QCOMPARE(received, requests);

        for (const QString& line : log.lines())
            for (const QString& secret : {entry.adminPass, entry.oldPass, entry.newPass})
                QVERIFY2(!line.contains(secret), qPrintable(QStringLiteral("logged a password: ") + line));
    }

    // After the run the dialog tries the new password: the status stays the exchange's,
    // the mark's tooltip says whether the login worked, and the summary counts the changes.
    void verification_data()
    {
        QTest::addColumn<tcEntry>("entry");
        QTest::addColumn<QByteArray>("extra"); // the camera's own keys
        QTest::addColumn<QString>("row");      // "<status> | <tooltip>"
        QTest::addColumn<QString>("summary");

        QTest::newRow("the administrator's new password logs in")
            << tcEntry{"admin", "7093", "admin", "7093", "n3w", "n3w"} << QByteArray()
            << "Success | Confirmed: the new password logs in"
            << "Changes confirmed: 1 of 1.";
        QTest::newRow("another user's password is not tried")
            << kEntry << QByteArray()
            << "Success | Not checked: only the administrator's own new password can be tried"
            << "Changes confirmed: 0 of 1 (1 not checked).";
        QTest::newRow("a camera that refused the change is not checked")
            << kEntry << QByteArray(R"("fault":"wrong-credentials")")
            << "Login Failed | Not checked: the change did not succeed"
            << "";
    }
    void verification()
    {
        QFETCH(tcEntry, entry);
        QFETCH(QByteArray, extra);
        QFETCH(QString, row);
        QFETCH(QString, summary);
        ZL_REQUIRE_SANDBOX();
        QVERIFY(startSim({camera("10.99.5.7", extra.constData())}));
        tcDriver driver({"10.99.5.7"});
        driver.fill(entry);
        QCOMPARE(driver.pressUpdate(QMessageBox::Yes).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(driver.update()->text(), QStringLiteral("Done"), 10000);
        QCOMPARE(driver.statuses().value(0) + " | " + driver.items[0]->toolTip(kStatusColumn), row);
        QCOMPARE(driver.child<QLabel>("lblVerified")->text(), summary);
    }

    // Stop while the first request of the first of two sites is in flight: that site
    // still gets its second request and its outcome, the next one is never started, and
    // Update stays off until the site in progress has finished.
    void stopDuringFirstRequest()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(startSim({camera("10.99.6.1"), camera("10.99.6.2")}));
        tcDriver driver({"10.99.6.1", "10.99.6.2"});
        driver.fill(kEntry);
        driver.pressUpdate(QMessageBox::Yes);
        // no event has been processed since the first request went out
        QCOMPARE(driver.update()->text(), QStringLiteral("Stop"));
        QTest::mouseClick(driver.update(), Qt::LeftButton);
        QCOMPARE(driver.update()->text(), QStringLiteral("Update"));
        QVERIFY(!driver.update()->isEnabled());
        QVERIFY(!driver.close()->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(driver.update()->text(), QStringLiteral("Done"), 10000);
        QCOMPARE(driver.statuses(), (QStringList{"Success", kMarked}));
        QCOMPARE(driver.child<QLabel>("lblResults")->text(), QString());
        QVERIFY(!driver.update()->isEnabled());
        QVERIFY(driver.close()->isEnabled());
        QStringList paths;
        for (const QJsonObject& r : m_sim.events("request"))
            paths << r["device"].toString() + ' ' + r["path"].toString();
        QCOMPARE(paths, (QStringList{"10.99.6.1 /ModifyIntegrateUser", "10.99.6.1 /ModifyIntegrateUser",
                                     "10.99.6.1 /ModifyPassword", "10.99.6.1 /ModifyPassword"}));
    }
};

QTEST_MAIN(tst_PWUpdateDlg)
#include "tst_pwupdatedlg.moc"
