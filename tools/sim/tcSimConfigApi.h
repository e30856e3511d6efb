#pragma once
// The cameras' configuration service: GetNetBasicConfig / SetNetBasicConfig for the
// network settings, /ModifyIntegrateUser and /ModifyPassword for passwords. Pure
// functions from a logged-in request and the device state to the reply body; the
// accepted writes change the state.

#include "tcSimDevice.h"
#include "tcSimHttp.h"

struct tcSimResponse
{
    int status = 200;
    QByteArray body;
    bool changed = false; // an accepted write changed the device state
};

// Dotted-quad IPv4 text as the cameras' firmware checks it (no leading zeros), and a
// netmask of ones then zeros; the ONVIF service checks its addresses the same way.
bool validIpv4(const QString& text);
bool validMask(const QString& text);

// The method a configuration path is served under, or empty when the path is unknown.
QByteArray configMethod(const QByteArray& path);

// Answers a request for one of the configuration paths, made by `user` (logged in).
tcSimResponse handleConfigRequest(tcSimDevice& device, const QString& user, const tcHttpRequest& request);

// The reply documents.
QByteArray netConfigReply(const tcSimDevice& device);
QByteArray verdictReply(bool success, const QString& errorCode,
                        const QString& successStatus = QStringLiteral("success"));
// What a device with broken firmware sends: XML that no reader gets past the first element.
QByteArray malformedReply();
