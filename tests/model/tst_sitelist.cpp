#include "report.h"
#include "tcSiteList.h"

#include <QtTest>

#include <functional>

using zltest::report;

namespace {

const QString kAddrA = QStringLiteral("10.1.0.5");
const QString kAddrB = QStringLiteral("10.1.0.6");
const QString kMacA = QStringLiteral("00:1a:2b:3c:4d:5e");

// The filter of one kind button: 0 bridges, 1 recorders, 2 cameras, 3 speakers, 4 other.
tcKindFilter only(int button)
{
    tcKindFilter filter;
    bool* flags[] = {&filter.bridges, &filter.recorders, &filter.cameras, &filter.speakers, &filter.other};
    for (int i = 0; i < 5; ++i)
        *flags[i] = i == button;
    return filter;
}

} // namespace

using Reports = QVector<tpVideoDevice>;

class tst_SiteList : public QObject
{
    Q_OBJECT
private slots:
    void newRowTexts()
    {
        tcSiteList list;
        list.merge(report(Norvo1Cam, kAddrA, kMacA, [](tcVideoDevice& d) {
            d.siteName = QStringLiteral("Gate");
            d.cloudId = QStringLiteral("QR-77");
            d.model = QString();
            d.addressMode = 1;
            d.webPort = 81;
            d.altPort = 8080;
            d.firmware = QStringLiteral("2.4.1");
        }));
        const tcSiteList::Texts& texts = list.texts(0);
        const QStringList expected{"Gate", "QR-77",         "Unknown",   kAddrA,  "dhcp",
                                   "8080", kMacA.toUpper(), "Norvo 1.0", "2.4.1", ""};
        QCOMPARE(QStringList(texts.begin(), texts.end()), expected);
    }

    // Two reports of one camera: the protocol shown after both, in either order.
    void mergeOrder_data()
    {
        QTest::addColumn<int>("firstType");
        QTest::addColumn<int>("secondType");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("type");
        QTest::newRow("norvo 1.0 then onvif second generation upgrades")
            << int(Norvo1Cam) << int(Norvo2Cam) << "Norvo 2.0" << int(Norvo2Cam);
        QTest::newRow("norvo 1.0 then plain onvif stays first generation")
            << int(Norvo1Cam) << int(Onvif) << "Norvo 1.0" << int(Norvo1Cam);
        QTest::newRow("pq-series takes over a camera row")
            << int(Norvo2Cam) << int(PQSeries) << "PQ/PW" << int(PQSeries);
    }
    void mergeOrder()
    {
        QFETCH(int, firstType);
        QFETCH(int, secondType);
        QFETCH(QString, protocol);
        QFETCH(int, type);
        tcSiteList list;
        const tpVideoDevice first = report(firstType, kAddrA, kMacA);
        list.merge(first);
        const auto merge = list.merge(report(secondType, kAddrA, kMacA));
        QVERIFY(!merge.added);
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.texts(0)[tcSiteList::colProtocol], protocol);
        QCOMPARE(list.type(0), type);
        // the listed record is the first one, edited in place
        QVERIFY(list.device(0) == first);
        QCOMPARE(first->type, type);
        QCOMPARE(merge.typeChanged, type != firstType);
        QCOMPARE(bool(merge.changedColumns & (1u << tcSiteList::colProtocol)), type != firstType);
    }

    // Reports merged in order; the name and MAC texts of row 0 and the number of rows.
    void fillTexts_data()
    {
        QTest::addColumn<Reports>("reports");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<int>("rows");
        const auto named = [](const QString& name) {
            return [name](tcVideoDevice& d) { d.siteName = name; };
        };
        QTest::newRow("name first, the mac only from a later report, a listed name never replaced")
            << Reports{report(Onvif, kAddrA, QString()), report(Onvif, kAddrA, kMacA, named("Lobby")),
                       report(Onvif, kAddrA, kMacA), report(Onvif, kAddrA, kMacA, named("Hall"))}
            << "Lobby" << kMacA.toUpper() << 1;
        QTest::newRow("a filled-in mac matches a later report from another address")
            << Reports{report(Onvif, kAddrA, QString(), named("Lobby")), report(Onvif, kAddrA, kMacA),
                       report(PQSeries, kAddrB, kMacA)}
            << "Lobby" << kMacA.toUpper() << 1;
        QTest::newRow("mac matches regardless of case")
            << Reports{report(Onvif, kAddrA, kMacA), report(Onvif, kAddrB, kMacA.toUpper())} << ""
            << kMacA.toUpper() << 1;
        QTest::newRow("address only and mac only reports of one device stay apart")
            << Reports{report(Onvif, kAddrA, QString()), report(Onvif, QString(), kMacA)} << ""
            << "" << 2;
        QTest::newRow("empty address and empty mac never match")
            << Reports{report(Onvif, QString(), QString()), report(Onvif, QString(), QString())} << ""
            << "" << 2;
    }
    void fillTexts()
    {
        QFETCH(Reports, reports);
        QFETCH(QString, name);
        QFETCH(QString, mac);
        QFETCH(int, rows);
        tcSiteList list;
        for (const tpVideoDevice& device : reports)
            list.merge(device);
        QCOMPARE(list.count(), rows);
        QCOMPARE(list.texts(0)[tcSiteList::colSiteName], name);
        QCOMPARE(list.texts(0)[tcSiteList::colMac], mac);
    }

    // Reports merged in order; per row, how many other rows share its address, and the
    // name of the first row.
    void addressConflicts_data()
    {
        QTest::addColumn<Reports>("reports");
        QTest::addColumn<QString>("conflicts");
        QTest::addColumn<QString>("firstName");
        const QString macB = QStringLiteral("00:1a:2b:3c:4d:5f"), macC = QStringLiteral("00:1a:2b:3c:4d:60");
        const auto named = [](const QString& name) {
            return [name](tcVideoDevice& d) { d.siteName = name; };
        };
        QTest::newRow("two MACs on one address are two rows, each in conflict")
            << Reports{report(Onvif, kAddrA, kMacA), report(Onvif, kAddrA, macB)} << "1,1"
            << "";
        QTest::newRow("three devices on one address")
            << Reports{report(Onvif, kAddrA, kMacA), report(Onvif, kAddrA, macB), report(Onvif, kAddrA, macC),
                       report(Onvif, kAddrA, macB)}
            << "2,2,2"
            << "";
        QTest::newRow("the same MAC in another case is the same device")
            << Reports{report(Onvif, kAddrA, kMacA), report(Onvif, kAddrA, kMacA.toUpper())} << "0"
            << "";
        QTest::newRow("a report without a MAC merges into the earliest row on its address")
            << Reports{report(Onvif, kAddrA, kMacA), report(Onvif, kAddrA, macB),
                       report(Onvif, kAddrA, QString(), named("Lobby"))}
            << "1,1"
            << "Lobby";
        QTest::newRow("a row without a MAC takes the first report with one")
            << Reports{report(Onvif, kAddrA, QString(), named("Lobby")), report(Onvif, kAddrA, kMacA)} << "0"
            << "Lobby";
        QTest::newRow("a MAC filled in later tells the next device apart")
            << Reports{report(Onvif, kAddrA, QString(), named("Lobby")), report(Onvif, kAddrA, kMacA),
                       report(Onvif, kAddrA, macB, named("Hall"))}
            << "1,1"
            << "Lobby";
        QTest::newRow("a MAC match goes to its own row, not the device on the address")
            << Reports{report(Onvif, kAddrA, kMacA), report(Onvif, kAddrB, macB), report(Onvif, kAddrA, macB)}
            << "0,0"
            << "";
        QTest::newRow("rows without an address are never in conflict")
            << Reports{report(Onvif, QString(), kMacA), report(Onvif, QString(), macB)} << "0,0"
            << "";
    }
    void addressConflicts()
    {
        QFETCH(Reports, reports);
        QFETCH(QString, conflicts);
        QFETCH(QString, firstName);
        tcSiteList list;
        for (const tpVideoDevice& device : reports)
            list.merge(device);
        QStringList counts;
        for (int row = 0; row < list.count(); ++row) {
            counts << QString::number(list.conflictingRows(row).size());
            QCOMPARE(list.hasAddressConflict(row), !list.conflictingRows(row).isEmpty());
        }
        QCOMPARE(counts.join(','), conflicts);
        QCOMPARE(list.texts(0)[tcSiteList::colSiteName], firstName);
    }

    // The fields a later report carries onto the listed record, and the row's texts:
    // "alternative address|mode|cloud id|pq camera|mode text|cloud id text".
    void carriedFields_data()
    {
        QTest::addColumn<tpVideoDevice>("listed");
        QTest::addColumn<tpVideoDevice>("later");
        QTest::addColumn<QString>("expected");

        const auto with = [](const QString& alt, int mode, const QString& cloud, bool pq) {
            return [=](tcVideoDevice& d) {
                d.altAddress = alt;
                d.addressMode = quint8(mode);
                d.cloudId = cloud;
                d.pqCamera = pq;
            };
        };
        QTest::newRow("everything new is taken over, the alternative address replaced")
            << report(Norvo2Cam, kAddrA, kMacA, with("169.254.1.1", 2, "", false))
            << report(PQSeries, kAddrA, kMacA, with("169.254.3.4", 0, "QR-1", true))
            << "169.254.3.4|0|QR-1|1|static|QR-1";
        QTest::newRow("any reported mode other than static shows dhcp")
            << report(Norvo2Cam, kAddrA, kMacA) << report(Onvif, kAddrA, kMacA, with("", 5, "", false))
            << "|5||0|dhcp|";
        QTest::newRow("a known mode, cloud id and camera flag are kept")
            << report(Norvo2Cam, kAddrA, kMacA, with("169.254.1.1", 0, "QR-1", true))
            << report(Onvif, kAddrA, kMacA, with("", 1, "QR-2", false)) << "169.254.1.1|0|QR-1|1|static|QR-1";
    }
    void carriedFields()
    {
        QFETCH(tpVideoDevice, listed);
        QFETCH(tpVideoDevice, later);
        QFETCH(QString, expected);
        tcSiteList list;
        list.merge(listed);
        list.merge(later);
        QCOMPARE(list.count(), 1);
        QVERIFY(list.device(0) == listed);
        const tcSiteList::Texts& texts = list.texts(0);
        QCOMPARE(QStringList({listed->altAddress, QString::number(listed->addressMode), listed->cloudId,
                              QString::number(listed->pqCamera), texts[tcSiteList::colAddressType],
                              texts[tcSiteList::colCloudId]})
                     .join('|'),
                 expected);
    }

    // Which of the five kind buttons shows a row, as a mask in button order:
    // bridges, recorders, cameras, speakers, other.
    void visibility_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("shownBy");
        QTest::newRow("1 bridge v2") << 1 << "ZL V2"
                                     << "10000";
        QTest::newRow("3 norvo 1.0 camera") << 3 << "NC-310"
                                            << "00100";
        QTest::newRow("5 speaker in the model") << 5 << "IP Speaker 20W"
                                                << "00010";
        QTest::newRow("4 loudspeaker, any case") << 4 << "LOUDSPEAKER"
                                                 << "00010";
        QTest::newRow("3 intercom") << 3 << "Door Intercom"
                                    << "00010";
        QTest::newRow("4 model beginning with spip") << 4 << "SPIP-100"
                                                     << "00010";
        QTest::newRow("4 spip inside the model is a camera") << 4 << "X-SPIP"
                                                             << "00100";
        QTest::newRow("6 pq-series speaker is still a recorder") << 6 << "Speaker"
                                                                 << "01000";
        QTest::newRow("11 pq-series qr") << 11 << "PQ/PW"
                                         << "00000";
        QTest::newRow("13 ostra decoder") << 13 << "Onvif?"
                                          << "00001";
    }
    void visibility()
    {
        QFETCH(int, type);
        QFETCH(QString, model);
        QFETCH(QString, shownBy);
        tcSiteList list;
        list.merge(report(type, kAddrA, kMacA, [&](tcVideoDevice& d) { d.model = model; }));
        for (int i = 0; i < 5; ++i)
            QVERIFY2(list.isVisible(0, only(i)) == (shownBy[i] == QLatin1Char('1')), qPrintable(shownBy));
    }
};

QTEST_GUILESS_MAIN(tst_SiteList)
#include "tst_sitelist.moc"
