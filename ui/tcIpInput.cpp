#include "tcIpInput.h"

#include "tcIPv4.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>

tcIpInput::tcIpInput(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // While typing, the validator accepts only texts that can still become 0-255
    // without a leading zero.
    const QRegularExpression octet(QStringLiteral("^(0|[1-9]|[1-9][0-9]|1[0-9][0-9]|2([0-4][0-9]|5[0-5]))$"));
    for (std::size_t i = 0; i < m_edits.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->installEventFilter(this);
        layout->addWidget(edit, 1);
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        QFont font = edit->font();
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
        edit->setFont(font);
        edit->setValidator(new QRegularExpressionValidator(octet, edit));
        m_edits[i] = edit;
        if (i + 1 < m_edits.size())
            layout->addWidget(new QLabel(QStringLiteral("."), this), 0);
    }
    // Queued: the slot must see the field after it has taken the key.
    connect(this, &tcIpInput::signalTextChanged, this, &tcIpInput::slotTextChanged, Qt::QueuedConnection);
}

tcIpInput::~tcIpInput() = default;

QString tcIpInput::text() const
{
    QStringList octets;
    for (const QLineEdit* edit : m_edits) {
        const QString octet = edit->text();
        if (octet.isEmpty() || octet.toInt() > 255)
            return QString();
        octets << octet;
    }
    return octets.join(QLatin1Char('.'));
}

bool tcIpInput::isValidAddress(const QString& address)
{
    return parseIPv4(address).has_value();
}

void tcIpInput::goBack(int index)
{
    if (index == 0)
        return;
    QLineEdit* edit = m_edits[std::size_t(index - 1)];
    edit->setFocus();
    edit->setCursorPosition(edit->text().size());
}

void tcIpInput::goForward(int index)
{
    if (index + 1 >= int(m_edits.size()))
        return;
    QLineEdit* edit = m_edits[std::size_t(index + 1)];
    edit->setFocus();
    // all selected, with the cursor at the start
    edit->setSelection(edit->text().size(), -edit->text().size());
}

bool tcIpInput::eventFilter(QObject* watched, QEvent* event)
{
    const auto found = std::find(m_edits.cbegin(), m_edits.cend(), watched);
    if (event->type() == QEvent::KeyPress && found != m_edits.cend()) {
        const int index = int(found - m_edits.cbegin());
        QLineEdit* edit = *found;
        const QString text = edit->text();
        // The key always reaches the field afterwards; its validator refuses a '.', a ','
        // or a second leading '0'.
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Backspace:
            if (text.isEmpty() || edit->cursorPosition() == 0)
                goBack(index);
            break;
        case Qt::Key_Left:
            if (edit->cursorPosition() == 0)
                goBack(index);
            break;
        case Qt::Key_Right:
            if (text.isEmpty() || edit->cursorPosition() == text.size())
                goForward(index);
            break;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            if (!text.isEmpty())
                goForward(index);
            break;
        case Qt::Key_0:
            if (text.isEmpty() || text == QLatin1String("0")) {
                edit->setText(QStringLiteral("0"));
                goForward(index);
            }
            emit signalTextChanged(edit);
            break;
        default: emit signalTextChanged(edit);
        }
    }
    return QFrame::eventFilter(watched, event);
}

void tcIpInput::slotTextChanged(QLineEdit* pEdit)
{
    const auto found = std::find(m_edits.cbegin(), m_edits.cend(), pEdit);
    if (found == m_edits.cend() || found + 1 == m_edits.cend())
        return;
    const QString text = pEdit->text();
    if ((text.size() == 3 && pEdit->cursorPosition() == 3) || text == QLatin1String("0")) {
        QLineEdit* next = *(found + 1);
        next->setFocus();
        next->selectAll();
    }
}
