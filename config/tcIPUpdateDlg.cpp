#include "tcIPUpdateDlg.h"

#include "tcFormWidth.h"
#include "tcIpInput.h"
#include "tcNetConfigXml.h"
#include "tcVideoDevice.h"
#include "ui_tcIPUpdateDlg.h"

#include <QHostAddress>
#include <QMessageBox>
#include <QNetworkReply>
#include <QTreeWidgetItem>
#include <QtEndian>

using namespace tcNetConfigXml;

namespace {

QString dotted(const std::array<quint8, 4>& address)
{
    return QStringLiteral("%1.%2.%3.%4").arg(address[0]).arg(address[1]).arg(address[2]).arg(address[3]);
}

std::array<quint8, 4> networkOrder(quint32 hostOrder)
{
    std::array<quint8, 4> address{};
    qToBigEndian(hostOrder, address.data());
    return address;
}

// Where a field's entry starts: its first octet box.
QWidget* entryOf(tcIpInput* field)
{
    QWidget* first = field->findChild<QLineEdit*>();
    return first ? first : field;
}

} // namespace

tcIPUpdateDlg::tcIPUpdateDlg(QWidget* apParent, const QList<QTreeWidgetItem*>& apItems, int aiIpColumn,
                             int aiStatusColumn)
    : QDialog(apParent), ui(new Ui::tcIPUpdateDlg), siteCount(apItems.size()), ipColumn(aiIpColumn),
      statusColumn(aiStatusColumn), items(&apItems)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);
    widenToLabelTexts(this);
    ui->chkShowPW->setChecked(false);
    ui->chkEnableDHCP->setChecked(dhcp);
    ui->chkDNSViaDHCP->setChecked(dnsViaDhcp);
    ui->edtAdminPass->setFocus();
    ui->lblResults->setText(tr("%1 item(s) selected.").arg(siteCount));
    // DNS always follows the address mode; the box only carries that state.
    ui->chkDNSViaDHCP->hide();

    connect(ui->chkEnableDHCP, &QCheckBox::toggled, this, &tcIPUpdateDlg::slot_enableDHCP);
    connect(ui->chkDNSViaDHCP, &QCheckBox::toggled, this, &tcIPUpdateDlg::slot_enableDNSViaDHCP);
    connect(ui->btnClose, &QPushButton::clicked, this, &tcIPUpdateDlg::slot_closeClicked);
    connect(ui->chkShowPW, &QCheckBox::toggled, this, &tcIPUpdateDlg::slot_showPW);
    connect(ui->btnUpdate, &QPushButton::clicked, this, &tcIPUpdateDlg::slot_updateClicked);
}

tcIPUpdateDlg::~tcIPUpdateDlg()
{
    // A reply still in flight goes with `network`; it must not call back into a
    // dialog that is half destroyed.
    for (QNetworkReply* reply : network.findChildren<QNetworkReply*>())
        reply->disconnect(this);
    delete ui;
}

void tcIPUpdateDlg::slot_enableDHCP(bool afChecked)
{
    const bool wasBlocked = ui->chkDNSViaDHCP->blockSignals(true);
    for (QWidget* widget :
         {static_cast<QWidget*>(ui->frmIPAddrBegin), static_cast<QWidget*>(ui->frmSubnetMask),
          static_cast<QWidget*>(ui->frmGateway), static_cast<QWidget*>(ui->chkDNSViaDHCP)})
        widget->setEnabled(!afChecked);
    if (afChecked)
        ui->chkDNSViaDHCP->setChecked(true);
    else
        ui->chkDNSViaDHCP->setChecked(dnsViaDhcp);
    const bool dnsEntered = !afChecked && !dnsViaDhcp;
    ui->frmPrefDNS->setEnabled(dnsEntered);
    ui->frmAltDNS->setEnabled(dnsEntered);
    ui->chkDNSViaDHCP->blockSignals(wasBlocked);
}

void tcIPUpdateDlg::slot_enableDNSViaDHCP(bool afChecked)
{
    dnsViaDhcp = afChecked;
    ui->frmPrefDNS->setEnabled(!afChecked);
    ui->frmAltDNS->setEnabled(!afChecked);
}

void tcIPUpdateDlg::slot_closeClicked()
{
    reject();
}

void tcIPUpdateDlg::slot_showPW(bool afChecked)
{
    ui->edtAdminPass->setEchoMode(afChecked ? QLineEdit::Normal : QLineEdit::Password);
}

void tcIPUpdateDlg::slot_updateClicked()
{
    if (running) {
        // Stop. The site in flight still ends on its own; until it has, a new run would
        // share its challenge, nonce count and address plan, so Update waits for it.
        running = false;
        ui->btnUpdate->setText(tr("Update"));
        ui->btnUpdate->setEnabled(false);
        return;
    }
    if (!readPlan() || !acceptPlanConflicts())
        return;
    const QString question =
        siteCount < 2 ? tr("Are you sure you want to update network settings for the selected site?")
                      : tr("Are you sure you want to update network settings for all the selected sites?");
    if (QMessageBox::question(this, tr("Confirm Update"), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;

    ui->lblResults->clear();
    ui->progressBar->setRange(0, 2 * siteCount);
    ui->progressBar->setValue(0);
    ui->btnClose->setEnabled(false);
    ui->btnUpdate->setText(tr("Stop"));
    running = true;
    nextIndex = 0;
    successCount = 0;
    doneCount = 0;
    startNextSite();
}

bool tcIPUpdateDlg::refuse(const QString& title, const QString& text, QWidget* focus)
{
    QMessageBox::information(this, title, text, QMessageBox::Ok);
    focus->setFocus();
    return false;
}

bool tcIPUpdateDlg::acceptPlanConflicts()
{
    if (dhcp)
        return true;
    const QVector<tcHeldAddress> conflicts =
        planConflicts(qFromBigEndian<quint32>(startAddress.data()), siteCount, listedDevices);
    if (conflicts.isEmpty())
        return true;
    QStringList lines;
    for (const tcHeldAddress& device : conflicts)
        lines << QStringLiteral("%1  %2").arg(device.address, deviceLabel(device.name, device.mac));
    QMessageBox box(QMessageBox::Warning, tr("Address Conflict"),
                    tr("These addresses of the plan are already used by other listed devices:\n\n%1\n\n"
                       "Two devices on one address cannot both be reached.")
                        .arg(lines.join(QLatin1Char('\n'))),
                    QMessageBox::Yes | QMessageBox::Cancel, this);
    box.button(QMessageBox::Yes)->setText(tr("Continue"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Yes;
}

bool tcIPUpdateDlg::readPlan()
{
    adminUser = ui->edtAdminUser->text().simplified();
    adminPassword = ui->edtAdminPass->text().simplified();
    dhcp = ui->chkEnableDHCP->isChecked();
    if (adminUser.isEmpty())
        return refuse(tr("Entry Required"), tr("Please enter a user name with administrator access."),
                      ui->edtAdminUser);
    if (adminPassword.isEmpty())
        return refuse(tr("Entry Required"), tr("Please enter the password for the admin user."),
                      ui->edtAdminPass);
    if (dhcp)
        return true;

    const std::array<std::pair<tcIpInput*, QString>, 5> fields{{
        {ui->frmIPAddrBegin, tr("Please enter a valid starting IP address.")},
        {ui->frmSubnetMask, tr("Please enter a valid subnet mask.")},
        {ui->frmGateway, tr("Please enter a valid gateway address.")},
        {ui->frmPrefDNS, tr("Please enter a valid primary DNS address.")},
        {ui->frmAltDNS, tr("Please enter a valid alternate DNS address or 0.0.0.0.")},
    }};
    std::array<quint32, 5> values{};
    for (size_t i = 0; i < fields.size(); ++i) {
        const QString text = fields[i].first->text();
        if (!tcIpInput::isValidAddress(text))
            return refuse(tr("Invalid Entry"), fields[i].second, entryOf(fields[i].first));
        values[i] = QHostAddress(text).toIPv4Address();
    }
    const auto [start, mask, gw, dns1, dns2] = values;
    if ((mask & (start ^ gw)) != 0)
        return refuse(tr("Invalid Entry"),
                      tr("Starting IP address and gateway address must be on the same subnet."),
                      ui->frmGateway);
    startAddress = networkOrder(start);
    subnetMask = networkOrder(mask);
    gateway = networkOrder(gw);
    primaryDns = networkOrder(dns1);
    alternateDns = networkOrder(dns2);
    // Only the last byte advances, so the plan must end at .255 at the latest.
    if (startAddress[3] + siteCount > 256)
        return refuse(tr("Invalid Entry"),
                      tr("Starting IP address is too high for the number of sites selected."),
                      ui->frmIPAddrBegin);
    return true;
}

void tcIPUpdateDlg::startNextSite()
{
    if (running && nextIndex < siteCount) {
        QTreeWidgetItem* item = items->at(nextIndex++);
        item->setData(statusColumn, Qt::DisplayRole, tr("Updating..."));
        ui->progressBar->setValue(doneCount + nextIndex);
        readSite(item);
        return;
    }
    ui->lblResults->setText(tr("%1 site(s) successfully updated.").arg(successCount));
    ui->btnClose->setEnabled(true);
    ui->btnUpdate->setEnabled(!running);
    ui->btnUpdate->setText(running ? tr("Done") : tr("Update"));
    ui->progressBar->setValue(2 * siteCount);
    running = false;
}

void tcIPUpdateDlg::endSite(QTreeWidgetItem* apItem, const QString& text, bool afSuccess)
{
    ++doneCount;
    if (afSuccess)
        ++successCount;
    apItem->setData(statusColumn, Qt::DisplayRole, text);
    startNextSite();
}

void tcIPUpdateDlg::readSite(QTreeWidgetItem* apItem)
{
    challenge.clear();
    nonceCount = 0;
    clientNonce = tcHttpAuth::makeCnonce();
    send(apItem, QByteArray(), 0, false);
}

// An empty body is the read, any other the write.
void tcIPUpdateDlg::send(QTreeWidgetItem* apItem, const QByteArray& abaBody, int aiNonceCount,
                         bool afAnswered)
{
    const tpVideoDevice device = apItem->data(0, Qt::UserRole).value<tpVideoDevice>();
    if (!device) {
        qWarning("Network settings: a chosen row carries no device record");
        endSite(apItem, kInternalError, false);
        return;
    }
    const bool write = !abaBody.isEmpty();
    const QString path = QLatin1String(write ? kWritePath : kReadPath);
    // A camera whose own address is unreachable still answers on its link-local one.
    const QString host =
        device->altAddress.startsWith(QLatin1String("169.254")) ? device->altAddress : device->ipAddress;
    const QUrl url(QStringLiteral("http://%1:%2/%3").arg(host).arg(device->webPort).arg(path));

    QNetworkRequest request(url);
    const QString method = write ? QStringLiteral("POST") : QStringLiteral("GET");
    request.setRawHeader("Authorization",
                         tcHttpAuth::authorizationValue(aiNonceCount, clientNonce, challenge, method, path,
                                                        adminUser, adminPassword)
                             .toUtf8());
    if (write)
        request.setRawHeader("Accept", "*/*");
    request.setRawHeader("Connection", "Close");
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = nullptr;
    if (write) {
        // The devices expect the XML under the form content type, not text/xml.
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        reply = network.post(request, abaBody);
    } else {
        reply = network.get(request);
    }
    connect(reply, &QNetworkReply::finished, this, [this, reply, apItem, abaBody, afAnswered] {
        replyFinished(reply, apItem, abaBody, afAnswered);
    });
}

void tcIPUpdateDlg::replyFinished(QNetworkReply* apReply, QTreeWidgetItem* apItem, const QByteArray& abaBody,
                                  bool afAnswered)
{
    apReply->deleteLater();
    const bool write = !abaBody.isEmpty();
    switch (apReply->error()) {
    case QNetworkReply::NoError:
        if (write)
            writeReply(apItem, apReply->readAll());
        else
            configReply(apItem, apReply->readAll());
        return;
    case QNetworkReply::AuthenticationRequiredError: {
        // One Digest answer per request; a refusal after it, or a challenge that offers
        // no Digest, means the login is wrong.
        const std::optional<QByteArray> digest =
            afAnswered ? std::nullopt : digestChallenge(apReply->rawHeader("WWW-Authenticate"));
        if (!digest) {
            qDebug() << "Network settings: login refused by" << apReply->url().toString();
            endSite(apItem, kLoginFailed, false);
            return;
        }
        challenge = tcHttpAuth::parseChallenge(*digest);
        if (write) {
            send(apItem, abaBody, nonceCount, true);
        } else {
            send(apItem, abaBody, 1, true);
            nonceCount = 2;
        }
        return;
    }
    default:
        qDebug() << "Network settings:" << apReply->url().toString() << "failed:" << apReply->errorString();
        endSite(apItem, kNetworkError, false);
    }
}

void tcIPUpdateDlg::configReply(QTreeWidgetItem* apItem, const QByteArray& abaReply)
{
    const tcDeviceConfig device = parseConfigReply(abaReply);
    if (!device.usable) {
        endSite(apItem, device.error, false);
        return;
    }
    tcSitePlan plan;
    plan.dhcp = dhcp;
    plan.dnsViaDhcp = dnsViaDhcp;
    if (dhcp) {
        if (device.dhcpMode()) {
            endSite(apItem, kSuccess, true);
            return;
        }
        assignedAddress = device.staticIp;
    } else {
        // .0 is a network address, never a camera's; the byte never advances past it.
        if (startAddress[3] == 0) {
            endSite(apItem, kInternalError, false);
            return;
        }
        assignedAddress = dotted(startAddress);
        ++startAddress[3]; // 8-bit: the plan never carries into the third byte
        plan.address = assignedAddress;
        plan.gateway = dotted(gateway);
        plan.mask = dotted(subnetMask);
        plan.dns1 = dotted(primaryDns);
        plan.dns2 = dotted(alternateDns);
    }
    const QByteArray body = configBody(device, plan);
    send(apItem, body, nonceCount++, false);
    if (isIncomplete(body))
        qDebug("Network configuration XML is incomplete!!!");
}

void tcIPUpdateDlg::writeReply(QTreeWidgetItem* apItem, const QByteArray& abaReply)
{
    const tcWriteVerdict verdict = parseWriteReply(abaReply);
    if (verdict.success) {
        apItem->setData(ipColumn, Qt::DisplayRole, dhcp ? QStringLiteral("0.0.0.0") : assignedAddress);
        apItem->setData(ipColumn + 1, Qt::DisplayRole,
                        dhcp ? QStringLiteral("dhcp") : QStringLiteral("static"));
    }
    endSite(apItem, verdict.text, verdict.success);
}
