#include "tcSiteList.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <algorithm>
#include <numeric>

const char* const tcSiteList::headerLabels[columnCount] = {
    QT_TRANSLATE_NOOP("MainWindow", "Site Name"), QT_TRANSLATE_NOOP("MainWindow", "Cloud ID"),
    QT_TRANSLATE_NOOP("MainWindow", "Model"),     QT_TRANSLATE_NOOP("MainWindow", "IP Address"),
    QT_TRANSLATE_NOOP("MainWindow", "Type"),      QT_TRANSLATE_NOOP("MainWindow", "Port"),
    QT_TRANSLATE_NOOP("MainWindow", "MAC"),       QT_TRANSLATE_NOOP("MainWindow", "Protocol"),
    QT_TRANSLATE_NOOP("MainWindow", "FW Ver"),    QT_TRANSLATE_NOOP("MainWindow", "Status"),
};

tcSiteList::tcSiteList() : m_precedes([](int a, int b) { return a < b; }) {}

void tcSiteList::setRowPrecedes(std::function<bool(int, int)> precedes)
{
    m_precedes = precedes ? std::move(precedes) : [](int a, int b) { return a < b; };
}

void tcSiteList::clear()
{
    m_rows.clear();
    m_byAddress.clear();
    m_byMac.clear();
}

void tcSiteList::setProbedNetworks(const tcProbedNetworks& networks)
{
    m_networks = networks;
    QStringList subnets;
    for (const tcSubnet& subnet : m_networks.subnets)
        subnets << subnet.text();
    m_probedSubnetsText = subnets.join(QStringLiteral(", "));
    for (Row& row : m_rows)
        row.otherSubnet = ::isOtherSubnet(row.address, m_networks);
}

void tcSiteList::moveRow(int row, const QString& address)
{
    Row& moved = m_rows[row];
    if (moved.address == address)
        return;
    if (!moved.address.isEmpty()) {
        QVector<int>& atOld = m_byAddress[moved.address];
        atOld.removeAll(row);
        if (atOld.isEmpty())
            m_byAddress.remove(moved.address);
    }
    moved.address = address;
    moved.texts[colAddress] = address;
    moved.device->ipAddress = address;
    moved.otherSubnet = ::isOtherSubnet(address, m_networks);
    if (!address.isEmpty())
        m_byAddress[address].append(row);
}

QString tcSiteList::macKey(const QString& mac)
{
    return macText(mac);
}

bool tcSiteList::precedes(int a, int b) const
{
    return a != b && m_precedes(a, b);
}

int tcSiteList::findMatch(const QString& address, const QString& mac) const
{
    return findMatchOfKey(address, macKey(mac));
}

int tcSiteList::findMatchOfKey(const QString& address, const QString& mac) const
{
    int found = -1;
    const auto consider = [this, &found](int row) {
        if (found < 0 || precedes(row, found))
            found = row;
    };
    if (!address.isEmpty()) {
        for (int row : m_byAddress.value(address)) {
            // Two MACs on one address are two devices; the MAC lookup below finds the
            // row when the MACs agree.
            const QString& rowMac = m_rows[row].texts[colMac];
            if (mac.isEmpty() || rowMac.isEmpty() || rowMac == mac)
                consider(row);
        }
    }
    if (!mac.isEmpty()) {
        for (int row : m_byMac.value(mac))
            consider(row);
    }
    return found;
}

QVector<int> tcSiteList::conflictingRows(int row) const
{
    QVector<int> others;
    const QString& address = m_rows[row].address;
    if (address.isEmpty())
        return others;
    for (int other : m_byAddress.value(address)) {
        if (other != row)
            others.append(other);
    }
    return others;
}

tcSiteList::tcMerge tcSiteList::merge(const tpVideoDevice& apDvc)
{
    tcMerge result;
    if (!apDvc)
        return result;
    const tcVideoDevice& report = *apDvc;
    // The MAC as the list shows it is its key: upper case.
    const QString mac = macKey(report.macAddress);
    result.row = findMatchOfKey(report.ipAddress, mac);
    if (result.row < 0) {
        result.row = addRow(apDvc, mac);
        result.added = true;
        return result;
    }
    fillTexts(result.row, report, mac, result);
    mergeRecord(result.row, report, result);
    return result;
}

void tcSiteList::fillTexts(int row, const tcVideoDevice& report, const QString& mac, tcMerge& result)
{
    Texts& texts = m_rows[row].texts;
    // A report fills the name or, only when it brings no missing name, the MAC.
    if (texts[colSiteName].isEmpty() && !report.siteName.isEmpty()) {
        texts[colSiteName] = report.siteName;
        result.changedColumns |= 1u << colSiteName;
    } else if (texts[colMac].isEmpty() && !mac.isEmpty()) {
        texts[colMac] = mac;
        m_byMac[mac].append(row);
        result.changedColumns |= 1u << colMac;
    }
    if (texts[colFirmware].isEmpty() && !report.firmware.isEmpty()) {
        texts[colFirmware] = report.firmware;
        result.changedColumns |= 1u << colFirmware;
    }
}

void tcSiteList::mergeRecord(int row, const tcVideoDevice& report, tcMerge& result)
{
    Row& listed = m_rows[row];
    tcVideoDevice& record = *listed.device;
    if (report.pqCamera)
        record.pqCamera = true;
    // A PQ-series reply knows the device best; a second-generation reply upgrades a
    // first-generation camera that answers both protocols.
    qint32 newType = -1;
    if (report.type == PQSeries && record.type != PQSeries)
        newType = PQSeries;
    else if (report.type == Norvo2Cam && record.type == Norvo1Cam)
        newType = Norvo2Cam;
    if (newType >= 0) {
        record.type = newType;
        listed.type = newType;
        listed.texts[colProtocol] = protocolText(newType);
        result.typeChanged = true;
        result.changedColumns |= 1u << colProtocol;
    }
    if (!report.altAddress.isEmpty())
        record.altAddress = report.altAddress;
    if (record.addressMode == 2 && report.addressMode != 2) {
        record.addressMode = report.addressMode;
        // Once a mode is reported, anything but static is shown as DHCP.
        listed.texts[colAddressType] = addressModeText(report.addressMode == 0 ? 0 : 1);
        result.changedColumns |= 1u << colAddressType;
    }
    if (record.cloudId.isEmpty() && !report.cloudId.isEmpty()) {
        record.cloudId = report.cloudId;
        listed.texts[colCloudId] = report.cloudId;
        result.changedColumns |= 1u << colCloudId;
    }
}

int tcSiteList::addRow(const tpVideoDevice& apDvc, const QString& mac)
{
    const tcVideoDevice& device = *apDvc;
    Row row;
    row.device = apDvc;
    row.type = device.type;
    row.model = shownModel(device);
    row.mac = mac;
    row.address = device.ipAddress;
    row.otherSubnet = ::isOtherSubnet(row.address, m_networks);
    row.texts[colSiteName] = device.siteName;
    row.texts[colCloudId] = device.cloudId;
    row.texts[colModel] = row.model;
    row.texts[colAddress] = device.ipAddress;
    row.texts[colAddressType] = addressModeText(device.addressMode);
    row.texts[colPort] = QString::number(device.displayPort());
    row.texts[colMac] = row.mac;
    row.texts[colProtocol] = protocolText(device.type);
    row.texts[colFirmware] = device.firmware;

    const int index = m_rows.size();
    if (!row.address.isEmpty())
        m_byAddress[row.address].append(index);
    if (!row.mac.isEmpty())
        m_byMac[row.mac].append(index);
    m_rows.append(std::move(row));
    return index;
}

QString tcSiteList::addressModeText(quint8 mode)
{
    switch (mode) {
    case 0: return QStringLiteral("static");
    case 1: return QStringLiteral("dhcp");
    default: return QString();
    }
}

QString tcSiteList::shownModel(const tcVideoDevice& device)
{
    if (device.model.isEmpty() && device.type != OstraServer)
        return QStringLiteral("Unknown");
    return device.model;
}

bool tcSiteList::isSpeakerModel(const QString& model)
{
    return model.contains(QLatin1String("speaker"), Qt::CaseInsensitive) ||
           model.contains(QLatin1String("intercom"), Qt::CaseInsensitive) ||
           model.startsWith(QLatin1String("spip"), Qt::CaseInsensitive);
}

bool tcSiteList::isVisible(qint32 type, const QString& shownModel, const tcKindFilter& filter)
{
    switch (type) {
    case ZLServer2:
    case ZLServer3: return filter.bridges;
    case PQSeries: return filter.recorders;
    case Norvo1Cam:
    case Norvo2Cam:
    case Onvif:
        // Speakers, microphones and strobes answer as cameras but have their own button.
        if (isSpeakerModel(shownModel))
            return filter.speakers;
        return filter.cameras;
    case OstraServer:
    case OstraDecoder: return filter.other;
    default: return false;
    }
}

bool tcSiteList::isVisible(int row, const tcKindFilter& filter) const
{
    return isVisible(m_rows[row].type, m_rows[row].model, filter);
}

int tcSiteList::visibleCount(const tcKindFilter& filter) const
{
    int visible = 0;
    for (int row = 0; row < m_rows.size(); ++row)
        visible += isVisible(row, filter) ? 1 : 0;
    return visible;
}

bool tcSiteList::sortsBefore(int column, const QString& a, const QString& b)
{
    if (column == colAddress) {
        const quint32 mine = QHostAddress(a).toIPv4Address();
        const quint32 theirs = QHostAddress(b).toIPv4Address();
        if (mine != 0 && theirs != 0)
            return mine < theirs;
    } else if (column == colPort) {
        return a.toInt() < b.toInt();
    }
    // What a tree item compares when it has no rule of its own.
    return a.localeAwareCompare(b) < 0;
}

QVector<int> tcSiteList::sortedRows(int column) const
{
    QVector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this, column](int a, int b) {
        return sortsBefore(column, m_rows[a].texts[column], m_rows[b].texts[column]);
    });
    return order;
}
