// Configuration runs as a user makes them: rows selected in the scanner's window, an
// update button pressed, the dialog filled and confirmed. The simulated cameras' own
// state afterwards must be what the run meant to write, every row must show its
// outcome, and a camera in a fault mode must neither stop the run nor be counted.
#include "e2esite.h"

#include "tcIpInput.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include <functional>

#include <csignal>

namespace {

// Cameras the PQ-series discovery reports as such (so the window offers them for
// update), with the logins met in the field and the faults a site can show; a camera
// of a third-party maker that answers WS-Discovery only, and a recorder.
const char kSite[] = R"({"devices": [
  {"kind": "norvo2", "address": "10.99.6.1"},
  {"kind": "pq-camera", "address": "10.99.6.2", "auth": "basic"},
  {"kind": "norvo2", "address": "10.99.6.3", "algorithm": "MD5-sess"},
  {"kind": "pq-camera", "address": "10.99.6.4", "auth": "basic+digest"},
  {"kind": "norvo2", "address": "10.99.6.5", "authversion": true},
  {"kind": "pq-camera", "address": "10.99.6.6", "fault": "wrong-credentials"},
  {"kind": "norvo2", "address": "10.99.6.7", "fault": "closed-port"},
  {"kind": "pq-camera", "address": "10.99.6.8", "fault": "malformed-xml"},
  {"kind": "norvo2", "address": "10.99.6.9", "fault": "failed", "errorCode": "invalidParam"},
  {"kind": "pq-camera", "address": "10.99.6.10", "userhash": true},
  {"kind": "pq-recorder", "address": "10.99.6.11"},
  {"kind": "onvif", "address": "10.99.6.12"}
]})";

const QString kAdminPassword = QStringLiteral("Adm1n-6");
const QString kUser = QStringLiteral("operator");
const QString kUserPassword = QStringLiteral("op-1");

// The outcome text a site shows after a run, by the site's fault.
QString networkOutcome(const QJsonObject& device)
{
    const QString fault = e2e::text(device, "fault");
    if (fault == QLatin1String("wrong-credentials"))
        return QStringLiteral("Login Failed");
    if (fault == QLatin1String("closed-port"))
        return QStringLiteral("Network Error");
    if (fault == QLatin1String("malformed-xml"))
        return QStringLiteral("Invalid Response");
    if (fault == QLatin1String("failed"))
        return QStringLiteral("invalidParam"); // the device's errorCode
    return QStringLiteral("Success");
}

QString passwordOutcome(const QJsonObject& device)
{
    const QString fault = e2e::text(device, "fault");
    if (fault == QLatin1String("wrong-credentials"))
        return QStringLiteral("Login Failed");
    if (fault == QLatin1String("closed-port"))
        return QStringLiteral("Network Error");
    if (fault == QLatin1String("malformed-xml") || fault == QLatin1String("failed"))
        return QStringLiteral("Failed");
    return QStringLiteral("Success");
}

QString sha256(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString plus(const QString& address, int n)
{
    return QHostAddress(QHostAddress(address).toIPv4Address() + quint32(n)).toString();
}

// Presses the given button of every message box that comes up, noting its text.
class tcBoxAnswerer : public QObject
{
public:
    explicit tcBoxAnswerer(QMessageBox::StandardButton answer)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->windowTitle() + QStringLiteral(": ") + box->text();
                if (QAbstractButton* button = box->button(answer))
                    button->click();
                else
                    box->reject();
            }
        });
        m_timer.start(10);
    }
    QStringList texts;

private:
    QTimer m_timer;
};

void type(QLineEdit* edit, const QString& text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

// An address field is four boxes, one number each.
void type(tcIpInput* field, const QString& address)
{
    const QList<QLineEdit*> boxes = field->findChildren<QLineEdit*>();
    const QStringList numbers = address.split(QLatin1Char('.'));
    for (int i = 0; i < boxes.size() && i < numbers.size(); ++i)
        type(boxes[i], numbers[i]);
}

// What a run left in its dialog.
struct tcRun
{
    bool opened = false;
    bool finished = false;
    QStringList questions; // the message boxes answered on the way
    QString results;       // lblResults at the end
};

// Presses `opener` in the window; once the modal dialog is up, `fill` enters the input,
// Update is pressed and confirmed, and the dialog is closed when the run is done.
tcRun runDialog(QAbstractButton* opener, const std::function<void(QDialog*)>& fill)
{
    tcRun run;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || qobject_cast<QMessageBox*>(dialog))
            return;
        poll.stop();
        run.opened = true;
        fill(dialog);
        auto* update = dialog->findChild<QPushButton*>(QStringLiteral("btnUpdate"));
        auto* close = dialog->findChild<QPushButton*>(QStringLiteral("btnClose"));
        {
            tcBoxAnswerer yes(QMessageBox::Yes);
            e2e::click(update);
            run.finished = QTest::qWaitFor(
                [&] { return update->text() == QLatin1String("Done") && close->isEnabled(); }, 60000);
            run.questions = yes.texts;
        }
        run.results = dialog->findChild<QLabel*>(QStringLiteral("lblResults"))->text();
        if (close->isEnabled())
            e2e::click(close);
        else
            dialog->reject();
    });
    poll.start(10);
    e2e::click(opener);
    poll.stop();
    return run;
}

} // namespace

class tst_SiteUpdate : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    zltest::tcSiteProcess m_sim;
    QMap<QString, QJsonObject> m_before; // the site as described, by address
    QScopedPointer<MainWindow> m_window;

    // The site's state now: every device prints its state on SIGUSR1.
    QMap<QString, QJsonObject> siteNow()
    {
        const int lines = m_sim.output().count("\"event\":\"state\"");
        ::kill(pid_t(m_sim.process().processId()), SIGUSR1);
        if (!QTest::qWaitFor(
                [&] { return m_sim.output().count("\"event\":\"state\"") >= lines + m_before.size(); }))
            return {};
        return e2e::siteState(m_sim.output());
    }

    // Selects the rows of these devices as a user does: a click on the first, Ctrl+click
    // on each further one.
    void selectRows(const QStringList& addresses)
    {
        QTreeWidget* tree = m_window->deviceTree();
        const QMap<QString, QTreeWidgetItem*> rows = e2e::rowsByAddress(*m_window);
        for (int i = 0; i < addresses.size(); ++i) {
            QTreeWidgetItem* row = rows.value(addresses[i]);
            QVERIFY2(row, qPrintable(addresses[i]));
            tree->scrollToItem(row);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                              tree->visualItemRect(row).center());
        }
        QStringList selected;
        for (QTreeWidgetItem* row : tree->selectedItems())
            selected << row->data(0, tcSiteLocateItem::AddressRole).toString();
        selected.sort();
        QStringList wanted = addresses;
        wanted.sort();
        QCOMPARE(selected, wanted);
    }

    QStringList cameraAddresses(const std::function<bool(const QJsonObject&)>& which) const
    {
        QStringList addresses;
        for (const QJsonObject& device : m_before)
            if (e2e::speaksProtocol(device, "pq") &&
                e2e::expectedButton(device) == QLatin1String("radShowCameras") && which(device))
                addresses << e2e::text(device, "device");
        return addresses;
    }

    // The addresses in the order the list shows them (the order a run works through).
    QStringList inListOrder(const QStringList& addresses) const
    {
        QStringList ordered;
        QTreeWidget* tree = m_window->deviceTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            const QString address = tree->topLevelItem(i)->data(0, tcSiteLocateItem::AddressRole).toString();
            if (addresses.contains(address))
                ordered << address;
        }
        return ordered;
    }

    QStringList statuses(const QStringList& addresses) const
    {
        QStringList texts;
        const QMap<QString, QTreeWidgetItem*> rows = e2e::rowsByAddress(*m_window);
        for (const QString& address : addresses)
            texts << address + QStringLiteral(": ") + rows.value(address)->text(tcSiteList::colStatus);
        return texts;
    }

    // A static plan over `sites` from `start`: the addresses go, in list order, to the
    // sites whose run reaches the write, one after another.
    void staticRun(const QStringList& sites, const QString& start)
    {
        const QString mask = QStringLiteral("255.255.0.0");
        const QString gateway = QStringLiteral("10.99.0.1");
        selectRows(sites);
        if (QTest::currentTestFailed())
            return;
        const tcRun run = runDialog(e2e::button(*m_window, "btnUpdateAddresses"), [&](QDialog* dialog) {
            type(dialog->findChild<QLineEdit*>(QStringLiteral("edtAdminPass")), kAdminPassword);
            type(dialog->findChild<tcIpInput*>(QStringLiteral("frmIPAddrBegin")), start);
            type(dialog->findChild<tcIpInput*>(QStringLiteral("frmSubnetMask")), mask);
            type(dialog->findChild<tcIpInput*>(QStringLiteral("frmGateway")), gateway);
            type(dialog->findChild<tcIpInput*>(QStringLiteral("frmPrefDNS")), gateway);
            type(dialog->findChild<tcIpInput*>(QStringLiteral("frmAltDNS")), QStringLiteral("0.0.0.0"));
        });
        QVERIFY2(run.opened, "the network settings dialog did not open");
        QVERIFY2(run.finished, "the run did not end");
        QCOMPARE(run.questions,
                 QStringList{"Confirm Update: Are you sure you want to update network settings for all the "
                             "selected sites?"});

        const QMap<QString, QJsonObject> after = siteNow();
        const QMap<QString, QTreeWidgetItem*> rows = e2e::rowsByAddress(*m_window);
        QStringList expectedStatus;
        int next = 0;
        for (const QString& address : inListOrder(sites)) {
            const QJsonObject device = m_before.value(address);
            const QString outcome = networkOutcome(device);
            expectedStatus << address + QStringLiteral(": ") + outcome;
            const QJsonObject network = after.value(address).value(QLatin1String("network")).toObject();
            QTreeWidgetItem* row = rows.value(address);
            if (outcome == QLatin1String("Success")) {
                const QString assigned = plus(start, next++);
                QCOMPARE(network.value(QLatin1String("ipSettingMode")).toString(),
                         QStringLiteral("staticIp"));
                QCOMPARE(network.value(QLatin1String("staticIp")).toString(), assigned);
                QCOMPARE(network.value(QLatin1String("staticIpMask")).toString(), mask);
                QCOMPARE(network.value(QLatin1String("staticIpRoute")).toString(), gateway);
                QCOMPARE(row->text(tcSiteList::colAddress), assigned);
                QCOMPARE(row->text(tcSiteList::colAddressType), QStringLiteral("static"));
            } else {
                // a failed site is written nothing and takes no address of the plan
                QCOMPARE(network, device.value(QLatin1String("network")).toObject());
                QCOMPARE(row->text(tcSiteList::colAddress), address);
            }
        }
        QCOMPARE(statuses(inListOrder(sites)), expectedStatus);
        QCOMPARE(run.results, QStringLiteral("%1 site(s) successfully updated.").arg(next));
    }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
        // every camera has the administrator and one operator
        QJsonObject site = QJsonDocument::fromJson(kSite).object();
        QJsonArray devices;
        for (const QJsonValue& v : site.value(QLatin1String("devices")).toArray()) {
            QJsonObject device = v.toObject();
            device.insert(QStringLiteral("users"),
                          QJsonObject{{"admin", kAdminPassword}, {kUser, kUserPassword}});
            devices << device;
        }
        site.insert(QStringLiteral("devices"), devices);
        QFile file(m_dir.filePath(QStringLiteral("site.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(site).toJson());
        file.close();
        QVERIFY(m_sim.start(zltest::binPath(QStringLiteral("zephyrlock-sim")),
                            {"--site", file.fileName(), "--print-site"},
                            QStringLiteral("\"event\":\"ready\"")));
        m_before = e2e::siteState(m_sim.output());
        QCOMPARE(m_before.size(), devices.size());

        m_window.reset(new MainWindow);
        m_window->show();
        QVERIFY2(e2e::waitForCycleEnd(*m_window), "the discovery cycle did not end");
        QCOMPARE(m_window->deviceTree()->topLevelItemCount(), m_before.size());
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_sim.stop();
    }

    void staticPlanOverFiveCameras()
    {
        const QStringList healthy = cameraAddresses(
            [](const QJsonObject& d) { return e2e::text(d, "fault") == QLatin1String("none"); });
        QVERIFY(healthy.size() >= 5);
        staticRun(inListOrder(healthy).mid(0, 5), QStringLiteral("10.99.7.20"));
    }

    // Failed sites take no address: the first healthy camera after them gets the start.
    void faultsDoNotStopTheNetworkRun()
    {
        QStringList faulty = cameraAddresses(
            [](const QJsonObject& d) { return e2e::text(d, "fault") != QLatin1String("none"); });
        QVERIFY(faulty.size() >= 4);
        const QStringList healthy = inListOrder(cameraAddresses(
            [](const QJsonObject& d) { return e2e::text(d, "fault") == QLatin1String("none"); }));
        staticRun(faulty << healthy.last(), QStringLiteral("10.99.8.1"));
    }

    // Select All takes in every row; only the cameras seen by the PQ-series discovery
    // are worked on, the others get an empty status.
    void passwordRunOverEveryCamera()
    {
        QPushButton* select = e2e::button(*m_window, "btnSelect");
        if (select->text() != QLatin1String("Select All"))
            e2e::click(select);
        e2e::click(select);
        const QString newPassword = QStringLiteral("N3w-pass");
        const tcRun run = runDialog(e2e::button(*m_window, "btnUpdatePasswords"), [&](QDialog* dialog) {
            type(dialog->findChild<QLineEdit*>(QStringLiteral("edtAdminPass")), kAdminPassword);
            type(dialog->findChild<QLineEdit*>(QStringLiteral("edtUserName")), kUser);
            type(dialog->findChild<QLineEdit*>(QStringLiteral("edtOldPassword")), kUserPassword);
            type(dialog->findChild<QLineEdit*>(QStringLiteral("edtNewPassword")), newPassword);
            type(dialog->findChild<QLineEdit*>(QStringLiteral("edtConfirmPassword")), newPassword);
        });
        QVERIFY2(run.opened, "the password dialog did not open");
        QVERIFY2(run.finished, "the run did not end");
        QCOMPARE(run.questions,
                 QStringList{"Confirm Update: Are you sure you want to change the password for all "
                             "the selected sites?"});

        const QStringList cameras = cameraAddresses([](const QJsonObject&) { return true; });
        const QMap<QString, QJsonObject> after = siteNow();
        QStringList expectedStatus;
        int updated = 0;
        for (const QString& address : inListOrder(m_before.keys())) {
            const QJsonObject device = m_before.value(address);
            const bool chosen = cameras.contains(address);
            const QString outcome = chosen ? passwordOutcome(device) : QString();
            expectedStatus << address + QStringLiteral(": ") + outcome;
            const QJsonObject passwords =
                after.value(address).value(QLatin1String("passwordSha256")).toObject();
            const bool changed = outcome == QLatin1String("Success");
            updated += changed ? 1 : 0;
            QCOMPARE(passwords.value(kUser).toString(), sha256(changed ? newPassword : kUserPassword));
            QCOMPARE(passwords.value(QLatin1String("admin")).toString(), sha256(kAdminPassword));
        }
        QCOMPARE(statuses(inListOrder(m_before.keys())), expectedStatus);
        QCOMPARE(run.results, QStringLiteral("%1 site(s) successfully updated.").arg(updated));
    }
};

QTEST_MAIN(tst_SiteUpdate)
#include "tst_siteupdate.moc"
