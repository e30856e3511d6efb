#pragma once
// A change's verification on a list row: a mark drawn beside the row's status text,
// which stays exactly as the exchange left it, and the reason in the cell's tooltip.
// Once confirmed, a network change's row shows where the device was heard.

#include "tcBatchJob.h"

class QTreeWidgetItem;

void showVerification(QTreeWidgetItem* item, int statusColumn, int ipColumn,
                      const tcVerification& verification);
// The dialog's line after the check, e.g. "Changes confirmed: 3 of 4 (1 not confirmed)."
QString verificationSummary(int confirmed, int notConfirmed, int notChecked);
