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
        QTest::newRow("addresses by number, unsigned, an empty one by text")
            << int(tcSiteList::colAddress)
            << QStringList{"200.1.1.1", "10.0.0.10", "", "10.0.0.9", "128.0.0.1"}
            << QStringList{"", "10.0.0.9", "10.0.0.10", "128.0.0.1", "200.1.1.1"};
        QTest::newRow("ports by number") << int(tcSiteList::colPort) << QStringList{"8080", "80", "443"}
                                         << QStringList{"80", "443", "8080"};
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

    // The headless scan command prints rows in sortedRows() order; it must be the order
    // the window's tree shows after sorting, including ties and texts that are no address.
    void listOrderMatchesTree_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("ties keep their order") << QStringList{"", "10.0.0.2", "", "", "10.0.0.1"};
        QTest::newRow("texts that are no address")
            << QStringList{"2.0.0.0", "10.0.0.0", "1x", "host", "10.0.0.0.1", "0.0.0.0", "1.1.1.1"};
    }
    void listOrderMatchesTree()
    {
        QFETCH(QStringList, addresses);
        tcSiteList list;
        QTreeWidget tree;
        tree.setColumnCount(tcSiteList::columnCount);
        for (int i = 0; i < addresses.size(); ++i) {
            tpVideoDevice device(new tcVideoDevice(nullptr));
            device->ipAddress = addresses[i];
            const auto merge = list.merge(device);
            QVERIFY(merge.added);
            const tcSiteList::Texts& rowTexts = list.texts(merge.row);
            auto* item = new tcSiteLocateItem(QStringList(rowTexts.begin(), rowTexts.end()));
            item->setData(0, Qt::UserRole, i);
            tree.addTopLevelItem(item);
        }
        tree.sortItems(tcSiteList::colAddress, Qt::AscendingOrder);
        QVector<int> treeOrder;
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            treeOrder << tree.topLevelItem(i)->data(0, Qt::UserRole).toInt();
        QCOMPARE(list.sortedRows(tcSiteList::colAddress), treeOrder);
    }
};

QTEST_MAIN(tst_SiteLocateItem)
#include "tst_sitelocateitem.moc"
