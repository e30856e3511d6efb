// The password dialog driven as a user drives it: keys typed into the fields, Update
// pressed, the message boxes answered. Runs go to zephyrlock-sim on the site side,
// which logs every request it receives.
#include "boxanswerer.h"
#include "logcapture.h"
#include "tcPWUpdateDlg.h"
#include "tcPasswordRequests.h"
#include "tcVideoDevice.h"
#include "zltest.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

using zltest::tcBoxAnswerer;

namespace {

const int kStatusColumn = 2;
const QString kMarked = QStringLiteral("---");

// What the user types; the confirmation repeats the new password unless given.
struct tcEntry
{
    QString adminUser;
    QString adminPass;
    QString user;
    QString oldPass;
    QString newPass;
    QString confirm;
};

// The rows the main window would hand over, one per device address ("addr" or "addr:port").
class tcRows
{
public:
    explicit tcRows(const QStringList& sites)
    {
        m_tree.setColumnCount(kStatusColumn + 1);
        for (const QString& site : sites) {
            const QStringList parts = site.split(QLatin1Char(':'));
            auto device = tpVideoDevice::create(nullptr);
            device->ipAddress = parts.value(0);
            device->webPort = quint16(parts.value(1, QStringLiteral("80")).toUInt());
            device->pqCamera = true;
            auto* item = new QTreeWidgetItem(&m_tree, {parts.value(0), QString(), kMarked});
            item->setData(0, Qt::UserRole, QVariant::fromValue(device));
            items.append(item);
        }
    }
    QStringList statuses() const
    {
        QStringList list;
        for (const QTreeWidgetItem* item : items)
            list << item->text(kStatusColumn);
        return list;
    }
    QList<QTreeWidgetItem*> items;

private:
    QTreeWidget m_tree;
};

template <typename T> T* child(const QWidget& parent, const char* name)
{
    T* widget = parent.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// Replaces a field's text the way a user does: select all, delete, type.
void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void fill(const tcPWUpdateDlg& dialog, const tcEntry& entry)
{
    typeInto(child<QLineEdit>(dialog, "edtAdminUser"), entry.adminUser);
    typeInto(child<QLineEdit>(dialog, "edtAdminPass"), entry.adminPass);
    typeInto(child<QLineEdit>(dialog, "edtUserName"), entry.user);
    typeInto(child<QLineEdit>(dialog, "edtOldPassword"), entry.oldPass);
    typeInto(child<QLineEdit>(dialog, "edtNewPassword"), entry.newPass);
    typeInto(child<QLineEdit>(dialog, "edtConfirmPassword"), entry.confirm);
}

bool showAndActivate(QWidget& widget)
{
    widget.show();
    QApplication::setActiveWindow(&widget);
    return QTest::qWaitForWindowActive(&widget);
}

// One simulated camera of the site file: the two users, then the row's own keys.
QByteArray camera(const char* address, const char* extra = "")
{
    QByteArray text = QByteArray(R"({"kind":"pq-camera","address":")") + address +
                      R"(","users":{"admin":"7093","operator":"old1"})";
    if (*extra)
        text += QByteArray(",") + extra;
    return text + '}';
}

} // namespace

Q_DECLARE_METATYPE(tcEntry)

class tst_PWUpdateDlg : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    zltest::tcSiteProcess m_sim;

    bool startSim(const QByteArrayList& cameras)
    {
        QFile site(m_dir.filePath(QStringLiteral("site.json")));
        if (!site.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        site.write("{\"devices\": [" + cameras.join(",\n") + "]}");
        site.close();
        return m_sim.start(zltest::binPath(QStringLiteral("zephyrlock-sim")),
                           {"--site", site.fileName(), "--no-discovery", "--log-requests"},
                           QStringLiteral("\"event\":\"ready\""));
    }

    QList<QJsonObject> simEvents(const QString& event)
    {
        QList<QJsonObject> list;
        for (const QByteArray& line : m_sim.output().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value(QStringLiteral("event")).toString() == event)
                list << o;
        }
        return list;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void cleanup() { m_sim.stop(); }

    void inputChecks_data()
    {
        QTest::addColumn<tcEntry>("entry");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString required = QStringLiteral("Entry Required");
        const QString invalid = QStringLiteral("Invalid Entry");

        QTest::newRow("admin user only blanks")
            << tcEntry{"   ", "pw", "operator", "old1", "new1", "new1"} << required
            << "Please enter a user name with administrator access." << "edtAdminUser";
        QTest::newRow("user to change empty")
            << tcEntry{"admin", "pw", " ", "old1", "new1", "new1"} << required << "Please enter a user name."
            << "edtUserName";
        QTest::newRow("new password empty") << tcEntry{"admin", "pw", "operator", "old1", "", ""} << required
                                            << "Please enter a new password." << "edtNewPassword";
        QTest::newRow("new equals current once blanks are simplified")
            << tcEntry{"admin", "pw", "operator", "a  b", " a b", " a b"} << invalid
            << "The new password must not be the same as the old password." << "edtNewPassword";
        QTest::newRow("confirmation differs in case")
            << tcEntry{"admin", "pw", "operator", "old1", "new1", "NEW1"} << invalid
            << "Passwords do not match." << "edtConfirmPassword";
        QTest::newRow("several faults: the first in order is reported")
            << tcEntry{"admin", "", "", "", "", "x"} << required
            << "Please enter the password for the admin user." << "edtAdminPass";
    }
    void inputChecks()
    {
        QFETCH(tcEntry, entry);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        tcRows rows({"10.99.9.1"});
        tcPWUpdateDlg dialog(nullptr, rows.items, kStatusColumn);
        QVERIFY(showAndActivate(dialog));
        fill(dialog, entry);

        tcBoxAnswerer boxes(QMessageBox::Ok);
        QTest::mouseClick(child<QPushButton>(dialog, "btnUpdate"), Qt::LeftButton);
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, title);
        QCOMPARE(boxes.seen[0].text, message);
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Information);
        QCOMPARE(boxes.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(dialog.focusWidget());
        QCOMPARE(dialog.focusWidget()->objectName(), focus);
        // nothing else changes: no run, the fields keep what was typed
        QCOMPARE(child<QPushButton>(dialog, "btnUpdate")->text(), QStringLiteral("Update"));
        QVERIFY(child<QPushButton>(dialog, "btnClose")->isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "edtOldPassword")->text(), entry.oldPass);
        QCOMPARE(rows.statuses(), QStringList{kMarked});
    }

    // Valid entries reach the question; answering No leaves the dialog as it was.
    void confirmation_data()
    {
        QTest::addColumn<QStringList>("sites");
        QTest::addColumn<tcEntry>("entry");
        QTest::addColumn<QString>("question");
        const QString one =
            QStringLiteral("Are you sure you want to change the password for the selected site?");
        const QString all =
            QStringLiteral("Are you sure you want to change the password for all the selected sites?");
        QTest::newRow("one site") << QStringList{"10.99.9.1"}
                                  << tcEntry{"admin", "pw", "operator", "old1", "new1", "new1"} << one;
        QTest::newRow("two sites") << QStringList{"10.99.9.1", "10.99.9.2"}
                                   << tcEntry{"admin", "pw", "operator", "old1", "new1", "new1"} << all;
        QTest::newRow("confirmation equal once blanks are simplified")
            << QStringList{"10.99.9.1"} << tcEntry{"admin", "pw", "operator", "old1", "new 1", " new  1 "}
            << one;
    }
    void confirmation()
    {
        QFETCH(QStringList, sites);
        QFETCH(tcEntry, entry);
        QFETCH(QString, question);
        tcRows rows(sites);
        tcPWUpdateDlg dialog(nullptr, rows.items, kStatusColumn);
        QVERIFY(showAndActivate(dialog));
        fill(dialog, entry);

        tcBoxAnswerer boxes(QMessageBox::No);
        QTest::mouseClick(child<QPushButton>(dialog, "btnUpdate"), Qt::LeftButton);
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("Confirm Update"));
        QCOMPARE(boxes.seen[0].text, question);
        QCOMPARE(boxes.seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(boxes.seen[0].defaultButton, QMessageBox::No);
        QCOMPARE(child<QPushButton>(dialog, "btnUpdate")->text(), QStringLiteral("Update"));
        QVERIFY(child<QPushButton>(dialog, "btnUpdate")->isEnabled());
        QVERIFY(child<QPushButton>(dialog, "btnClose")->isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "edtNewPassword")->text(), entry.newPass);
        for (const QString& status : rows.statuses())
            QCOMPARE(status, kMarked);
    }

    void showPasswords()
    {
        tcRows rows({"10.99.9.1"});
        tcPWUpdateDlg dialog(nullptr, rows.items, kStatusColumn);
        QVERIFY(showAndActivate(dialog));
        const auto echoModes = [&] {
            QList<QLineEdit::EchoMode> modes;
            for (const char* name : {"edtAdminUser", "edtAdminPass", "edtUserName", "edtOldPassword",
                                     "edtNewPassword", "edtConfirmPassword"})
                modes << child<QLineEdit>(dialog, name)->echoMode();
            return modes;
        };
        const QLineEdit::EchoMode shown = QLineEdit::Normal, masked = QLineEdit::Password;
        QCOMPARE(echoModes(), (QList<QLineEdit::EchoMode>{shown, masked, shown, masked, masked, masked}));
        auto* check = child<QCheckBox>(dialog, "chkShowPasswords");
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
        QVERIFY(check->isChecked());
        // the confirmation stays masked
        QCOMPARE(echoModes(), (QList<QLineEdit::EchoMode>{shown, shown, shown, shown, shown, masked}));
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
        QCOMPARE(echoModes(), (QList<QLineEdit::EchoMode>{shown, masked, shown, masked, masked, masked}));
    }

    // A whole run against simulated cameras. Each request the site received is listed
    // as "<device> <user|password> <scheme[/qop]|-> <user name|-> <HTTP status>";
    // `updated` are the cameras whose user "operator" now has the new password.
    void run_data()
    {
        QTest::addColumn<QByteArrayList>("cameras");
        QTest::addColumn<tcEntry>("entry");
        QTest::addColumn<QStringList>("sites");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QStringList>("updated");

        const tcEntry entry{"admin", "7093", "operator", "old1", "new2", "new2"};
        const QString one = QStringLiteral("1 site(s) successfully updated.");
        const QString none = QStringLiteral("0 site(s) successfully updated.");

        QTest::newRow("no login asked: no challenge, no Authorization")
            << QByteArrayList{camera("10.99.5.1", R"("auth":"none")")} << entry << QStringList{"10.99.5.1"}
            << QStringList{"Success"} << one
            << QStringList{"10.99.5.1 user - - 200", "10.99.5.1 password - - 200"}
            << QStringList{"10.99.5.1"};
        QTest::newRow("Basic only: admin login for the user request")
            << QByteArrayList{camera("10.99.5.2", R"("auth":"basic")")} << entry << QStringList{"10.99.5.2"}
            << QStringList{"Success"} << one
            << QStringList{"10.99.5.2 user - - 401", "10.99.5.2 user Basic admin 200",
                           // the user's password is the new one now, so the old one is refused
                           "10.99.5.2 password - - 401", "10.99.5.2 password Basic operator 401"}
            << QStringList{"10.99.5.2"};
        QTest::newRow("Basic only, admin refused: the user's current password for the password request")
            << QByteArrayList{camera("10.99.5.3", R"("auth":"basic")")}
            << tcEntry{"admin", "wrong", "operator", "old1", "new2", "new2"} << QStringList{"10.99.5.3"}
            << QStringList{"Success"} << one
            << QStringList{"10.99.5.3 user - - 401", "10.99.5.3 user Basic admin 401",
                           "10.99.5.3 password - - 401", "10.99.5.3 password Basic operator 200"}
            << QStringList{"10.99.5.3"};
        QTest::newRow("second 401 on both requests: Login Failed") << QByteArrayList{camera("10.99.5.4")}
            << tcEntry{"admin", "wrong", "operator", "bad", "new2", "new2"} << QStringList{"10.99.5.4"}
            << QStringList{"Login Failed"} << none
            << QStringList{"10.99.5.4 user - - 401", "10.99.5.4 user Digest/auth admin 401",
                           "10.99.5.4 password - - 401", "10.99.5.4 password Digest/auth operator 401"}
            << QStringList();
        QTest::newRow("Digest with qop auth")
            << QByteArrayList{camera("10.99.5.5")} << entry << QStringList{"10.99.5.5"}
            << QStringList{"Success"} << one
            << QStringList{"10.99.5.5 user - - 401", "10.99.5.5 user Digest/auth admin 200",
                           "10.99.5.5 password - - 401", "10.99.5.5 password Digest/auth operator 401"}
            << QStringList{"10.99.5.5"};
        QTest::newRow("success marker in capitals counts; the password request is still sent")
            << QByteArrayList{camera("10.99.5.9", R"("successStatus":"SUCCESS")")} << entry
            << QStringList{"10.99.5.9"} << QStringList{"Success"} << one
            << QStringList{"10.99.5.9 user - - 401", "10.99.5.9 user Digest/auth admin 200",
                           "10.99.5.9 password - - 401", "10.99.5.9 password Digest/auth operator 401"}
            << QStringList{"10.99.5.9"};
        QTest::newRow("user request Failed, password request Success") << QByteArrayList{camera(
                   "10.99.5.10",
                   R"("fault":"failed","errorCode":"0x1d","faultPaths":["/ModifyIntegrateUser"])")}
            << entry << QStringList{"10.99.5.10"} << QStringList{"Success"} << one
            << QStringList{"10.99.5.10 user - - 401", "10.99.5.10 user Digest/auth admin 200",
                           "10.99.5.10 password - - 401", "10.99.5.10 password Digest/auth operator 200"}
            << QStringList{"10.99.5.10"};
        QTest::newRow("second 401 on the user request: the password request still goes out")
            << QByteArrayList{camera("10.99.5.12",
                                     R"("fault":"wrong-credentials","faultPaths":["/ModifyIntegrateUser"])")}
            << entry << QStringList{"10.99.5.12"} << QStringList{"Success"} << one
            << QStringList{"10.99.5.12 user - - 401", "10.99.5.12 user Digest/auth admin 401",
                           "10.99.5.12 password - - 401", "10.99.5.12 password Digest/auth operator 200"}
            << QStringList{"10.99.5.12"};
        QTest::newRow("new password equal to the current one but for case")
            << QByteArrayList{camera("10.99.5.13")}
            << tcEntry{"admin", "7093", "operator", "old1", "OLD1", "OLD1"} << QStringList{"10.99.5.13"}
            << QStringList{"Success"} << one
            << QStringList{"10.99.5.13 user - - 401", "10.99.5.13 user Digest/auth admin 200",
                           "10.99.5.13 password - - 401", "10.99.5.13 password Digest/auth operator 401"}
            << QStringList{"10.99.5.13"};
        QTest::newRow("three sites in order, each with its own outcome")
            << QByteArrayList{camera("10.99.5.15", R"("fault":"closed-port")"), camera("10.99.5.16"),
                              camera("10.99.5.17", R"("fault":"failed","errorCode":"0x1d")")}
            << entry << QStringList{"10.99.5.15", "10.99.5.16", "10.99.5.17"}
            << QStringList{"Network Error", "Success", "Failed"} << one
            << QStringList{"10.99.5.16 user - - 401",     "10.99.5.16 user Digest/auth admin 200",
                           "10.99.5.16 password - - 401", "10.99.5.16 password Digest/auth operator 401",
                           "10.99.5.17 user - - 401",     "10.99.5.17 user Digest/auth admin 200",
                           "10.99.5.17 password - - 401", "10.99.5.17 password Digest/auth operator 200"}
            << QStringList{"10.99.5.16"};
        // Each request gives up after the transfer time-out; the run then goes on.
        QTest::newRow("a camera that never answers")
            << QByteArrayList{camera("10.99.5.18", R"("fault":"no-answer")"), camera("10.99.5.19")} << entry
            << QStringList{"10.99.5.18", "10.99.5.19"} << QStringList{"Network Error", "Success"} << one
            << QStringList{"10.99.5.18 user - - 0",       "10.99.5.18 password - - 0",
                           "10.99.5.19 user - - 401",     "10.99.5.19 user Digest/auth admin 200",
                           "10.99.5.19 password - - 401", "10.99.5.19 password Digest/auth operator 401"}
            << QStringList{"10.99.5.19"};
    }
    void run()
    {
        QFETCH(QByteArrayList, cameras);
        QFETCH(tcEntry, entry);
        QFETCH(QStringList, sites);
        QFETCH(QStringList, statuses);
        QFETCH(QString, label);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, updated);
        ZL_REQUIRE_SANDBOX();
        QVERIFY(startSim(cameras));

        tcRows rows(sites);
        tcPWUpdateDlg dialog(nullptr, rows.items, kStatusColumn);
        QVERIFY(showAndActivate(dialog));
        fill(dialog, entry);
        auto* update = child<QPushButton>(dialog, "btnUpdate");
        zltest::tcLogCapture log;
        {
            tcBoxAnswerer boxes(QMessageBox::Yes);
            QTest::mouseClick(update, Qt::LeftButton);
            QCOMPARE(boxes.seen.size(), 1);
        }
        QCOMPARE(update->text(), QStringLiteral("Stop"));
        QVERIFY(!child<QPushButton>(dialog, "btnClose")->isEnabled());
        // a camera that never answers holds each of its two requests for the time-out
        QTRY_COMPARE_WITH_TIMEOUT(update->text(), QStringLiteral("Done"),
                                  3 * tcPWUpdateDlg::kTransferTimeoutMs);

        QCOMPARE(rows.statuses(), statuses);
        QCOMPARE(child<QLabel>(dialog, "lblResults")->text(), label);
        QCOMPARE(child<QProgressBar>(dialog, "progressBar")->value(), sites.size());
        QCOMPARE(child<QProgressBar>(dialog, "progressBar")->maximum(), sites.size());
        // Done: Update off, Close on, both passwords emptied, the confirmation kept
        QVERIFY(!update->isEnabled());
        QVERIFY(child<QPushButton>(dialog, "btnClose")->isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "edtOldPassword")->text(), QString());
        QCOMPARE(child<QLineEdit>(dialog, "edtNewPassword")->text(), QString());
        QCOMPARE(child<QLineEdit>(dialog, "edtConfirmPassword")->text(), entry.confirm);
        QCOMPARE(child<QLineEdit>(dialog, "edtAdminPass")->text(), entry.adminPass);

        // The requests the cameras received, in order, with the bodies built for this run.
        const QString newB64 = tcPasswordRequests::passwordBase64(entry.newPass);
        const QByteArray userBody = tcPasswordRequests::modifyIntegrateUserBody(entry.user, newB64);
        const QByteArray passwordBody =
            tcPasswordRequests::modifyPasswordBody(tcPasswordRequests::passwordBase64(entry.oldPass), newB64);
        QStringList received;
        for (const QJsonObject& r : simEvents(QStringLiteral("request"))) {
            const QString path = r.value(QStringLiteral("path")).toString();
            const QJsonObject auth = r.value(QStringLiteral("authorization")).toObject();
            QString scheme = auth.value(QStringLiteral("scheme")).toString(QStringLiteral("-"));
            if (!auth.value(QStringLiteral("qop")).toString().isEmpty())
                scheme += QLatin1Char('/') + auth.value(QStringLiteral("qop")).toString();
            received << QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(r.value(QStringLiteral("device")).toString(),
                                 path == QLatin1String("/ModifyIntegrateUser") ? QStringLiteral("user")
                                 : path == QLatin1String("/ModifyPassword")    ? QStringLiteral("password")
                                                                               : path,
                                 scheme, auth.value(QStringLiteral("username")).toString(QStringLiteral("-")),
                                 QString::number(r.value(QStringLiteral("status")).toInt()));
            QCOMPARE(r.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
            QCOMPARE(r.value(QStringLiteral("contentType")).toString(), QStringLiteral("text/xml"));
            QCOMPARE(r.value(QStringLiteral("body")).toString().toUtf8(),
                     path == QLatin1String("/ModifyIntegrateUser") ? userBody : passwordBody);
        }
        QCOMPARE(received, requests);

        const QString newSha = QString::fromLatin1(
            QCryptographicHash::hash(entry.newPass.toUtf8(), QCryptographicHash::Sha256).toHex());
        QStringList changed;
        for (const QJsonObject& state : simEvents(QStringLiteral("state"))) {
            const QString device = state.value(QStringLiteral("device")).toString();
            const bool isNew =
                state.value(QStringLiteral("passwordSha256")).toObject().value(QStringLiteral("operator")) ==
                newSha;
            if (isNew && !changed.contains(device))
                changed << device;
        }
        QCOMPARE(changed, updated);

        for (const QString& line : log.lines())
            for (const QString& secret : {entry.adminPass, entry.oldPass, entry.newPass})
                QVERIFY2(!line.contains(secret), qPrintable(QStringLiteral("logged a password: ") + line));
    }

    // Stop while the first request of the first of two sites is in flight: that site
    // still gets its second request and its outcome, the next one is never started, and
    // Update stays off until the site in progress has finished.
    void stopDuringFirstRequest()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(startSim({camera("10.99.6.1"), camera("10.99.6.2")}));
        tcRows rows({"10.99.6.1", "10.99.6.2"});
        tcPWUpdateDlg dialog(nullptr, rows.items, kStatusColumn);
        QVERIFY(showAndActivate(dialog));
        fill(dialog, {"admin", "7093", "operator", "old1", "new2", "new2"});
        auto* update = child<QPushButton>(dialog, "btnUpdate");
        auto* close = child<QPushButton>(dialog, "btnClose");
        {
            tcBoxAnswerer boxes(QMessageBox::Yes);
            QTest::mouseClick(update, Qt::LeftButton);
        }
        // no event has been processed since the first request went out
        QCOMPARE(update->text(), QStringLiteral("Stop"));
        QTest::mouseClick(update, Qt::LeftButton);
        QCOMPARE(update->text(), QStringLiteral("Update"));
        QVERIFY(!update->isEnabled());
        QVERIFY(!close->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(update->text(), QStringLiteral("Done"), 10000);
        QCOMPARE(rows.statuses(), (QStringList{"Success", kMarked}));
        QCOMPARE(child<QLabel>(dialog, "lblResults")->text(), QString());
        QCOMPARE(child<QProgressBar>(dialog, "progressBar")->value(), 1);
        QVERIFY(!update->isEnabled());
        QVERIFY(close->isEnabled());
        QStringList paths;
        for (const QJsonObject& r : simEvents(QStringLiteral("request")))
            paths << r.value(QStringLiteral("device")).toString() + QLatin1Char(' ') +
                         r.value(QStringLiteral("path")).toString();
        QCOMPARE(paths, (QStringList{"10.99.6.1 /ModifyIntegrateUser", "10.99.6.1 /ModifyIntegrateUser",
                                     "10.99.6.1 /ModifyPassword", "10.99.6.1 /ModifyPassword"}));
    }
};

QTEST_MAIN(tst_PWUpdateDlg)
#include "tst_pwupdatedlg.moc"
