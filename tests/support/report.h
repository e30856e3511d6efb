#pragma once
// A discovery report as a locator would send it: type, address and MAC (lower case, as
// the discovery parsers write it), the protocol text as model, anything else set by more.

#include "tcVideoDevice.h"

#include <functional>

namespace zltest {

inline tpVideoDevice report(qint32 type, const QString& address, const QString& mac = QString(),
                            const std::function<void(tcVideoDevice&)>& more = {})
{
    tpVideoDevice device(new tcVideoDevice(nullptr));
    device->type = type;
    device->ipAddress = address;
    device->macAddress = mac;
    device->model = protocolText(type);
    if (more)
        more(*device);
    return device;
}

} // namespace zltest
