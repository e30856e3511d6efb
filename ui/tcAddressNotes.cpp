#include "tcAddressNotes.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("tcAddressNotes", text);
}

} // namespace

tcAddressNote addressNote(const tcSiteList& list, int row)
{
    tcAddressNote note;
    const QVector<int> others = list.conflictingRows(row);
    QStringList notes;
    if (!others.isEmpty()) {
        note.conflict = true;
        QStringList labels;
        for (int other : others) {
            const tcSiteList::Texts& texts = list.texts(other);
            labels << deviceLabel(texts[tcSiteList::colSiteName], texts[tcSiteList::colMac]);
        }
        notes << tr("Address conflict: %1 is also used by %2. Only one of the devices can be reached "
                    "at this address.")
                     .arg(list.address(row).toHtmlEscaped(),
                          labels.join(QStringLiteral(", ")).toHtmlEscaped());
    }
    if (list.isOtherSubnet(row)) {
        const QString& subnets = list.probedSubnetsText();
        notes << tr("Other subnet: this device answered, but its web page may not open from this "
                    "workstation. %1 lies in no subnet of the interfaces the scanner probed (%2) and in "
                    "no range swept; "
                    "discovery replies reach this workstation on the same cable by broadcast or "
                    "multicast, while a web page needs a route to the device's subnet.")
                     .arg(list.address(row).toHtmlEscaped(), subnets.isEmpty() ? tr("none") : subnets);
    }
    // As paragraphs of rich text, which a tooltip wraps. Names and addresses come from
    // the network and are escaped where they go in; the sentences are ours.
    for (const QString& text : qAsConst(notes))
        note.tip += QLatin1String("<p>") + text + QLatin1String("</p>");
    return note;
}
