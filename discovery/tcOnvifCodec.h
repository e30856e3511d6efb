#pragma once
// WS-Discovery (April 2005, SOAP 1.2) as the ONVIF locator speaks it: the Probe it
// multicasts and the reading of the ProbeMatches replies. Pure functions over bytes.

#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QByteArray>
#include <QHostAddress>
#include <QUuid>

enum class tcProbeType { NetworkVideoTransmitter, Device, NetworkVideoDisplay };

// The type probed when `remaining` has just been lowered to acCount: counting down from
// 5 gives transmitter, device, display, transmitter, device, display.
tcProbeType probeTypeForCount(int acCount);

// The Probe for one type: UTF-8, no XML declaration, no white space between elements,
// MessageID "uuid:" followed by messageId in lower-case hyphenated form.
QByteArray buildProbe(tcProbeType type, const QUuid& messageId);

// The devices one datagram reports: one record per ProbeMatch whose Types name a
// transmitter or a device, or that is not a display and carries ONVIF scopes. Of several
// XAddrs the one at `sender` (the datagram's source address; null when not known) is
// taken, else the first that is not link-local. Anything that is not a ProbeMatches
// message yields nothing; malformed XML ends the reading where it becomes unreadable.
tcDeviceRecords parseProbeMatches(const QByteArray& abaDatagram, const tcLocateParams* apParams,
                                  const QHostAddress& sender);

// A WS-Discovery announcement heard on the multicast group: a Hello, with the device it
// announces as a ProbeMatch would (none when the Hello does not qualify), or a Bye with
// the endpoint reference that leaves. Anything else is None.
struct tcAnnouncement
{
    enum Kind { None, Hello, Bye };
    Kind kind = None;
    tcDeviceRecords devices;
    QString endpoint;
};
tcAnnouncement parseAnnouncement(const QByteArray& abaDatagram, const tcLocateParams* apParams,
                                 const QHostAddress& sender);
