#pragma once
// The device list without widgets: one row per physical device, built by merging every
// discovery report into the row whose address or MAC it shares, and the kind filter
// that decides which rows are shown. Rows also tell the address mistakes they show: two
// devices on one address, a device outside every probed network. The main window
// mirrors these rows in its tree; the headless scan command prints them.

#include "tcAddressChecks.h"
#include "tcVideoDevice.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <array>
#include <functional>

// The five kind buttons of the window; the buttons are exclusive, so normally one is set.
struct tcKindFilter
{
    bool bridges = false;
    bool recorders = false;
    bool cameras = true;
    bool speakers = false;
    bool other = false;
};

class tcSiteList
{
public:
    enum Column {
        colSiteName,
        colCloudId,
        colModel,
        colAddress,
        colAddressType,
        colPort,
        colMac,
        colProtocol,
        colFirmware,
        colStatus,
        columnCount
    };
    using Texts = std::array<QString, columnCount>;

    // The header labels as untranslated literals (translation context "MainWindow").
    static const char* const headerLabels[columnCount];

    // What one merge did, so a view can repeat it on its own rows.
    struct tcMerge
    {
        int row = -1;
        bool added = false;         // a new row was appended
        bool typeChanged = false;   // the row's type took over a better one
        quint32 changedColumns = 0; // bit per column whose text changed (matched row)
    };

    tcSiteList();

    // Merges one report: the earliest row whose address text equals the report's
    // address, or whose MAC text equals its MAC regardless of case, takes over the
    // report's missing texts and selected fields; without such a row a new one is added.
    // A row that shares only the address and shows a MAC other than the report's is a
    // different device on the same address: the report gets a row of its own.
    tcMerge merge(const tpVideoDevice& apDvc);

    // The row merge() would pick for this address and MAC, or -1.
    int findMatch(const QString& address, const QString& mac) const;

    // "Earliest" means earliest in the order the rows are shown. The list knows only
    // the order of arrival; a view that sorts its rows tells which of two comes first.
    void setRowPrecedes(std::function<bool(int, int)> precedes);

    void clear();
    int count() const { return m_rows.size(); }

    // The ten column texts; the status column stays empty here, the update actions
    // write it into the window's rows.
    const Texts& texts(int row) const { return m_rows[row].texts; }
    const tpVideoDevice& device(int row) const { return m_rows[row].device; }
    qint32 type(int row) const { return m_rows[row].type; }
    // The model as shown: "Unknown" for an empty model, except for OstraServer.
    const QString& model(int row) const { return m_rows[row].model; }
    // The MAC (upper-cased) and address the row was created with.
    const QString& mac(int row) const { return m_rows[row].mac; }
    const QString& address(int row) const { return m_rows[row].address; }

    // The other rows listed at this row's address (never for a row without one), in
    // order of arrival.
    QVector<int> conflictingRows(int row) const;
    bool hasAddressConflict(int row) const
    {
        return !m_rows[row].address.isEmpty() && m_byAddress.value(m_rows[row].address).size() > 1;
    }

    // The networks the current cycle probed; isOtherSubnet(row) is judged against them.
    void setProbedNetworks(const tcProbedNetworks& networks);
    // A watched device heard at another address: the row and its record move there
    // (the only time a row's address changes).
    void moveRow(int row, const QString& address);
    const tcProbedNetworks& probedNetworks() const { return m_networks; }
    // "10.99.0.0/16, 192.168.1.0/24": the probed subnets as the notes name them.
    const QString& probedSubnetsText() const { return m_probedSubnetsText; }
    bool isOtherSubnet(int row) const { return m_rows[row].otherSubnet; }

    bool isVisible(int row, const tcKindFilter& filter) const;
    int visibleCount(const tcKindFilter& filter) const;

    static bool isVisible(qint32 type, const QString& shownModel, const tcKindFilter& filter);
    static bool isSpeakerModel(const QString& model);
    static QString shownModel(const tcVideoDevice& device);
    static QString addressModeText(quint8 mode); // "static", "dhcp" or empty

    // Whether a row showing text `a` in `column` sorts before one showing `b`, as the
    // window's list sorts: "IP Address" by the 32-bit address when both texts are valid
    // addresses (10.0.0.9 before 10.0.0.10), "Port" by number, anything else by text.
    static bool sortsBefore(int column, const QString& a, const QString& b);
    // The rows in the order a stable ascending sort on `column` shows them.
    QVector<int> sortedRows(int column) const;

private:
    struct Row
    {
        tpVideoDevice device;
        Texts texts;
        qint32 type = 0;
        QString model;
        QString mac;
        QString address;
        // Judged once: a row's address never changes, the networks only between cycles.
        bool otherSubnet = false;
    };

    int addRow(const tpVideoDevice& apDvc, const QString& mac);
    void fillTexts(int row, const tcVideoDevice& report, const QString& mac, tcMerge& result);
    // findMatch with the MAC as its key (macKey).
    int findMatchOfKey(const QString& address, const QString& mac) const;
    void mergeRecord(int row, const tcVideoDevice& report, tcMerge& result);
    bool precedes(int a, int b) const;
    static QString macKey(const QString& mac);

    QVector<Row> m_rows;
    // Address texts never change; several rows share one only when their MACs differ.
    // A MAC text can be filled in later, so several rows may come to show the same MAC.
    QHash<QString, QVector<int>> m_byAddress;
    QHash<QString, QVector<int>> m_byMac;
    std::function<bool(int, int)> m_precedes;
    tcProbedNetworks m_networks;
    QString m_probedSubnetsText;
};
