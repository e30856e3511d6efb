// What the scan command says about interfaces and replies: the --interfaces listing, the
// check of --interface names, and the reply counts of --verbose and the window's tooltip.

#include "tcScanInterfaces.h"
#include "tcSiteLocate.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<tcInterfaceChoice>)

namespace {

using Counts = QMap<QString, QMap<QString, int>>;

tcInterfaceChoice choice(const char* name, const char* reason, QStringList addresses = {},
                         const char* systemName = "")
{
    tcInterfaceChoice c;
    c.info.humanReadableName = QLatin1String(name);
    c.info.name = QLatin1String(systemName);
    c.skipReason = QLatin1String(reason);
    for (const QString& text : addresses) {
        QNetworkAddressEntry entry;
        entry.setIp(QHostAddress(text.section(QLatin1Char('/'), 0, 0)));
        entry.setNetmask(QHostAddress(text.section(QLatin1Char('/'), 1, 1)));
        c.ipv4.append(entry);
    }
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Counts)

class tst_ScanInterfaces : public QObject
{
    Q_OBJECT
private slots:
    void listing_data()
    {
        QTest::addColumn<QList<tcInterfaceChoice>>("choices");
        QTest::addColumn<QString>("expected");
        QTest::newRow("picked addresses and skipped interfaces, each in aligned columns")
            << QList<tcInterfaceChoice>{choice("lo", "loopback"),
                                        choice("eth0", "",
                                               {"10.99.0.1/255.255.0.0", "192.168.100.20/255.255.255.0"}),
                                        choice("Ethernet 2", "", {"172.16.0.9/255.255.240.0"}, "{4A1B}"),
                                        choice("tun0", "point-to-point")}
            << "Picked:\n"
               "  eth0                 10.99.0.1       255.255.0.0\n"
               "  eth0                 192.168.100.20  255.255.255.0\n"
               "  Ethernet 2 ({4A1B})  172.16.0.9      255.255.240.0\n"
               "Skipped:\n"
               "  lo    loopback\n"
               "  tun0  point-to-point\n";
        QTest::newRow("nothing picked") << QList<tcInterfaceChoice>{choice("lo", "loopback")}
                                        << "Picked:\n  none\nSkipped:\n  lo  loopback\n";
    }
    void listing()
    {
        QFETCH(QList<tcInterfaceChoice>, choices);
        QFETCH(QString, expected);
        QCOMPARE(interfacesText(choices), expected);
    }

    void names_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("error");
        QTest::newRow("system and human-readable names of picked interfaces")
            << QStringList{"{4A1B}", "eth0"} << QString();
        QTest::newRow("a name no interface has")
            << QStringList{"eth0", "eth9"} << "no interface is named 'eth9' (see --interfaces)";
        QTest::newRow("an interface the rule skips")
            << QStringList{"lo"} << "interface 'lo' is skipped: loopback";
    }
    void names()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, error);
        const QList<tcInterfaceChoice> choices{choice("lo", "loopback"),
                                               choice("eth0", "", {"10.0.0.1/255.0.0.0"}),
                                               choice("Ethernet 2", "", {"10.1.0.1/255.0.0.0"}, "{4A1B}")};
        QCOMPARE(checkInterfaceNames(names, choices), error);
    }

    void replyCounts_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<QString>("expected");
        const QString title = QStringLiteral("Replies per interface and protocol:");
        QTest::newRow("none") << Counts() << title + " none";
        QTest::newRow("interfaces by name, every protocol in the coordinator's order, 0 where none came")
            << Counts{{"zlscan0", {{"ONVIF", 12}, {"PQ", 2}}}, {"eth1", {{"Bridge", 1}}}}
            << title + "\neth1: Norvo 1.0 0, ONVIF 0, PQ 0, Bridge 1\nzlscan0: Norvo 1.0 0, ONVIF 12, PQ 2, "
                       "Bridge 0";
    }
    void replyCounts()
    {
        QFETCH(Counts, counts);
        QFETCH(QString, expected);
        QCOMPARE(replyCountsText(counts, {"Norvo 1.0", "ONVIF", "PQ", "Bridge"}), expected);
    }
};

QTEST_GUILESS_MAIN(tst_ScanInterfaces)
#include "tst_scaninterfaces.moc"
