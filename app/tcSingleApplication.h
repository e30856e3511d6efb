#pragma once
// The application object of the scanner, guarding that one copy runs per user login
// and program path (see tcInstanceGuard).

#include <QApplication>

class tcInstanceGuard;

class tcSingleApplication : public QApplication
{
    Q_OBJECT
public:
    // Without GUI the application runs on the offscreen platform unless one is chosen,
    // so it needs no display.
    tcSingleApplication(int& argc, char** argv, bool GUIenabled = true);
    ~tcSingleApplication() override;

    // True only when a running copy acknowledged the message within timeout ms.
    bool sendMessage(const QString& message, int timeout = 5000);

signals:
    void messageReceived(const QString& message);

private:
    tcInstanceGuard* m_guard;
};
