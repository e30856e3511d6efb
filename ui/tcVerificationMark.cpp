#include "tcVerificationMark.h"

#include <QCoreApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTreeWidgetItem>

namespace {

// Drawn here rather than taken from a theme, so the marks look the same everywhere.
QIcon mark(tcVerification::State state)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    QColor color;
    switch (state) {
    case tcVerification::Confirmed:
        color = QColor(0x3f, 0xb9, 0x50);
        path.moveTo(6, 17);
        path.lineTo(13, 24);
        path.lineTo(26, 8);
        break;
    case tcVerification::NotConfirmed:
        color = QColor(0xe0, 0x4b, 0x3a);
        path.moveTo(8, 8);
        path.lineTo(24, 24);
        path.moveTo(24, 8);
        path.lineTo(8, 24);
        break;
    case tcVerification::NotChecked:
        color = QColor(0x8a, 0x8f, 0x98);
        path.moveTo(8, 16);
        path.lineTo(24, 16);
        break;
    }
    painter.setPen(QPen(color, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    return QIcon(pixmap);
}

QString tr(const char* text)
{
    return QCoreApplication::translate("tcVerificationMark", text);
}

} // namespace

void showVerification(QTreeWidgetItem* item, int statusColumn, int ipColumn, const tcVerification& v)
{
    static const char* const stateTexts[] = {QT_TRANSLATE_NOOP("tcVerificationMark", "Not checked"),
                                             QT_TRANSLATE_NOOP("tcVerificationMark", "Confirmed"),
                                             QT_TRANSLATE_NOOP("tcVerificationMark", "Not confirmed")};
    const QString state = tr(stateTexts[v.state]);
    item->setIcon(statusColumn, mark(v.state));
    item->setToolTip(statusColumn, v.reason.isEmpty() ? state : state + QLatin1String(": ") + v.reason);
    if (v.state != tcVerification::Confirmed || !v.seen || ipColumn < 0)
        return;
    const auto device = item->data(0, Qt::UserRole).value<tpVideoDevice>();
    if (device) {
        // The row's record now tells where the device answers: its web page and a next
        // change go there.
        device->ipAddress = v.seen->ipAddress;
        device->addressMode = v.seen->addressMode;
    }
    item->setText(ipColumn, v.seen->ipAddress);
    if (v.seen->addressMode <= 1)
        item->setText(ipColumn + 1,
                      v.seen->addressMode == 1 ? QStringLiteral("dhcp") : QStringLiteral("static"));
}

QString verificationSummary(int confirmed, int notConfirmed, int notChecked)
{
    const int changed = confirmed + notConfirmed + notChecked;
    if (changed == 0)
        return QString();
    QString text = tr("Changes confirmed: %1 of %2").arg(confirmed).arg(changed);
    QStringList rest;
    if (notConfirmed > 0)
        rest << tr("%1 not confirmed").arg(notConfirmed);
    if (notChecked > 0)
        rest << tr("%1 not checked").arg(notChecked);
    if (!rest.isEmpty())
        text += QLatin1String(" (") + rest.join(QLatin1String(", ")) + QLatin1Char(')');
    return text + QLatin1Char('.');
}
