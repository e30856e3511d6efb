#pragma once
// The cameras' network configuration exchange as bytes: the body written to
// SetNetBasicConfig (a fixed template whose placeholders are filled), the reply of
// GetNetBasicConfig (the device's current settings) and the verdict of the write.
// Pure functions; the dialog only moves these bytes over HTTP.

#include <QByteArray>
#include <QString>

#include <optional>

namespace tcNetConfigXml {

// The texts a site's exchange ends with, shown in the list's status column.
inline const QString kSuccess = QStringLiteral("Success");
inline const QString kLoginFailed = QStringLiteral("Login Failed");
inline const QString kNetworkError = QStringLiteral("Network Error");
inline const QString kInvalidResponse = QStringLiteral("Invalid Response");
inline const QString kUnknownError = QStringLiteral("Unknown Error");
inline const QString kInternalError = QStringLiteral("Internal Error");

inline constexpr char kReadPath[] = "GetNetBasicConfig";
inline constexpr char kWritePath[] = "SetNetBasicConfig";

// The template with every placeholder (%MODE%, %STATIC_IP%, ...) still in it; lines
// end with CR LF except the last.
QByteArray bodyTemplate();

// What a GetNetBasicConfig reply told about the device.
struct tcDeviceConfig
{
    // A tcpIp element was read; otherwise only error is set: why the site ends.
    bool usable = false;
    QString error;
    QString mode; // ipSettingMode: "staticIp" or "dhcp" in any letter case
    QString staticIp, staticIpRoute, staticIpMask, dnsServer1, dnsServer2;
    // Unset when the reply lacks the element: its placeholder then stays in the body.
    std::optional<QString> dhcpIp, dhcpIpRoute, dhcpIpMask;

    bool dhcpMode() const { return mode.compare(QLatin1String("dhcp"), Qt::CaseInsensitive) == 0; }
};

tcDeviceConfig parseConfigReply(const QByteArray& reply);

// What one site is to be set to.
struct tcSitePlan
{
    bool dhcp = false;
    bool dnsViaDhcp = false;
    // Static runs only, dotted texts: the address handed to this site and the plan.
    QString address, gateway, mask, dns1, dns2;
};

// The SetNetBasicConfig body for a device that replied `device`. A DHCP run keeps the
// device's own static values and DNS servers; a static run writes the plan, its DNS
// servers included unless DNS comes from DHCP or the plan has none. Placeholders are replaced in one pass,
// so a device value that looks like a placeholder is written as it is.
QByteArray configBody(const tcDeviceConfig& device, const tcSitePlan& plan);

// True while a placeholder is left in the body (the device lacked one of its elements).
bool isIncomplete(const QByteArray& body);

struct tcWriteVerdict
{
    bool success = false;
    QString text; // kSuccess, the device's errorCode or kInvalidResponse
};

tcWriteVerdict parseWriteReply(const QByteArray& reply);

} // namespace tcNetConfigXml
