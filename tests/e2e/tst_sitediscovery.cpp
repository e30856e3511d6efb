// The scanner's window against a whole simulated site: after one discovery cycle its
// list holds one row per physical device (cameras that answer two protocols merged),
// each with the texts its protocols tell, sorted by address; every kind button shows
// exactly the devices of its kind; a Refresh lists the same site again.
#include "e2esite.h"

#include <QLabel>

namespace {

// Devices the generated mix does not contain: a speaker, a camera on DHCP, web ports
// other than 80, a Norvo 1.0 camera of another maker's model.
const char kSpecialSite[] = R"({"devices": [
  {"kind": "onvif", "address": "10.99.5.1", "name": "Hall Intercom", "model": "SPIP-100"},
  {"kind": "norvo2", "address": "10.99.5.2", "name": "Dock", "network": {"ipSettingMode": "dhcp"}},
  {"kind": "pq-camera", "address": "10.99.5.3", "name": "Gate West", "port": 8080},
  {"kind": "norvo1", "address": "10.99.5.4", "name": "Old Wing", "model": "IPC-N1 Bullet", "port": 8081},
  {"kind": "bridge", "address": "10.99.5.5", "name": "Site Bridge", "port": 8443}
]})";

const QStringList kCounts = {"--onvif",      "3", "--norvo2",       "4", "--norvo1",      "3",
                             "--pq-cameras", "3", "--pq-recorders", "2", "--pq-decoders", "1",
                             "--pq-storage", "1", "--bridges",      "2"};

int describedDevices()
{
    int count =
        QJsonDocument::fromJson(kSpecialSite).object().value(QLatin1String("devices")).toArray().size();
    for (int i = 1; i < kCounts.size(); i += 2)
        count += kCounts[i].toInt();
    return count;
}

} // namespace

class tst_SiteDiscovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    zltest::tcSiteProcess m_sim;
    QMap<QString, QJsonObject> m_site; // by address
    QScopedPointer<MainWindow> m_window;

    QStringList addressesShownBy(const QString& buttonName) const
    {
        QStringList addresses;
        for (const QJsonObject& device : m_site)
            if (e2e::expectedButton(device) == buttonName)
                addresses << e2e::text(device, "device");
        return addresses;
    }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
        QFile file(m_dir.filePath(QStringLiteral("site.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kSpecialSite);
        file.close();
        QVERIFY(m_sim.start(
            zltest::binPath(QStringLiteral("zephyrlock-sim")),
            kCounts + QStringList{"--site", file.fileName(), "--seed", "5", "--no-http", "--print-site"},
            QStringLiteral("\"event\":\"ready\"")));
        m_site = e2e::siteState(m_sim.output());
        QCOMPARE(m_site.size(), describedDevices());

        m_window.reset(new MainWindow);
        m_window->show();
        QVERIFY2(e2e::waitForCycleEnd(*m_window), "the discovery cycle did not end");
        // A Refresh pressed now must reach every locator: none may still be running.
        QCOMPARE(e2e::runningLocators(*m_window), 0);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_sim.stop();
    }

    void oneRowPerDeviceInAddressOrder()
    {
        QTreeWidget* tree = m_window->deviceTree();
        QVERIFY(tree);
        QCOMPARE(tree->topLevelItemCount(), m_site.size());
        QStringList shown;
        QSet<QString> macs;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            shown << tree->topLevelItem(i)->text(3);
            macs << tree->topLevelItem(i)->text(6);
        }
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), m_site.size());
        QCOMPARE(macs.size(), m_site.size());
        // numerically, so 10.99.1.9 comes before 10.99.1.10
        QStringList sorted = m_site.keys();
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return QHostAddress(a).toIPv4Address() < QHostAddress(b).toIPv4Address();
        });
        QCOMPARE(shown, sorted);
    }

    void rowTexts_data()
    {
        QTest::addColumn<QString>("address");
        for (const QJsonObject& device : qAsConst(m_site))
            QTest::newRow(
                qPrintable(e2e::text(device, "kind") + QLatin1Char(' ') + e2e::text(device, "device")))
                << e2e::text(device, "device");
    }
    void rowTexts()
    {
        QFETCH(QString, address);
        const QTreeWidgetItem* row = e2e::rowsByAddress(*m_window).value(address);
        QVERIFY2(row, "the device is not listed");
        QCOMPARE(e2e::rowTexts(row), e2e::expectedTexts(m_site.value(address)));
    }

    // A camera row offers the update dialogs exactly when the PQ-series locator saw it.
    void camerasOfferedForUpdate()
    {
        for (const QJsonObject& device : qAsConst(m_site)) {
            const QTreeWidgetItem* row = e2e::rowsByAddress(*m_window).value(e2e::text(device, "device"));
            QVERIFY(row);
            const auto record = row->data(0, tcSiteLocateItem::DeviceRole).value<tpVideoDevice>();
            QVERIFY(record);
            const bool camera = e2e::expectedButton(device) == QLatin1String("radShowCameras") ||
                                e2e::expectedButton(device) == QLatin1String("radShowSpeakers");
            QCOMPARE(record->pqCamera, camera && e2e::speaksProtocol(device, "pq"));
        }
    }

    void kindButtons_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<QString>("idHeader");
        // "Cameras" is checked at start; it comes after another so that its click counts
        QTest::newRow("bridges") << "radShowBridges"
                                 << "Cloud ID";
        QTest::newRow("cameras") << "radShowCameras"
                                 << "QR Code";
        QTest::newRow("recorders") << "radShowRecorders"
                                   << "QR Code";
        QTest::newRow("speakers") << "radShowSpeakers"
                                  << "QR Code";
        QTest::newRow("other") << "radShowOther"
                               << "Device Type";
    }
    void kindButtons()
    {
        QFETCH(QString, buttonName);
        QFETCH(QString, idHeader);
        auto* radio = m_window->findChild<QRadioButton*>(buttonName);
        QVERIFY(radio);
        e2e::click(radio);
        QVERIFY(radio->isChecked());

        QStringList visible;
        QTreeWidget* tree = m_window->deviceTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (!tree->topLevelItem(i)->isHidden())
                visible << tree->topLevelItem(i)->text(3);
        QStringList expected = addressesShownBy(buttonName);
        QVERIFY2(!expected.isEmpty(), "the site has no device of this kind");
        visible.sort();
        expected.sort();
        QCOMPARE(visible, expected);
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("lblProgress"))->text(),
                 QStringLiteral("Sites found (%1 / %2)").arg(expected.size()).arg(m_site.size()));
        QCOMPARE(tree->headerItem()->text(1), idHeader);
    }

    void refreshListsTheSiteAgain()
    {
        QStringList before;
        for (QTreeWidgetItem* row : e2e::rowsByAddress(*m_window))
            before << e2e::rowTexts(row).join(QLatin1Char('|'));
        QPushButton* refresh = e2e::button(*m_window, "btnRefresh");
        e2e::click(refresh);
        QVERIFY(!refresh->isEnabled());
        QCOMPARE(e2e::runningLocators(*m_window), m_window->coordinator()->locators().size());
        QVERIFY(e2e::waitForCycleEnd(*m_window));
        QCOMPARE(e2e::runningLocators(*m_window), 0);
        QStringList after;
        for (QTreeWidgetItem* row : e2e::rowsByAddress(*m_window))
            after << e2e::rowTexts(row).join(QLatin1Char('|'));
        QCOMPARE(m_window->deviceTree()->topLevelItemCount(), m_site.size());
        QCOMPARE(after, before);
    }
};

QTEST_MAIN(tst_SiteDiscovery)
#include "tst_sitediscovery.moc"
