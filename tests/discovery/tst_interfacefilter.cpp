#include "tcSpecificLocator.h"

#include <QtTest>

using Flags = QNetworkInterface::InterfaceFlags;
Q_DECLARE_METATYPE(QList<tcInterfaceInfo>)

class tst_InterfaceFilter : public QObject
{
    Q_OBJECT
private slots:
    void filter_data()
    {
        QTest::addColumn<QList<tcInterfaceInfo>>("interfaces");
        QTest::addColumn<QStringList>("expected");

        const Flags upBroadcast = QNetworkInterface::IsUp | QNetworkInterface::IsRunning |
                                  QNetworkInterface::CanBroadcast | QNetworkInterface::CanMulticast;
        const QHostAddress v4(QStringLiteral("192.168.1.10"));
        const QHostAddress v6(QStringLiteral("fe80::1"));

        QTest::newRow("ordinary ethernet, IPv6 entry skipped")
            << QList<tcInterfaceInfo>{{QStringLiteral("Ethernet"), upBroadcast, {v6, v4}}}
            << QStringList{QStringLiteral("192.168.1.10")};
        QTest::newRow("only a VMware adapter and a loopback pseudo-interface")
            << QList<tcInterfaceInfo>{
                   {QStringLiteral("VMware Network Adapter VMnet1"), upBroadcast, {QHostAddress(QStringLiteral("192.168.56.1"))}},
                   {QStringLiteral("Loopback Pseudo-Interface 1"), QNetworkInterface::IsUp, {QHostAddress(QStringLiteral("127.0.0.1"))}}}
            << QStringList{};
        QTest::newRow("up point-to-point VPN link")
            << QList<tcInterfaceInfo>{{QStringLiteral("tun0"), Flags(QNetworkInterface::IsUp | QNetworkInterface::IsPointToPoint), {v4}}}
            << QStringList{};
        QTest::newRow("loopback flag with an ordinary name")
            << QList<tcInterfaceInfo>{{QStringLiteral("lo"), Flags(QNetworkInterface::IsUp | QNetworkInterface::IsLoopBack), {QHostAddress(QStringLiteral("127.0.0.1"))}}}
            << QStringList{};
        QTest::newRow("down interface")
            << QList<tcInterfaceInfo>{{QStringLiteral("eth1"), Flags(QNetworkInterface::CanBroadcast), {v4}}}
            << QStringList{};
        QTest::newRow("virtual in any case")
            << QList<tcInterfaceInfo>{{QStringLiteral("Hyper-V VIRTUAL Ethernet"), upBroadcast, {v4}}}
            << QStringList{};
        QTest::newRow("two kept interfaces keep their order and every IPv4 entry")
            << QList<tcInterfaceInfo>{
                   {QStringLiteral("eth0"), upBroadcast, {QHostAddress(QStringLiteral("10.0.0.5")), QHostAddress(QStringLiteral("10.0.1.5"))}},
                   {QStringLiteral("wlan0"), upBroadcast, {QHostAddress(QStringLiteral("172.16.0.9"))}}}
            << QStringList{QStringLiteral("10.0.0.5"), QStringLiteral("10.0.1.5"), QStringLiteral("172.16.0.9")};
    }
    void filter()
    {
        QFETCH(QList<tcInterfaceInfo>, interfaces);
        QFETCH(QStringList, expected);
        QStringList chosen;
        for (const QHostAddress& address : filterInterfaceAddresses(interfaces))
            chosen << address.toString();
        QCOMPARE(chosen, expected);
    }
};

QTEST_GUILESS_MAIN(tst_InterfaceFilter)
#include "tst_interfacefilter.moc"
