#include "tcRangeEntry.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {
// Multicast and broadcast stop at the first router; which protocols reach further is the
// first thing a user of this entry needs to know.
const char* const kReach =
    QT_TRANSLATE_NOOP("tcRangeEntry", "Only ONVIF cameras and bridges answer across routers; Norvo 1.0 and "
                                      "PQ-series devices are found on the local segment only.");
} // namespace

tcRangeEntry::tcRangeEntry(QWidget* apParent) : QPushButton(apParent)
{
    setObjectName(QStringLiteral("btnRanges"));
    connect(this, &QPushButton::clicked, this, &tcRangeEntry::slot_editRanges);
    showRanges();
}

QString tcRangeEntry::setRangesText(const QString& text)
{
    QString error;
    std::optional<tcAddressRanges> parsed = tcAddressRanges();
    if (!text.trimmed().isEmpty())
        parsed = tcAddressRanges::parse({text}, &error);
    if (!parsed)
        return error;
    m_ranges = *parsed;
    m_text = text.trimmed();
    showRanges();
    emit sig_rangesChanged();
    return QString();
}

void tcRangeEntry::slot_editRanges()
{
    QInputDialog dialog(window());
    dialog.setObjectName(QStringLiteral("dlgRanges"));
    dialog.setWindowTitle(tr("Other Subnets"));
    dialog.setLabelText(tr("IPv4 ranges whose hosts every Refresh also queries, for this session only:\n"
                           "a network such as 10.20.0.0/22 or first and last address such as\n"
                           "10.20.0.1-10.20.3.254, several separated by commas.\n%1")
                            .arg(tr(kReach)));
    dialog.setTextValue(m_text);
    if (auto* edit = dialog.findChild<QLineEdit*>())
        edit->setObjectName(QStringLiteral("edtRanges"));
    while (dialog.exec() == QDialog::Accepted) {
        const QString error = setRangesText(dialog.textValue());
        if (error.isEmpty())
            return;
        QMessageBox::warning(&dialog, tr("Invalid Entry"), error);
    }
}

void tcRangeEntry::showRanges()
{
    if (m_ranges.isEmpty()) {
        setText(tr("Subnets..."));
        setToolTip(tr("Query hosts of other subnets by unicast as well. %1").arg(tr(kReach)));
        return;
    }
    setText(tr("Subnets (%1 hosts)...").arg(m_ranges.hostCount()));
    QStringList ranges;
    for (const tcAddressRange& range : m_ranges.ranges())
        ranges << range.toString();
    setToolTip(tr("Every Refresh also queries %1 by unicast. %2")
                   .arg(ranges.join(QStringLiteral(", ")), tr(kReach)));
}
