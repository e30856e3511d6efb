#pragma once
// The shared parameter record: created once by the window (or the scan command), read by
// every locator and copied into each new device record. Never changed after creation.

#include <QString>

#include <array>

struct tcLocateParams
{
    qint32 preRecord = 10;
    qint32 postRecord = 15;
    std::array<quint8, 4> flags{};
    QString userName = QStringLiteral("admin");
    QString password = QStringLiteral("7093");
};
