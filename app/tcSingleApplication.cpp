#include "tcSingleApplication.h"

#include "tcInstanceGuard.h"

#include <QDir>

namespace {
int& choosePlatform(int& argc, bool GUIenabled)
{
    if (!GUIenabled && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
}
} // namespace

tcSingleApplication::tcSingleApplication(int& argc, char** argv, bool GUIenabled)
    : QApplication(choosePlatform(argc, GUIenabled), argv),
      m_guard(new tcInstanceGuard(applicationFilePath(), QDir::tempPath(), this))
{
    connect(m_guard, &tcInstanceGuard::messageReceived, this, &tcSingleApplication::messageReceived);
}

tcSingleApplication::~tcSingleApplication() = default;

bool tcSingleApplication::sendMessage(const QString& message, int timeout)
{
    return m_guard->sendMessage(message, timeout);
}
