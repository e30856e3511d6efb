#pragma once
// The bridges' discovery exchange: a fixed 8-byte request multicast by the scanner and
// one JSON object per reply. Pure functions over bytes.

#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QByteArray>

#include <memory>

// "HZLB" 00 00 01 00
QByteArray buildZLRequest();

// The record one reply reports, or null when the reply is not a JSON object holding
// all of "cloudId", "macAddr", "ipAddr" and "webPort".
std::unique_ptr<tcVideoDevice> parseZLReply(const QByteArray& abaDatagram, const tcLocateParams* apParams);
