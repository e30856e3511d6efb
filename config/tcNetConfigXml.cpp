#include "tcNetConfigXml.h"

#include "tcCdata.h"
#include "tcConfigNamespace.h"

#include <QHash>
#include <QXmlStreamReader>

namespace tcNetConfigXml {

namespace {

// Element and attribute-value names of the device documents are matched without regard
// to case: the firmware versions differ in how they spell them.
bool isNamed(const QXmlStreamReader& xml, QLatin1String name)
{
    return xml.name().compare(name, Qt::CaseInsensitive) == 0;
}

// Moves to the next element of this level called `name`, stepping over others with all
// they hold; false when the level (or the document, or readable XML) ends first.
bool nextElementNamed(QXmlStreamReader& xml, QLatin1String name)
{
    while (xml.readNextStartElement()) {
        if (isNamed(xml, name))
            return true;
        xml.skipCurrentElement();
    }
    return false;
}

bool equalsNoCase(const QStringRef& value, QLatin1String text)
{
    return value.compare(text, Qt::CaseInsensitive) == 0;
}

// Reads the children of a tcpIp element into config; the reader ends on its end tag.
void readTcpIp(QXmlStreamReader& xml, tcDeviceConfig& config)
{
    const QHash<QString, QString*> texts{
        {QStringLiteral("ipsettingmode"), &config.mode},
        {QStringLiteral("staticip"), &config.staticIp},
        {QStringLiteral("staticiproute"), &config.staticIpRoute},
        {QStringLiteral("staticipmask"), &config.staticIpMask},
        {QStringLiteral("dnsserver1"), &config.dnsServer1},
        {QStringLiteral("dnsserver2"), &config.dnsServer2},
    };
    const QHash<QString, std::optional<QString>*> dhcpTexts{
        {QStringLiteral("dhcpip"), &config.dhcpIp},
        {QStringLiteral("dhcpiproute"), &config.dhcpIpRoute},
        {QStringLiteral("dhcpipmask"), &config.dhcpIpMask},
    };
    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString().toLower();
        const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements);
        if (QString* field = texts.value(name))
            *field = text;
        else if (std::optional<QString>* field = dhcpTexts.value(name))
            *field = text;
    }
}

// Every value goes into a CDATA section; a device's own values come from its reply.
QByteArray latin1(const QString& text)
{
    return cdataSafe(text).toLatin1();
}

// The device's errorCode as the site's outcome. One that reads as the success text would
// show a failed site as done, so it counts as no code at all.
QString errorCodeOf(const QXmlStreamAttributes& attributes)
{
    const QString code = attributes.value(QLatin1String("errorCode")).toString();
    return code.compare(kSuccess, Qt::CaseInsensitive) == 0 ? QString() : code;
}

} // namespace

QByteArray bodyTemplate()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                             "<config version=\"1.7\" xmlns=\"") +
           QByteArray(kConfigNamespace) +
           QByteArrayLiteral(
               "\">\r\n"
               "<tcpIp>\r\n"
               "<ipSettingMode type=\"ipSettingMode\">%MODE%</ipSettingMode>\r\n"
               "<staticIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%STATIC_IP%]]></staticIp>\r\n"
               "<staticIpRoute type=\"string\" minLen=\"7\" "
               "maxLen=\"15\"><![CDATA[%STATIC_GW%]]></staticIpRoute>\r\n"
               "<staticIpMask type=\"string\" minLen=\"7\" "
               "maxLen=\"15\"><![CDATA[%STATIC_MASK%]]></staticIpMask>\r\n"
               "<dhcpIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%DHCP_IP%]]></dhcpIp>\r\n"
               "<dhcpIpRoute type=\"string\" minLen=\"7\" "
               "maxLen=\"15\"><![CDATA[%DHCP_GW%]]></dhcpIpRoute>\r\n"
               "<dhcpIpMask type=\"string\" minLen=\"7\" "
               "maxLen=\"15\"><![CDATA[%DHCP_MASK%]]></dhcpIpMask>\r\n"
               "<dnsFromDhcpSwitch type=\"boolean\">%DNS_USE_DHCP%</dnsFromDhcpSwitch>\r\n"
               "<dnsServer1 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%DNS_IP1%]]></dnsServer1>\r\n"
               "<dnsServer2 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%DNS_IP2%]]></dnsServer2>\r\n"
               "</tcpIp>\r\n"
               "</config>");
}

tcDeviceConfig parseConfigReply(const QByteArray& reply)
{
    tcDeviceConfig config;
    QString failure;
    QXmlStreamReader xml(reply);
    while (nextElementNamed(xml, QLatin1String("config"))) {
        const QXmlStreamAttributes attributes = xml.attributes();
        if (equalsNoCase(attributes.value(QLatin1String("status")), QLatin1String("failed"))) {
            const QString code = errorCodeOf(attributes);
            failure = code.isEmpty() ? kUnknownError : code;
            xml.skipCurrentElement();
            continue;
        }
        while (nextElementNamed(xml, QLatin1String("tcpIp"))) {
            readTcpIp(xml, config);
            // a tcpIp cut short by the end of the reply or by broken XML is not read
            if (!xml.hasError())
                config.usable = true;
        }
    }
    if (config.usable)
        return config;
    // what an unusable reply held is never written anywhere
    tcDeviceConfig unusable;
    unusable.error = failure.isEmpty() ? kInvalidResponse : failure;
    return unusable;
}

QByteArray configBody(const tcDeviceConfig& device, const tcSitePlan& plan)
{
    const bool keepDeviceDns = plan.dhcp || plan.dnsViaDhcp || (plan.dns1.isEmpty() && plan.dns2.isEmpty());
    QHash<QByteArray, QByteArray> values{
        {"MODE", plan.dhcp ? "dhcp" : "staticIp"},
        {"DNS_USE_DHCP", plan.dhcp || plan.dnsViaDhcp ? "true" : "false"},
        {"STATIC_IP", latin1(plan.dhcp ? device.staticIp : plan.address)},
        {"STATIC_GW", latin1(plan.dhcp ? device.staticIpRoute : plan.gateway)},
        {"STATIC_MASK", latin1(plan.dhcp ? device.staticIpMask : plan.mask)},
        {"DNS_IP1", latin1(keepDeviceDns ? device.dnsServer1 : plan.dns1)},
        {"DNS_IP2", latin1(keepDeviceDns ? device.dnsServer2 : plan.dns2)},
    };
    if (device.dhcpIp)
        values.insert("DHCP_IP", latin1(*device.dhcpIp));
    if (device.dhcpIpRoute)
        values.insert("DHCP_GW", latin1(*device.dhcpIpRoute));
    if (device.dhcpIpMask)
        values.insert("DHCP_MASK", latin1(*device.dhcpIpMask));

    const QByteArray text = bodyTemplate();
    QByteArray body;
    int from = 0;
    for (;;) {
        const int open = text.indexOf('%', from);
        const int close = open < 0 ? -1 : text.indexOf('%', open + 1);
        if (close < 0)
            break;
        const auto value = values.constFind(text.mid(open + 1, close - open - 1));
        if (value == values.cend()) {
            // not a known name: keep the first '%' and look again from the second
            body += text.mid(from, close - from);
            from = close;
            continue;
        }
        body += text.mid(from, open - from) + *value;
        from = close + 1;
    }
    return body + text.mid(from);
}

bool isIncomplete(const QByteArray& body)
{
    return body.contains('%');
}

tcWriteVerdict parseWriteReply(const QByteArray& reply)
{
    QXmlStreamReader xml(reply);
    if (!nextElementNamed(xml, QLatin1String("config")))
        return {false, kInvalidResponse};
    const QXmlStreamAttributes attributes = xml.attributes();
    if (equalsNoCase(attributes.value(QLatin1String("status")), QLatin1String("success")))
        return {true, kSuccess};
    const QString code = errorCodeOf(attributes);
    return {false, code.isEmpty() ? kInvalidResponse : code};
}

} // namespace tcNetConfigXml
