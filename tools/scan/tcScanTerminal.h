#pragma once
// The standard streams as the command uses them: whether one is a terminal, and standard
// input one line at a time, with the terminal's echo off while a secret is typed.

#include <QString>

#include <cstdio>
#include <optional>

bool isTerminal(std::FILE* apStream);

// One line without its line end; nothing at the end of the input. A secret typed on a
// terminal is not shown.
std::optional<QString> readStdinLine(bool secret);

// For its lifetime a Windows console shows the command's output, which is UTF-8 (names
// from the network, the table's columns), in that code page; the console's own is
// given back at the end. Elsewhere, and for a pipe or a file, it does nothing.
class tcUtf8Console
{
public:
    tcUtf8Console();
    ~tcUtf8Console();
    tcUtf8Console(const tcUtf8Console&) = delete;
    tcUtf8Console& operator=(const tcUtf8Console&) = delete;

private:
    unsigned m_saved = 0;
};
