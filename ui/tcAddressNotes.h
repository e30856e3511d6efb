#pragma once
// What the list says about a row's address: another listed device at the same address
// (only one of them can be reached there), and an address outside every network the
// cycle probed (its web page may not open). Rich text for the address cell's tooltip.

#include "tcSiteList.h"

struct tcAddressNote
{
    QString tip; // empty: nothing to say
    bool conflict = false;
};

tcAddressNote addressNote(const tcSiteList& list, int row);
