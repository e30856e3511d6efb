// The scanner's window against a whole simulated site, worked as a user works it. After
// one discovery cycle the list holds one row per physical device (cameras that answer two
// protocols merged), each with the texts its protocols tell, sorted by address, and a
// Refresh lists the same again. Then update runs from the window: the simulated cameras'
// own state afterwards must be what the run meant to write, every row must show its
// outcome, and a camera in a fault mode must neither stop a run nor be counted.
#include "MainWindow.h"
#include "boxanswerer.h"
#include "simsite.h"
#include "tcIpInput.h"
#include "tcSiteList.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateItem.h"
#include "tcSpecificLocator.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QtTest>
#include <QtWidgets>

#include <csignal>

namespace {

// One device of each kind, and the cases met in the field: a speaker, a camera on DHCP,
// web ports other than 80, a Norvo 1.0 camera of another maker's model, numbers that
// sort differently as text (.9, .10), the cameras' logins and the faults a site shows.
const char kSite[] = R"([
  {"kind": "onvif", "address": "10.99.5.1", "name": "Hall Intercom", "model": "SPIP-100"},
  {"kind": "norvo2", "address": "10.99.5.2", "name": "Dock", "network": {"ipSettingMode": "dhcp"}},
  {"kind": "pq-camera", "address": "10.99.5.3", "name": "Gate West", "port": 8080},
  {"kind": "norvo1", "address": "10.99.5.4", "name": "Old Wing", "model": "IPC-N1 Bullet", "port": 8081},
  {"kind": "bridge", "address": "10.99.5.5", "name": "Site Bridge", "port": 8443},
  {"kind": "norvo1", "address": "10.99.5.6"},
  {"kind": "pq-decoder", "address": "10.99.5.7"},
  {"kind": "pq-storage", "address": "10.99.5.8"},
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
  {"kind": "pq-recorder", "address": "10.99.6.11"}
])";

const QString kAdminPassword = QStringLiteral("Adm1n-6");
const QString kUser = QStringLiteral("operator");
const QString kUserPassword = QStringLiteral("op-1");

// The outcome texts a site's fault leaves: of a network settings run, of a password run.
const QMap<QString, QPair<QString, QString>> kOutcomes{
    {"none", {"Success", "Success"}},
    {"wrong-credentials", {"Login Failed", "Login Failed"}},
    {"closed-port", {"Network Error", "Network Error"}},
    {"malformed-xml", {"Invalid Response", "Failed"}},
    {"failed", {"invalidParam", "Failed"}}, // the device's errorCode
};

QString text(const QJsonObject& device, const char* key)
{
    return device.value(QLatin1String(key)).toString();
}

bool speaks(const QJsonObject& device, const char* protocol)
{
    return device.value(QLatin1String("protocols")).toArray().contains(QLatin1String(protocol));
}

// How the scanner lists one kind of device, by what its protocols tell: the PQ reply
// brings cloud id, address mode and firmware (decoders and storage servers name their
// kind instead of a cloud id), the bridge reply cloud id and firmware, WS-Discovery and
// Norvo 1.0 neither.
QStringList expectedTexts(const QJsonObject& device)
{
    // kind: protocol text, cloud id (nullptr: the device's own)
    static const QMap<QString, QPair<const char*, const char*>> views{
        {"onvif", {"Onvif", ""}},
        {"norvo2", {"Norvo 2.0", nullptr}},
        {"norvo1", {"Norvo 1.0", ""}},
        {"pq-camera", {"Onvif", nullptr}},
        {"pq-recorder", {"PQ/PW", nullptr}},
        {"pq-decoder", {"Onvif?", "DECODER"}},
        {"pq-storage", {"", "STORAGE"}},
        {"bridge", {"ZL V2", nullptr}},
    };
    const auto view = views.value(text(device, "kind"));
    const bool pq = speaks(device, "pq");
    QString model = text(device, "model");
    // A Norvo 1.0 reply names the model only when it is not one of the maker's own.
    if (text(device, "kind") == QLatin1String("norvo1") &&
        model.contains(QLatin1String("norvo"), Qt::CaseInsensitive))
        model = QStringLiteral("Norvo 1.0");
    const QString mode = device.value(QLatin1String("network"))[QLatin1String("ipSettingMode")].toString();
    return {text(device, "name"),
            view.second ? QLatin1String(view.second) : text(device, "cloudId"),
            model,
            text(device, "device"),
            pq ? (mode == QLatin1String("dhcp") ? QStringLiteral("dhcp") : QStringLiteral("static"))
               : QString(),
            QString::number(device.value(QLatin1String("port")).toInt()),
            text(device, "mac").toUpper(),
            QLatin1String(view.first),
            pq || speaks(device, "bridge") ? text(device, "firmware") : QString(),
            QString()};
}

QStringList textsOf(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int column = 0; column < item->columnCount(); ++column)
        texts << item->text(column);
    return texts;
}

QString sha256(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

void type(QDialog* dialog, const char* field, const QString& text)
{
    if (auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(field))) {
        edit->clear();
        QTest::keyClicks(edit, text);
        return;
    }
    // an address field is four boxes, one number each
    const QList<QLineEdit*> boxes =
        dialog->findChild<tcIpInput*>(QLatin1String(field))->findChildren<QLineEdit*>();
    const QStringList numbers = text.split(QLatin1Char('.'));
    for (int i = 0; i < boxes.size() && i < numbers.size(); ++i) {
        boxes[i]->clear();
        QTest::keyClicks(boxes[i], numbers[i]);
    }
}

// What a run left in its dialog.
struct tcRun
{
    bool finished = false;
    QStringList questions; // the message boxes answered on the way
    QString results;       // lblResults at the end
};

// Presses `opener` in the window; once the modal dialog is up, the fields are typed,
// Update is pressed and confirmed, and the dialog is closed when the run is done.
tcRun runDialog(QAbstractButton* opener, const QList<QPair<const char*, QString>>& fields)
{
    tcRun run;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || qobject_cast<QMessageBox*>(dialog))
            return;
        poll.stop();
        for (const auto& [field, text] : fields)
            type(dialog, field, text);
        auto* update = dialog->findChild<QPushButton*>(QStringLiteral("btnUpdate"));
        auto* close = dialog->findChild<QPushButton*>(QStringLiteral("btnClose"));
        {
            zltest::tcBoxAnswerer yes(QMessageBox::Yes);
            click(update);
            run.finished = QTest::qWaitFor(
                [&] { return update->text() == QLatin1String("Done") && close->isEnabled(); }, 60000);
            for (const zltest::tcBoxSeen& box : qAsConst(yes.seen))
                run.questions << box.title + QStringLiteral(": ") + box.text;
        }
        run.results = dialog->findChild<QLabel*>(QStringLiteral("lblResults"))->text();
        dialog->reject();
    });
    poll.start(10);
    click(opener);
    return run;
}

} // namespace

class tst_Site : public QObject
{
    Q_OBJECT

    zltest::tcSim m_sim;
    QMap<QString, QJsonObject> m_before; // the site as described, by address
    QScopedPointer<MainWindow> m_window;

    // The last state line of every device, by address.
    QMap<QString, QJsonObject> state()
    {
        QMap<QString, QJsonObject> devices;
        for (const QJsonObject& device : m_sim.events("state"))
            devices.insert(text(device, "device"), device);
        return devices;
    }
    // The site's state now: every device prints its state on SIGUSR1.
    QMap<QString, QJsonObject> stateNow()
    {
        const int lines = m_sim.events("state").size();
        ::kill(pid_t(m_sim.process().process().processId()), SIGUSR1);
        if (!QTest::qWaitFor([&] { return m_sim.events("state").size() >= lines + m_before.size(); }))
            return {};
        return state();
    }

    QPushButton* button(const char* name) const
    {
        return m_window->findChild<QPushButton*>(QLatin1String(name));
    }

    // A discovery cycle ends when Refresh can be pressed again (3 s after it started).
    bool waitForCycleEnd() const
    {
        QPushButton* refresh = button("btnRefresh");
        return QTest::qWaitFor([refresh] { return refresh->isEnabled(); }, 10000);
    }
    // How many locators still have their sockets open.
    int runningLocators() const
    {
        const auto& locators = m_window->coordinator()->locators();
        return int(std::count_if(locators.begin(), locators.end(),
                                 [](const tcSpecificLocator* locator) { return locator->isRunning(); }));
    }

    // Every row of the list in its order, with the address it was listed with (an update
    // run may change the "IP Address" text since).
    QList<QPair<QString, QTreeWidgetItem*>> rows() const
    {
        QList<QPair<QString, QTreeWidgetItem*>> list;
        QTreeWidget* tree = m_window->deviceTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            list.append({tree->topLevelItem(i)->data(0, tcSiteLocateItem::AddressRole).toString(),
                         tree->topLevelItem(i)});
        return list;
    }
    QTreeWidgetItem* row(const QString& address) const
    {
        for (const auto& [listed, item] : rows())
            if (listed == address)
                return item;
        return nullptr;
    }

    // The cameras (as the PQ-series discovery tells them) in list order: the order a run
    // works through.
    QStringList cameras() const
    {
        QStringList addresses;
        for (const auto& [address, item] : rows()) {
            const QString kind = text(m_before.value(address), "kind");
            if (kind == QLatin1String("pq-camera") || kind == QLatin1String("norvo2"))
                addresses << address;
        }
        return addresses;
    }

    QString fault(const QString& address) const { return text(m_before.value(address), "fault"); }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        // every device has the administrator and one operator
        QJsonArray devices;
        for (const QJsonValue& v : QJsonDocument::fromJson(kSite).array()) {
            QJsonObject device = v.toObject();
            device.insert(QStringLiteral("users"),
                          QJsonObject{{"admin", kAdminPassword}, {kUser, kUserPassword}});
            devices << device;
        }
        QVERIFY(m_sim.start(QJsonDocument(devices).toJson(), {QStringLiteral("--print-site")}));
        m_before = state();
        QCOMPARE(m_before.size(), devices.size());

        m_window.reset(new MainWindow);
        m_window->show();
        QVERIFY2(waitForCycleEnd(), "the discovery cycle did not end");
        // A Refresh pressed now must reach every locator: none may still be running.
        QCOMPARE(runningLocators(), 0);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_sim.process().stop();
    }

    void oneRowPerDeviceInAddressOrder()
    {
        QStringList shown;
        for (const auto& [address, item] : rows())
            shown << item->text(tcSiteList::colAddress);
        // numerically, so 10.99.6.9 comes before 10.99.6.10
        QStringList sorted = m_before.keys();
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return QHostAddress(a).toIPv4Address() < QHostAddress(b).toIPv4Address();
        });
        QCOMPARE(shown, sorted);
    }

    void rowTexts_data()
    {
        QTest::addColumn<QString>("address");
        for (const QJsonObject& device : qAsConst(m_before))
            QTest::newRow(qPrintable(text(device, "kind") + QLatin1Char(' ') + text(device, "device")))
                << text(device, "device");
    }
    void rowTexts()
    {
        QFETCH(QString, address);
        const QTreeWidgetItem* item = row(address);
        QVERIFY2(item, "the device is not listed");
        QCOMPARE(textsOf(item), expectedTexts(m_before.value(address)));
    }

    void refreshListsTheSiteAgain()
    {
        const auto allTexts = [this] {
            QList<QStringList> texts;
            for (const auto& [address, item] : rows())
                texts << textsOf(item);
            return texts;
        };
        const QList<QStringList> before = allTexts();
        QPushButton* refresh = button("btnRefresh");
        click(refresh);
        QVERIFY(!refresh->isEnabled());
        QCOMPARE(runningLocators(), m_window->coordinator()->locators().size());
        QVERIFY(waitForCycleEnd());
        QCOMPARE(runningLocators(), 0);
        QCOMPARE(allTexts(), before);
    }

    // A static plan over every camera, selected as a user does (a click on the first,
    // Ctrl+click on each further one): the addresses go, in list order, to the cameras
    // whose run reaches the write; a failed site is written nothing and takes no address.
    void staticRunOverEveryCamera()
    {
        const QStringList sites = cameras();
        QTreeWidget* tree = m_window->deviceTree();
        for (int i = 0; i < sites.size(); ++i) {
            QTreeWidgetItem* item = row(sites[i]);
            tree->scrollToItem(item);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                              tree->visualItemRect(item).center());
        }
        QCOMPARE(tree->selectedItems().size(), sites.size());
        const QString start = QStringLiteral("10.99.7.20");
        const tcRun run = runDialog(button("btnUpdateAddresses"), {{"edtAdminPass", kAdminPassword},
                                                                   {"frmIPAddrBegin", start},
                                                                   {"frmSubnetMask", "255.255.0.0"},
                                                                   {"frmGateway", "10.99.0.1"},
                                                                   {"frmPrefDNS", "10.99.0.1"},
                                                                   {"frmAltDNS", "0.0.0.0"}});
        QVERIFY2(run.finished, "the run did not end");
        QCOMPARE(run.questions, QStringList{"Confirm Update: Are you sure you want to update network "
                                            "settings for all the selected sites?"});

        const QMap<QString, QJsonObject> after = stateNow();
        QStringList expected, shown;
        int next = 0;
        for (const QString& address : sites) {
            const QJsonObject network = after.value(address).value(QLatin1String("network")).toObject();
            QTreeWidgetItem* item = row(address);
            const QString outcome = kOutcomes.value(fault(address)).first;
            expected << address + QStringLiteral(": ") + outcome;
            shown << address + QStringLiteral(": ") + item->text(tcSiteList::colStatus);
            if (outcome == QLatin1String("Success")) {
                const QString assigned =
                    QHostAddress(QHostAddress(start).toIPv4Address() + next++).toString();
                QCOMPARE(
                    (QStringList{text(network, "ipSettingMode"), text(network, "staticIp"),
                                 text(network, "staticIpMask"), text(network, "staticIpRoute"),
                                 item->text(tcSiteList::colAddress), item->text(tcSiteList::colAddressType)}),
                    (QStringList{"staticIp", assigned, "255.255.0.0", "10.99.0.1", assigned, "static"}));
            } else {
                QCOMPARE(network, m_before.value(address).value(QLatin1String("network")).toObject());
                QCOMPARE(item->text(tcSiteList::colAddress), address);
            }
        }
        QCOMPARE(shown, expected);
        QCOMPARE(run.results, QStringLiteral("%1 site(s) successfully updated.").arg(next));
    }

    // Select All takes in every row; only the cameras seen by the PQ-series discovery
    // are worked on, the others get an empty status.
    void passwordRunOverEveryCamera()
    {
        QPushButton* select = button("btnSelect");
        if (select->text() != QLatin1String("Select All"))
            click(select);
        click(select);
        const QString newPassword = QStringLiteral("N3w-pass");
        const tcRun run = runDialog(button("btnUpdatePasswords"), {{"edtAdminPass", kAdminPassword},
                                                                   {"edtUserName", kUser},
                                                                   {"edtOldPassword", kUserPassword},
                                                                   {"edtNewPassword", newPassword},
                                                                   {"edtConfirmPassword", newPassword}});
        QVERIFY2(run.finished, "the run did not end");
        QCOMPARE(run.questions, QStringList{"Confirm Update: Are you sure you want to change the password "
                                            "for all the selected sites?"});

        const QStringList chosen = cameras();
        const QMap<QString, QJsonObject> after = stateNow();
        QStringList expected, shown;
        int updated = 0;
        for (const auto& [address, item] : rows()) {
            const QString outcome =
                chosen.contains(address) ? kOutcomes.value(fault(address)).second : QString();
            expected << address + QStringLiteral(": ") + outcome;
            shown << address + QStringLiteral(": ") + item->text(tcSiteList::colStatus);
            const bool changed = outcome == QLatin1String("Success");
            updated += changed ? 1 : 0;
            const QJsonObject passwords =
                after.value(address).value(QLatin1String("passwordSha256")).toObject();
            QCOMPARE(passwords.value(kUser).toString(), sha256(changed ? newPassword : kUserPassword));
            QCOMPARE(passwords.value(QLatin1String("admin")).toString(), sha256(kAdminPassword));
        }
        QCOMPARE(shown, expected);
        QCOMPARE(run.results, QStringLiteral("%1 site(s) successfully updated.").arg(updated));
    }
};

QTEST_MAIN(tst_Site)
#include "tst_site.moc"
