#pragma once
// What zephyrlock-scan says about the host's interfaces: the --interfaces listing and the
// check of the names given to --interface. Choices in, text out.

#include "tcInterfaceFilter.h"

#include <QString>
#include <QStringList>

// "Picked:" with one line per IPv4 address (interface, address, mask), then "Skipped:"
// with one line per other interface and the reason.
QString interfacesText(const QList<tcInterfaceChoice>& choices);

// Empty when every name picks an interface discovery can use; else what is wrong with
// the first name that does not.
QString checkInterfaceNames(const QStringList& names, const QList<tcInterfaceChoice>& choices);
