#pragma once
// Standard input as the configuration commands read it: whether it is a terminal, and
// one line at a time, with the terminal's echo off while a secret is typed.

#include <QString>

#include <optional>

bool stdinIsTerminal();

// One line without its line end; nothing at the end of the input. A secret typed on a
// terminal is not shown.
std::optional<QString> readStdinLine(bool secret);
