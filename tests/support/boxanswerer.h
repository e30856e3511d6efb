#pragma once
// Answers the modal message boxes that come up while it lives and records what each one
// showed. A box runs its own event loop, in which the poll timer fires.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace zltest {

struct tcBoxSeen
{
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class tcBoxAnswerer : public QObject
{
public:
    // Clicks `answer` on every box (or closes it when it has no such button). With
    // rejectDialogs, any other modal dialog is closed too and its class name recorded.
    explicit tcBoxAnswerer(QMessageBox::StandardButton answer, bool rejectDialogs = false)
    {
        connect(&m_poll, &QTimer::timeout, this, [this, answer, rejectDialogs] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                if (!box->isVisible())
                    return;
                seen.append({true, box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                             box->standardButton(box->defaultButton())});
                if (QAbstractButton* button = box->button(answer))
                    button->click();
                else
                    box->reject();
            } else if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && rejectDialogs) {
                dialogs << QString::fromLatin1(dialog->metaObject()->className());
                dialog->reject();
            }
        });
        m_poll.start(5);
    }
    // The first box, or an empty record with shown false.
    tcBoxSeen first() const { return seen.value(0); }

    QList<tcBoxSeen> seen;
    QStringList dialogs;

private:
    QTimer m_poll;
};

} // namespace zltest
