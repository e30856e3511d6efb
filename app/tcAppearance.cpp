#include "tcAppearance.h"

QPalette darkPalette(const QPalette& base)
{
    const QColor darkGray(60, 60, 60);
    const QColor blue(42, 130, 218);
    QPalette palette = base;
    palette.setBrush(QPalette::All, QPalette::Window, darkGray);
    palette.setBrush(QPalette::All, QPalette::WindowText, QColor(Qt::white));
    palette.setBrush(QPalette::All, QPalette::Base, QColor(Qt::black));
    palette.setBrush(QPalette::All, QPalette::AlternateBase, darkGray);
    palette.setBrush(QPalette::All, QPalette::Text, QColor(Qt::white));
    palette.setBrush(QPalette::All, QPalette::Button, darkGray);
    palette.setBrush(QPalette::All, QPalette::ButtonText, QColor(Qt::white));
    palette.setBrush(QPalette::All, QPalette::BrightText, QColor(Qt::red));
    palette.setBrush(QPalette::All, QPalette::Link, blue);
    palette.setBrush(QPalette::All, QPalette::Highlight, blue);
    palette.setBrush(QPalette::All, QPalette::HighlightedText, QColor(Qt::black));
    palette.setBrush(QPalette::Disabled, QPalette::Text, QColor(Qt::gray));
    palette.setBrush(QPalette::Disabled, QPalette::ButtonText, QColor(Qt::gray));
    palette.setBrush(QPalette::Disabled, QPalette::WindowText, QColor(Qt::gray));
    palette.setBrush(QPalette::Disabled, QPalette::Light, QColor(0, 0, 0, 0));
    return palette;
}

QString chooseStyle(const QStringList& styleKeys)
{
    if (styleKeys.contains(QStringLiteral("Fusion")))
        return QStringLiteral("Fusion");
    return styleKeys.value(0);
}
