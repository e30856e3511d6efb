#include "tcSiteList.h"
#include "tcSiteLocateItem.h"

#include <QtTest>

class tst_SiteLocateItem : public QObject
{
    Q_OBJECT
private slots:
    void ordering_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("sorted");
        const int ip = tcSiteList::colAddress;
        QTest::newRow("addresses by number, not by text")
            << ip << QStringList{"192.168.1.20", "192.168.1.3"} << QStringList{"192.168.1.3", "192.168.1.20"};
        QTest::newRow("10.0.0.9 before 10.0.0.10") << ip << QStringList{"10.0.0.10", "10.0.0.9", "9.0.0.1"}
                                                   << QStringList{"9.0.0.1", "10.0.0.9", "10.0.0.10"};
        QTest::newRow("an empty address is ordered by text")
            << ip << QStringList{"192.168.1.20", "", "192.168.1.3"}
            << QStringList{"", "192.168.1.3", "192.168.1.20"};
        QTest::newRow("unsigned comparison above 128.0.0.0")
            << ip << QStringList{"200.1.1.1", "10.1.1.1", "128.0.0.1"}
            << QStringList{"10.1.1.1", "128.0.0.1", "200.1.1.1"};
        QTest::newRow("port by number") << int(tcSiteList::colPort) << QStringList{"8080", "80", "443"}
                                        << QStringList{"80", "443", "8080"};
        QTest::newRow("address type by text")
            << int(tcSiteList::colAddressType) << QStringList{"static", "dhcp", ""}
            << QStringList{"", "dhcp", "static"};
        QTest::newRow("name by text") << int(tcSiteList::colSiteName) << QStringList{"Lobby", "Dock", "Gate"}
                                      << QStringList{"Dock", "Gate", "Lobby"};
    }
    void ordering()
    {
        QFETCH(int, column);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, sorted);
        QTreeWidget tree;
        tree.setColumnCount(tcSiteList::columnCount);
        for (const QString& text : texts) {
            auto* item = new tcSiteLocateItem;
            item->setText(column, text);
            tree.addTopLevelItem(item);
        }
        tree.sortItems(column, Qt::AscendingOrder);
        QStringList order;
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            order << tree.topLevelItem(i)->text(column);
        QCOMPARE(order, sorted);
    }

    void rowIsOfItemTypeZero() { QCOMPARE(tcSiteLocateItem().type(), 0); }
};

QTEST_MAIN(tst_SiteLocateItem)
#include "tst_sitelocateitem.moc"
