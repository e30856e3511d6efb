#pragma once
// Changes the network settings of the chosen list rows, one device after another: reads
// each device's configuration (GetNetBasicConfig), writes DHCP or the next address of a
// static plan (SetNetBasicConfig), and shows each outcome in the row's status column.
// The documents themselves are built and read by tcNetConfigXml.

#include "tcAddressChecks.h"
#include "tcHttpAuth.h"

#include <QDialog>
#include <QList>
#include <QNetworkAccessManager>

#include <array>

class QNetworkReply;
class QTreeWidgetItem;
class QUrl;
class tcIpInput;

namespace Ui {
class tcIPUpdateDlg;
}

class tcIPUpdateDlg : public QDialog
{
    Q_OBJECT
public:
    // apItems belongs to the caller and must outlive the dialog; every item carries its
    // tpVideoDevice in column 0 under Qt::UserRole.
    tcIPUpdateDlg(QWidget* apParent, const QList<QTreeWidgetItem*>& apItems, int aiIpColumn,
                  int aiStatusColumn);
    ~tcIPUpdateDlg() override;

    // The listed devices that are not being changed; a static plan that would hand out
    // one of their addresses is shown before the run is confirmed.
    void setListedDevices(const QVector<tcHeldAddress>& devices) { listedDevices = devices; }

    // Every request of the exchange gives up after this long without progress, so a
    // device that accepts the connection and never answers ends its site.
    static constexpr int kTransferTimeoutMs = 15000;

private slots:
    void slot_enableDHCP(bool afChecked);
    void slot_enableDNSViaDHCP(bool afChecked);
    void slot_closeClicked();
    void slot_showPW(bool afChecked);
    void slot_updateClicked();

private:
    bool readPlan(); // checks the form; false after telling the user what is wrong
    bool refuse(const QString& title, const QString& text, QWidget* focus);
    bool acceptPlanConflicts(); // true when there are none or the user goes on
    void startNextSite();
    void endSite(QTreeWidgetItem* apItem, const QString& text, bool afSuccess);

    // The exchange with one site.
    void readSite(QTreeWidgetItem* apItem);
    void send(QTreeWidgetItem* apItem, const QByteArray& abaBody, int aiNonceCount, bool afAnswered);
    void replyFinished(QNetworkReply* apReply, QTreeWidgetItem* apItem, const QByteArray& abaBody,
                       bool afAnswered);
    void configReply(QTreeWidgetItem* apItem, const QByteArray& abaReply);
    void writeReply(QTreeWidgetItem* apItem, const QByteArray& abaReply);

    Ui::tcIPUpdateDlg* ui;
    qint32 siteCount;
    qint32 nextIndex = 0;
    qint32 successCount = 0;
    qint32 doneCount = 0;
    qint32 nonceCount = 0;
    qint32 ipColumn;
    qint32 statusColumn;
    bool running = false;
    bool dhcp = false;
    bool dnsViaDhcp = false;
    QString adminUser;
    QString adminPassword;
    QString assignedAddress;
    QByteArray clientNonce;
    using tcAddress = std::array<quint8, 4>; // network byte order
    tcAddress startAddress{};
    tcAddress subnetMask{};
    tcAddress gateway{};
    tcAddress primaryDns{};
    tcAddress alternateDns{};
    QNetworkAccessManager network;
    const QList<QTreeWidgetItem*>* items;
    tcHttpAuth::Challenge challenge;
    QVector<tcHeldAddress> listedDevices;
};
