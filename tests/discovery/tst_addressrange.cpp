#include "tcAddressRange.h"

#include <QtTest>

class tst_AddressRange : public QObject
{
    Q_OBJECT
private slots:
    void parseOne_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hosts"); // first-last as toString() writes it, empty when refused
        QTest::addColumn<QString>("error"); // a piece of the message when refused

        QTest::newRow("/22 without network and broadcast address") << "10.20.0.0/22"
                                                                   << "10.20.0.1-10.20.3.254"
                                                                   << "";
        QTest::newRow("/16 is the largest network") << "10.98.0.0/16"
                                                    << "10.98.0.1-10.98.255.254"
                                                    << "";
        QTest::newRow("host bits of the base cleared") << "10.20.1.77/22"
                                                       << "10.20.0.1-10.20.3.254"
                                                       << "";
        QTest::newRow("/30 holds two hosts") << "192.168.1.4/30"
                                             << "192.168.1.5-192.168.1.6"
                                             << "";
        QTest::newRow("/31 holds both addresses") << "192.168.1.4/31"
                                                  << "192.168.1.4-192.168.1.5"
                                                  << "";
        QTest::newRow("/32 is the one host") << "192.168.1.9/32"
                                             << "192.168.1.9"
                                             << "";
        QTest::newRow("single address") << "192.168.1.9"
                                        << "192.168.1.9"
                                        << "";
        QTest::newRow("first-last includes both ends") << "10.0.0.250-10.0.1.5"
                                                       << "10.0.0.250-10.0.1.5"
                                                       << "";
        QTest::newRow("first-last of one address") << "10.0.0.7-10.0.0.7"
                                                   << "10.0.0.7"
                                                   << "";
        QTest::newRow("blanks around the text") << "  10.0.0.0/30 "
                                                << "10.0.0.1-10.0.0.2"
                                                << "";
        QTest::newRow("link-local space may be probed") << "169.254.0.0/16"
                                                        << "169.254.0.1-169.254.255.254"
                                                        << "";
        QTest::newRow("first-last of exactly 65,536 addresses") << "10.1.0.0-10.1.255.255"
                                                                << "10.1.0.0-10.1.255.255"
                                                                << "";

        QTest::newRow("/15 larger than a /16") << "10.0.0.0/15"
                                               << ""
                                               << "larger than a /16 (131072 addresses)";
        QTest::newRow("/0 larger than a /16") << "10.0.0.0/0"
                                              << ""
                                              << "larger than a /16";
        QTest::newRow("first-last one past a /16") << "10.1.0.0-10.2.0.0"
                                                   << ""
                                                   << "larger than a /16";
        QTest::newRow("last before first") << "10.0.0.9-10.0.0.1"
                                           << ""
                                           << "holds no host address";
        QTest::newRow("prefix 33") << "10.0.0.0/33"
                                   << ""
                                   << "prefix length must be a number";
        QTest::newRow("prefix not a number") << "10.0.0.0/x"
                                             << ""
                                             << "prefix length must be a number";
        QTest::newRow("prefix signed") << "10.0.0.0/+24"
                                       << ""
                                       << "prefix length must be a number";
        QTest::newRow("empty prefix") << "10.0.0.0/"
                                      << ""
                                      << "prefix length must be a number";
        QTest::newRow("three numbers") << "10.0.0/24"
                                       << ""
                                       << "'10.0.0' is not an IPv4 address";
        QTest::newRow("number above 255") << "10.0.256.1"
                                          << ""
                                          << "is not a range";
        QTest::newRow("leading zero") << "10.0.0.010-10.0.0.20"
                                      << ""
                                      << "'10.0.0.010' is not an IPv4";
        QTest::newRow("hexadecimal number") << "0x0a.0.0.1/24"
                                            << ""
                                            << "is not an IPv4 address";
        QTest::newRow("empty end") << "10.0.0.1-"
                                   << ""
                                   << "'' is not an IPv4 address";
        QTest::newRow("host name") << "camera.local"
                                   << ""
                                   << "is not a range";
        QTest::newRow("IPv6") << "fe80::1/64"
                              << ""
                              << "is not an IPv4 address";
        QTest::newRow("empty text") << ""
                                    << ""
                                    << "is not a range";

        QTest::newRow("multicast") << "239.255.255.0/24"
                                   << ""
                                   << "multicast block 224.0.0.0/4";
        QTest::newRow("range running into multicast") << "223.255.255.200-224.0.0.5"
                                                      << ""
                                                      << "multicast block";
        QTest::newRow("loopback") << "127.0.0.1"
                                  << ""
                                  << "loopback block 127.0.0.0/8";
        QTest::newRow("limited broadcast") << "255.255.255.255"
                                           << ""
                                           << "broadcast block 240.0.0.0/4";
        QTest::newRow("reserved space") << "240.0.0.0/16"
                                        << ""
                                        << "reserved and broadcast block";
        QTest::newRow("this-network block") << "0.0.0.0/16"
                                            << ""
                                            << "\"this network\" block";
    }
    void parseOne()
    {
        QFETCH(QString, text);
        QFETCH(QString, hosts);
        QFETCH(QString, error);
        QString why;
        const auto range = tcAddressRange::parse(text, &why);
        QCOMPARE(range ? range->toString() : QString(), hosts);
        if (!error.isEmpty()) {
            QVERIFY2(why.contains(error), qPrintable(why));
            QVERIFY2(why.contains(text.trimmed()), "the message names the range at fault");
        }
    }

    void parseSeveral_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("ranges"); // after joining; empty when refused
        QTest::addColumn<int>("hostCount");
        QTest::addColumn<QString>("error");

        QTest::newRow("separate ranges sorted")
            << QStringList{"10.2.0.0/24", "10.1.0.0/30"}
            << QStringList{"10.1.0.1-10.1.0.2", "10.2.0.1-10.2.0.254"} << 256 << "";
        QTest::newRow("several in one text, commas and blanks")
            << QStringList{"10.1.0.0/30, 10.3.0.1 10.2.0.1 - 10.2.0.3"}
            << QStringList{"10.1.0.1-10.1.0.2", "10.2.0.1-10.2.0.3", "10.3.0.1"} << 6 << "";
        QTest::newRow("overlapping ranges counted once") << QStringList{"10.1.0.0/24", "10.1.0.100-10.1.1.10"}
                                                         << QStringList{"10.1.0.1-10.1.1.10"} << 266 << "";
        QTest::newRow("range inside another")
            << QStringList{"10.1.0.0/24", "10.1.0.7"} << QStringList{"10.1.0.1-10.1.0.254"} << 254 << "";
        QTest::newRow("adjacent ranges joined") << QStringList{"10.1.0.1-10.1.0.5", "10.1.0.6-10.1.0.9"}
                                                << QStringList{"10.1.0.1-10.1.0.9"} << 9 << "";
        QTest::newRow("the same /16 twice is 65,534 hosts")
            << QStringList{"10.98.0.0/16", "10.98.0.0/16"} << QStringList{"10.98.0.1-10.98.255.254"} << 65534
            << "";
        QTest::newRow("a /16 and one host more") << QStringList{"10.98.0.0/16", "10.97.0.1"} << QStringList{}
                                                 << 0 << "hold 65535 host addresses together; at most 65534";
        QTest::newRow("first-last of a whole /16 is two hosts too many")
            << QStringList{"10.1.0.0-10.1.255.255"} << QStringList{} << 0 << "65536 host addresses";
        QTest::newRow("one bad range refuses all")
            << QStringList{"10.1.0.0/24", "10.2.0.0/8"} << QStringList{} << 0 << "'10.2.0.0/8' is larger";
        QTest::newRow("blank text") << QStringList{"  "} << QStringList{} << 0 << "an empty range";
    }
    void parseSeveral()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, ranges);
        QFETCH(int, hostCount);
        QFETCH(QString, error);
        QString why;
        const auto parsed = tcAddressRanges::parse(texts, &why);
        QStringList shown;
        if (parsed) {
            for (const tcAddressRange& range : parsed->ranges())
                shown << range.toString();
        }
        QCOMPARE(shown, ranges);
        QCOMPARE(parsed ? int(parsed->hostCount()) : 0, hostCount);
        if (!error.isEmpty())
            QVERIFY2(why.contains(error), qPrintable(why));
    }

    // The prober walks the hosts by index; every host once, in ascending order.
    void hostsByIndex()
    {
        const auto parsed =
            tcAddressRanges::parse({"10.1.0.0/30", "10.1.0.9-10.1.0.10", "10.3.0.1"}, nullptr);
        QVERIFY(parsed);
        QStringList hosts;
        for (quint32 i = 0; i < parsed->hostCount(); ++i)
            hosts << QHostAddress(parsed->hostAt(i)).toString();
        QCOMPARE(hosts, (QStringList{"10.1.0.1", "10.1.0.2", "10.1.0.9", "10.1.0.10", "10.3.0.1"}));
    }

    void contains_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("inside");
        QTest::newRow("first host") << "10.20.0.1" << true;
        QTest::newRow("last host") << "10.20.3.254" << true;
        QTest::newRow("network address") << "10.20.0.0" << false;
        QTest::newRow("broadcast address") << "10.20.3.255" << false;
        QTest::newRow("the other range") << "192.168.7.7" << true;
        QTest::newRow("between the ranges") << "10.20.4.1" << false;
        QTest::newRow("IPv4-mapped IPv6 form") << "::ffff:10.20.1.1" << true;
        QTest::newRow("IPv6 address") << "fe80::1" << false;
        QTest::newRow("null address") << "" << false;
    }
    void contains()
    {
        QFETCH(QString, address);
        QFETCH(bool, inside);
        const auto parsed = tcAddressRanges::parse({"10.20.0.0/22", "192.168.7.7"}, nullptr);
        QVERIFY(parsed);
        QCOMPARE(parsed->contains(QHostAddress(address)), inside);
    }
};

QTEST_APPLESS_MAIN(tst_AddressRange)
#include "tst_addressrange.moc"
