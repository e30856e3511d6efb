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
