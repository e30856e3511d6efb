#pragma once
// The ONVIF device management service of a simulated camera (POST /onvif/device_service,
// SOAP 1.2): clock, identity, network interface, gateway, DNS, NTP, users and reboot.
// A pure function from a request body, the HTTP login the server checked and the real
// time to the reply; accepted writes change the device state. The messages are read and
// written with the scanner's own ONVIF codec, used from the device's side. The timing
// of a reboot is the caller's.

#include "tcSimConfigApi.h"

#include <QDateTime>
#include <QJsonObject>

struct tcSimOnvifResponse : tcSimResponse
{
    bool challenge = false;       // a 401: the server adds the device's HTTP Digest challenges
    bool rebootRequested = false; // the device went down: it comes back after rebootMs
    QJsonObject log;              // the operation and the login's verdict, for the request log
};

// SOAP 1.2 says application/soap+xml; older clients send SOAP's text/xml, which the
// cameras take as well.
bool onvifContentTypeAccepted(const QByteArray& contentType);

// The path a fault of the device is matched against: the service path and the
// operation, e.g. "/onvif/device_service/SetUser".
QString onvifFaultPath(const QByteArray& body);

// Answers one request of the service. httpUser is the user an HTTP Digest login named,
// empty when there was none or it was refused.
tcSimOnvifResponse handleOnvifRequest(tcSimDevice& device, const QByteArray& body, const QString& httpUser,
                                      const QDateTime& realUtc);

// The device is up again after a reboot: the network change that waited for it takes
// effect.
void finishReboot(tcSimDevice& device);

// The request body as the request log shows it: the content of every Password element
// left out, since SetUser and CreateUsers carry the new password in clear.
QString redactedOnvifBody(const QByteArray& body);
