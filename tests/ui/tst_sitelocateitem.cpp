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
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("texts");
        const int ip = tcSiteList::colAddress;
        QTest::newRow("ties keep their order") << ip << QStringList{"", "10.0.0.2", "", "", "10.0.0.1"};
        QTest::newRow("texts that are no address")
            << ip << QStringList{"2.0.0.0", "10.0.0.0", "1x", "host", "10.0.0.0.1", "0.0.0.0", "1.1.1.1"};
        QTest::newRow("ports") << int(tcSiteList::colPort) << QStringList{"8080", "80", "x", "443", "80"};
        QTest::newRow("names") << int(tcSiteList::colSiteName) << QStringList{"b", "B", "a", "", "Ä", "a"};
    }
    void listOrderMatchesTree()
    {
        QFETCH(int, column);
        QFETCH(QStringList, texts);
        tcSiteList list;
        QTreeWidget tree;
        tree.setColumnCount(tcSiteList::columnCount);
        for (int i = 0; i < texts.size(); ++i) {
            tpVideoDevice device(new tcVideoDevice(nullptr));
            // Distinct addresses keep every report a row of its own; only the column under
            // test shows the row's text.
            device->siteName = column == tcSiteList::colSiteName ? texts[i] : QString::number(i);
            device->ipAddress =
                column == tcSiteList::colAddress ? texts[i] : QStringLiteral("10.9.9.%1").arg(i);
            device->webPort = quint16(column == tcSiteList::colPort ? texts[i].toUInt() : 80);
            device->type = Onvif;
            const auto merge = list.merge(device);
            QVERIFY(merge.added);
            const tcSiteList::Texts& rowTexts = list.texts(merge.row);
            auto* item = new tcSiteLocateItem(QStringList(rowTexts.begin(), rowTexts.end()));
            item->setData(0, Qt::UserRole, i);
            tree.addTopLevelItem(item);
        }
        tree.sortItems(column, Qt::AscendingOrder);
        QVector<int> treeOrder;
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            treeOrder << tree.topLevelItem(i)->data(0, Qt::UserRole).toInt();
        QCOMPARE(list.sortedRows(column), treeOrder);
    }
};

QTEST_MAIN(tst_SiteLocateItem)
#include "tst_sitelocateitem.moc"
