#include "tcSiteLocateItem.h"

#include "tcSiteList.h"

#include <QHostAddress>

tcSiteLocateItem::tcSiteLocateItem(const QStringList& texts) : QTreeWidgetItem(texts, Type) {}

bool tcSiteLocateItem::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (column == tcSiteList::colAddress) {
        const quint32 mine = QHostAddress(text(column)).toIPv4Address();
        const quint32 theirs = QHostAddress(other.text(column)).toIPv4Address();
        if (mine != 0 && theirs != 0)
            return mine < theirs;
    } else if (column == tcSiteList::colPort) {
        return text(column).toInt() < other.text(column).toInt();
    }
    return QTreeWidgetItem::operator<(other);
}
