#include "tcSiteLocateItem.h"

#include "tcSiteList.h"

tcSiteLocateItem::tcSiteLocateItem(const QStringList& texts) : QTreeWidgetItem(texts, Type) {}

bool tcSiteLocateItem::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    return tcSiteList::sortsBefore(column, text(column), other.text(column));
}

void tcSiteLocateItem::setNote(const tcNoteSource* source, int column, int listRow)
{
    m_noteSource = source;
    m_noteColumn = column;
    m_listRow = listRow;
}

QVariant tcSiteLocateItem::data(int column, int role) const
{
    if (role == Qt::ToolTipRole && m_noteSource && column == m_noteColumn)
        return (*m_noteSource)(m_listRow);
    return QTreeWidgetItem::data(column, role);
}
