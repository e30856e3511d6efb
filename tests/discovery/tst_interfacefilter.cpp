#include "tcInterfaceFilter.h"

#include <QtTest>

using Flags = QNetworkInterface::InterfaceFlags;
Q_DECLARE_METATYPE(QList<tcInterfaceInfo>)

namespace {

QNetworkAddressEntry entry(const char* address, const char* mask = "255.255.255.0")
{
    QNetworkAddressEntry e;
    e.setIp(QHostAddress(QLatin1String(address)));
    if (QHostAddress(QLatin1String(address)).protocol() == QAbstractSocket::IPv4Protocol)
        e.setNetmask(QHostAddress(QLatin1String(mask)));
    return e;
}

} // namespace

class tst_InterfaceFilter : public QObject
{
    Q_OBJECT
private slots:
    // Each interface as "name: a/mask a/mask" when picked, "name: -reason" when skipped.
    void choose_data()
    {
        QTest::addColumn<QList<tcInterfaceInfo>>("interfaces");
        QTest::addColumn<QStringList>("only");
        QTest::addColumn<QStringList>("expected");

        const Flags up = QNetworkInterface::IsUp | QNetworkInterface::IsRunning |
                         QNetworkInterface::CanBroadcast | QNetworkInterface::CanMulticast;
        const auto v4 = entry("192.168.1.10"), v4b = entry("10.0.0.5", "255.255.252.0"),
                   v6 = entry("fe80::1");

        QTest::newRow("kept interfaces keep their order and every IPv4 entry")
            << QList<tcInterfaceInfo>{{"Ethernet", up, {v6, v4, v4b}, {}}, {"wlan0", up, {v6, v4b}, {}}}
            << QStringList()
            << QStringList{"Ethernet: 192.168.1.10/255.255.255.0 10.0.0.5/255.255.252.0",
                           "wlan0: 10.0.0.5/255.255.252.0"};
        QTest::newRow("virtual adapters by name, in any case, first word that matches")
            << QList<tcInterfaceInfo>{{"VMware Network Adapter VMnet1", up, {v4}, {}},
                                      {"Loopback Pseudo-Interface 1", up, {v4}, {}},
                                      {"Hyper-V VIRTUAL Ethernet", up, {v4}, {}}}
            << QStringList()
            << QStringList{"VMware Network Adapter VMnet1: -virtual adapter (name contains \"vmware\")",
                           "Loopback Pseudo-Interface 1: -virtual adapter (name contains \"loopback\")",
                           "Hyper-V VIRTUAL Ethernet: -virtual adapter (name contains \"virtual\")"};
        QTest::newRow("down, loopback, point-to-point, and no IPv4 address")
            << QList<tcInterfaceInfo>{{"eth1", Flags(QNetworkInterface::CanBroadcast), {v4}, {}},
                                      {"lo",
                                       Flags(QNetworkInterface::IsUp | QNetworkInterface::IsLoopBack),
                                       {v4},
                                       {}},
                                      {"tun0",
                                       Flags(QNetworkInterface::IsUp | QNetworkInterface::IsPointToPoint),
                                       {v4},
                                       {}},
                                      {"eth2", up, {v6}, {}}}
            << QStringList()
            << QStringList{"eth1: -down", "lo: -loopback", "tun0: -point-to-point", "eth2: -no IPv4 address"};
        QTest::newRow("chosen by system or human-readable name; the rule still applies")
            << QList<tcInterfaceInfo>{{"Ethernet 2", up, {v4}, "eth0"},
                                      {"Ethernet 3", up, {v4b}, "eth1"},
                                      {"wlan0", up, {v4}, {}},
                                      {"tun0",
                                       Flags(QNetworkInterface::IsUp | QNetworkInterface::IsPointToPoint),
                                       {v4},
                                       {}}}
            << QStringList{"eth0", "wlan0", "tun0"}
            << QStringList{"Ethernet 2: 192.168.1.10/255.255.255.0",
                           "Ethernet 3: -not among the chosen interfaces",
                           "wlan0: 192.168.1.10/255.255.255.0", "tun0: -point-to-point"};
    }
    void choose()
    {
        QFETCH(QList<tcInterfaceInfo>, interfaces);
        QFETCH(QStringList, only);
        QFETCH(QStringList, expected);
        const QList<tcInterfaceChoice> choices = chooseInterfaces(interfaces, only);
        QStringList found;
        QStringList addresses;
        for (const tcInterfaceChoice& choice : choices) {
            QStringList entries;
            for (const QNetworkAddressEntry& e : choice.ipv4) {
                entries << e.ip().toString() + QLatin1Char('/') + e.netmask().toString();
                addresses << e.ip().toString();
            }
            found << choice.info.humanReadableName + QLatin1String(": ") +
                         (choice.skipReason.isEmpty() ? entries.join(QLatin1Char(' '))
                                                      : QLatin1Char('-') + choice.skipReason);
        }
        QCOMPARE(found, expected);
        QStringList chosen;
        for (const QHostAddress& address : chosenAddresses(choices))
            chosen << address.toString();
        QCOMPARE(chosen, addresses);
    }
};

QTEST_GUILESS_MAIN(tst_InterfaceFilter)
#include "tst_interfacefilter.moc"
