#include "tcSiteLocateItem.h"

#include "tcSiteList.h"

tcSiteLocateItem::tcSiteLocateItem(const QStringList& texts) : QTreeWidgetItem(texts, Type) {}

bool tcSiteLocateItem::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    return tcSiteList::sortsBefore(column, text(column), other.text(column));
}
