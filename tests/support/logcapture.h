#pragma once
// Collects the messages logged while it lives, so a test can compare the exact lines a
// codec or locator wrote, including that it wrote none. One capture at a time.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace zltest {

class tcLogCapture
{
public:
    tcLogCapture() : m_previous(qInstallMessageHandler(&tcLogCapture::handler)) { s_active = this; }
    ~tcLogCapture()
    {
        s_active = nullptr;
        qInstallMessageHandler(m_previous);
    }
    tcLogCapture(const tcLogCapture&) = delete;
    tcLogCapture& operator=(const tcLogCapture&) = delete;

    // Every message text, in order.
    QStringList lines() const
    {
        QStringList result;
        for (const auto& entry : m_entries)
            result << entry.second;
        return result;
    }
    // The texts of one severity, in order.
    QStringList lines(QtMsgType type) const
    {
        QStringList result;
        for (const auto& entry : m_entries) {
            if (entry.first == type)
                result << entry.second;
        }
        return result;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (s_active)
            s_active->m_entries.append({type, text});
    }

    QtMessageHandler m_previous;
    QList<QPair<QtMsgType, QString>> m_entries;
    static inline tcLogCapture* s_active = nullptr;
};

} // namespace zltest
