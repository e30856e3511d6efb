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
        const QHostAddress v4(QStringLiteral("192.168.1.10")), v4b(QStringLiteral("10.0.0.5"));
        const QHostAddress v6(QStringLiteral("fe80::1"));

        QTest::newRow("kept interfaces keep their order and every IPv4 entry")
            << QList<tcInterfaceInfo>{{"Ethernet", upBroadcast, {v6, v4, v4b}},
                                      {"wlan0", upBroadcast, {v6, v4b}}}
            << QStringList{"192.168.1.10", "10.0.0.5", "10.0.0.5"};
        QTest::newRow("virtual adapters by name, in any case")
            << QList<tcInterfaceInfo>{{"VMware Network Adapter VMnet1", upBroadcast, {v4}},
                                      {"Loopback Pseudo-Interface 1", QNetworkInterface::IsUp, {v4}},
                                      {"Hyper-V VIRTUAL Ethernet", upBroadcast, {v4}}}
            << QStringList{};
        QTest::newRow("down, loopback and point-to-point interfaces")
            << QList<tcInterfaceInfo>{{"eth1", Flags(QNetworkInterface::CanBroadcast), {v4}},
                                      {"lo",
                                       Flags(QNetworkInterface::IsUp | QNetworkInterface::IsLoopBack),
                                       {v4}},
                                      {"tun0",
                                       Flags(QNetworkInterface::IsUp | QNetworkInterface::IsPointToPoint),
                                       {v4}}}
            << QStringList{};
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
