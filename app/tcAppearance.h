#pragma once
// The application's fixed look: the Fusion style and a dark palette.

#include <QPalette>
#include <QStringList>

// base with the dark brushes set (all colour groups first, then the disabled ones, so
// disabled texts stay gray).
QPalette darkPalette(const QPalette& base);

// "Fusion" when available (exact key), else the first style offered; empty when none.
QString chooseStyle(const QStringList& styleKeys);
