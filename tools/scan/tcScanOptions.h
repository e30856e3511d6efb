#pragma once
// The command line of zephyrlock-scan, read without printing anything so that every
// option error can be tested as a value.

#include "tcAddressRange.h"
#include "tcRangeProbe.h"
#include "tcScanFormat.h"
#include "tcSiteList.h"

#include <QString>
#include <QStringList>

#include <optional>

struct tcScanOptions
{
    enum Action { Run, ShowHelp, ShowVersion, ListInterfaces, Fail };
    Action action = Run;
    QString error; // for Fail: one line saying what is wrong
    // The kind button to mimic; empty for "all", every listed device.
    std::optional<tcKindFilter> kind = tcKindFilter();
    tcScanFormat format = tcScanFormat::Table;
    int cycles = 1;
    QStringList interfaces; // discovery only on these; empty for every one the rule picks
    bool verbose = false;   // replies per interface and protocol to standard error
    // Hosts beyond the local segment that the ONVIF and bridge discovery query by unicast.
    tcAddressRanges ranges;
    int rate = tcRangeProbe::kDefaultRate; // hosts per second
};

// args[0] is the program, as QCoreApplication::arguments() gives it.
tcScanOptions parseScanArguments(const QStringList& args);

// A --kind value: one of the window's kind buttons, or "all" (reset). False for any other.
bool parseKindName(const QString& text, std::optional<tcKindFilter>* kind);
QString kindError(const QString& text);

QString scanHelpText();
QString scanVersionText();
