#pragma once
// Four number fields for one IPv4 address. The cursor moves between them the way an
// address is typed: on after three digits or a lone 0, on with '.' or ',', back with
// Backspace or Left at a field's start.

#include <QFrame>

#include <array>

class QLineEdit;

class tcIpInput : public QFrame
{
    Q_OBJECT
public:
    explicit tcIpInput(QWidget* parent = nullptr);
    ~tcIpInput() override;

    // The dotted address as typed, or empty while any field is empty or above 255.
    QString text() const;
    // Dotted decimal with four numbers 0-255 and no leading zeros, nothing else.
    static bool isValidAddress(const QString& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void signalTextChanged(QLineEdit* pEdit);

private slots:
    void slotTextChanged(QLineEdit* pEdit);

private:
    void goBack(int index);
    void goForward(int index);

    std::array<QLineEdit*, 4> m_edits{};
};
