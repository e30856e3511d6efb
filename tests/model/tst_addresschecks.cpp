#include "tcAddressChecks.h"

#include <QHostAddress>
#include <QtTest>

namespace {

quint32 host(const QString& text)
{
    return QHostAddress(text).toIPv4Address();
}

// "10.99.0.1/16" per subnet, "10.20.0.1-10.20.3.254" per range.
tcProbedNetworks networks(const QStringList& subnets, const QStringList& ranges)
{
    tcProbedNetworks probed;
    for (const QString& subnet : subnets)
        probed.subnets.append({host(subnet.section('/', 0, 0)), subnet.section('/', 1).toInt()});
    for (const QString& range : ranges)
        probed.ranges.append({host(range.section('-', 0, 0)), host(range.section('-', 1))});
    return probed;
}

} // namespace

class tst_AddressChecks : public QObject
{
    Q_OBJECT
private slots:
    void otherSubnet_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("subnets");
        QTest::addColumn<QStringList>("ranges");
        QTest::addColumn<bool>("other");
        const QStringList lan{"10.99.0.1/16"};
        QTest::newRow("in the interface's subnet") << "10.99.3.4" << lan << QStringList() << false;
        QTest::newRow("factory address on the same cable") << "192.168.0.108" << lan << QStringList() << true;
        QTest::newRow("in a second interface's subnet")
            << "192.168.1.64" << QStringList{"10.99.0.1/16", "192.168.1.10/24"} << QStringList() << false;
        QTest::newRow("first address past a /24")
            << "192.168.2.0" << QStringList{"192.168.1.10/24"} << QStringList() << true;
        QTest::newRow("last address of a /23")
            << "192.168.3.255" << QStringList{"192.168.2.10/23"} << QStringList() << false;
        QTest::newRow("first host of a range probed by unicast")
            << "10.20.0.1" << lan << QStringList{"10.20.0.1-10.20.3.254"} << false;
        QTest::newRow("last host of a range probed by unicast")
            << "10.20.3.254" << lan << QStringList{"10.20.0.1-10.20.3.254"} << false;
        QTest::newRow("one past a range probed by unicast")
            << "10.20.3.255" << lan << QStringList{"10.20.0.1-10.20.3.254"} << true;
        QTest::newRow("no interface probed") << "10.99.3.4" << QStringList() << QStringList() << true;
        QTest::newRow("no address is never flagged") << "" << lan << QStringList() << false;
        QTest::newRow("a host name is never flagged") << "camera.local" << lan << QStringList() << false;
    }
    void otherSubnet()
    {
        QFETCH(QString, address);
        QFETCH(QStringList, subnets);
        QFETCH(QStringList, ranges);
        QFETCH(bool, other);
        QCOMPARE(isOtherSubnet(address, networks(subnets, ranges)), other);
    }

    // Listed devices as "address name"; the addresses the check reports, in its order.
    void planConflicts_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two devices inside the plan, in address order")
            << "10.99.2.20" << 3
            << QStringList{"10.99.2.22 D", "10.99.2.19 X", "10.99.2.21 C", "10.99.2.23 Y"}
            << QStringList{"10.99.2.21 C", "10.99.2.22 D"};
        QTest::newRow("the first address of the plan")
            << "10.99.2.20" << 1 << QStringList{"10.99.2.20 A"} << QStringList{"10.99.2.20 A"};
        QTest::newRow("two devices on one planned address, both named")
            << "10.99.2.20" << 2 << QStringList{"10.99.2.21 B", "10.99.2.21 C"}
            << QStringList{"10.99.2.21 B", "10.99.2.21 C"};
        QTest::newRow("the plan ends before the device")
            << "10.99.2.20" << 2 << QStringList{"10.99.2.22 D"} << QStringList();
        QTest::newRow("the plan never carries into the third byte")
            << "10.99.2.250" << 10 << QStringList{"10.99.3.0 N", "10.99.3.3 M", "10.99.2.255 L"}
            << QStringList{"10.99.2.255 L"};
        QTest::newRow("devices without an address")
            << "10.99.2.20" << 3 << QStringList{" A", "bad B"} << QStringList();
        QTest::newRow("no sites, no plan")
            << "10.99.2.20" << 0 << QStringList{"10.99.2.20 A"} << QStringList();
    }
    void planConflicts()
    {
        QFETCH(QString, start);
        QFETCH(int, count);
        QFETCH(QStringList, held);
        QFETCH(QStringList, expected);
        QVector<tcHeldAddress> devices;
        for (const QString& device : held)
            devices.append({device.section(' ', 0, 0), device.section(' ', 1), QString()});
        QStringList found;
        for (const tcHeldAddress& device : ::planConflicts(host(start), count, devices))
            found << device.address + ' ' + device.name;
        QCOMPARE(found, expected);
    }
};

QTEST_GUILESS_MAIN(tst_AddressChecks)
#include "tst_addresschecks.moc"
