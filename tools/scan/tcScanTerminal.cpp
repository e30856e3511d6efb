#include "tcScanTerminal.h"

#include <QtGlobal> // the Q_OS_* macros of the guards below

#include <cstdio>
#include <string>

#if defined(Q_OS_UNIX)
#include <termios.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#endif

namespace {

// Turns the echo off for its lifetime, on a terminal only.
class tcNoEcho
{
public:
    explicit tcNoEcho(bool active)
    {
        if (!active || !isTerminal(stdin))
            return;
#if defined(Q_OS_UNIX)
        if (tcgetattr(STDIN_FILENO, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
#elif defined(Q_OS_WIN)
        m_handle = GetStdHandle(STD_INPUT_HANDLE);
        if (GetConsoleMode(m_handle, &m_saved))
            m_active = SetConsoleMode(m_handle, m_saved & ~DWORD(ENABLE_ECHO_INPUT)) != 0;
#endif
    }
    ~tcNoEcho()
    {
        if (!m_active)
            return;
#if defined(Q_OS_UNIX)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
#elif defined(Q_OS_WIN)
        SetConsoleMode(m_handle, m_saved);
#endif
        // the Enter that ended the secret was not echoed either
        std::fputc('\n', stderr);
    }
    tcNoEcho(const tcNoEcho&) = delete;
    tcNoEcho& operator=(const tcNoEcho&) = delete;

private:
    bool m_active = false;
#if defined(Q_OS_UNIX)
    termios m_saved{};
#elif defined(Q_OS_WIN)
    HANDLE m_handle = nullptr;
    DWORD m_saved = 0;
#endif
};

} // namespace

bool isTerminal(std::FILE* apStream)
{
#if defined(Q_OS_UNIX)
    return isatty(fileno(apStream)) == 1;
#elif defined(Q_OS_WIN)
    return _isatty(_fileno(apStream)) != 0;
#else
    return false;
#endif
}

std::optional<QString> readStdinLine(bool secret)
{
    const tcNoEcho noEcho(secret);
    std::string line;
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.push_back(char(c));
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromLocal8Bit(line.data(), int(line.size()));
}

tcUtf8Console::tcUtf8Console()
{
#if defined(Q_OS_WIN)
    m_saved = GetConsoleOutputCP();
    if (m_saved != 0)
        SetConsoleOutputCP(CP_UTF8);
#endif
}

tcUtf8Console::~tcUtf8Console()
{
#if defined(Q_OS_WIN)
    if (m_saved != 0)
        SetConsoleOutputCP(m_saved);
#endif
}
