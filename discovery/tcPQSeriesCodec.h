#pragma once
// The PQ-series discovery exchange: the constant 140-byte "MHED" query and the reading
// of a reply of at least 240 bytes, little-endian. Pure functions over bytes.

#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QByteArray>

#include <memory>

// The query, a constant.
QByteArray buildPQSeriesQuery();
// The device a reply describes, or null for a datagram that is not a reply (shorter than
// 240 bytes or not starting with "MHED"; the query itself is one). Logs nothing.
std::unique_ptr<tcVideoDevice> parsePQSeriesReply(const QByteArray& abaDatagram,
                                                  const tcLocateParams* apParams);
