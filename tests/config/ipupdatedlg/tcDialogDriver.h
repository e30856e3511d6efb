#pragma once
// Drives the network settings dialog the way a user does: a device list like the main
// window's, typing into the form, pressing buttons and answering the message boxes.
// Shared by the dialog's form tests and its run tests.

#include "boxanswerer.h"
#include "tcIPUpdateDlg.h"
#include "tcIpInput.h"
#include "tcVideoDevice.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace zltest {

// The main window's list: ten columns, the address in 3, its mode in 4, status in 9.
inline constexpr int kIpColumn = 3;
inline constexpr int kStatusColumn = 9;

struct tcSiteRow
{
    QString address;
    QString altAddress;
    quint16 port = 80;
};

// The values a user enters in the form; an empty address leaves that field empty.
struct tcFormEntry
{
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("7093");
    bool dhcp = false;
    QString start, mask = QStringLiteral("255.255.0.0"), gateway = QStringLiteral("10.99.0.1"),
                   dns1 = QStringLiteral("10.99.0.53"), dns2 = QStringLiteral("0.0.0.0");
};

// Types into whatever has the focus, one key at a time, and lets the event loop run
// between keys as it does between a user's key presses (the address field moves on
// from a queued slot).
inline void typeIntoFocus(const QString& keys)
{
    for (const QChar key : keys) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY2(target, "nothing has the focus");
        QTest::keyClick(target, key.toLatin1());
        QCoreApplication::processEvents();
    }
}

class tcDialogDriver
{
public:
    explicit tcDialogDriver(const QList<tcSiteRow>& rows)
    {
        registerVideoDeviceMetaType();
        tree.setColumnCount(10);
        for (const tcSiteRow& row : rows) {
            auto device = tpVideoDevice::create(nullptr);
            device->ipAddress = row.address;
            device->altAddress = row.altAddress;
            device->webPort = row.port;
            device->pqCamera = true;
            auto* item = new QTreeWidgetItem(&tree);
            item->setText(kIpColumn, row.address);
            item->setText(kIpColumn + 1, QStringLiteral("static"));
            item->setText(kStatusColumn, QStringLiteral("---"));
            item->setData(0, Qt::UserRole, QVariant::fromValue(device));
            items << item;
        }
        dialog = std::make_unique<tcIPUpdateDlg>(nullptr, items, kIpColumn, kStatusColumn);
    }

    // Shows the dialog as the active window, as exec() would.
    bool show()
    {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        return QTest::qWaitForWindowActive(dialog.get());
    }

    template <typename T> T* widget(const char* name) const
    {
        T* found = dialog->findChild<T*>(QLatin1String(name));
        if (!found)
            qWarning("the form has no %s", name);
        return found;
    }
    QPushButton* updateButton() const { return widget<QPushButton>("btnUpdate"); }
    QPushButton* closeButton() const { return widget<QPushButton>("btnClose"); }
    QProgressBar* progress() const { return widget<QProgressBar>("progressBar"); }
    QString results() const { return widget<QLabel>("lblResults")->text(); }

    // Clears the field and types the text, starting in its first octet box.
    void typeAddress(const char* field, const QString& address)
    {
        const QList<QLineEdit*> boxes = widget<tcIpInput>(field)->findChildren<QLineEdit*>();
        QCOMPARE(boxes.size(), 4);
        for (QLineEdit* box : boxes)
            box->clear();
        boxes.first()->setFocus();
        typeIntoFocus(address);
    }
    void typeText(const char* field, const QString& text)
    {
        auto* edit = widget<QLineEdit>(field);
        edit->clear();
        edit->setFocus();
        QTest::keyClicks(edit, text);
    }

    void fill(const tcFormEntry& entry)
    {
        // The offscreen platform does not give the focus back when a message box closes.
        QVERIFY(show());
        typeText("edtAdminUser", entry.user);
        typeText("edtAdminPass", entry.password);
        auto* dhcpBox = widget<QCheckBox>("chkEnableDHCP");
        if (dhcpBox->isChecked() != entry.dhcp)
            QTest::mouseClick(dhcpBox, Qt::LeftButton, {}, QPoint(5, dhcpBox->height() / 2));
        QCOMPARE(dhcpBox->isChecked(), entry.dhcp);
        if (entry.dhcp)
            return; // the address fields are disabled and take no keys
        typeAddress("frmIPAddrBegin", entry.start);
        typeAddress("frmSubnetMask", entry.mask);
        typeAddress("frmGateway", entry.gateway);
        typeAddress("frmPrefDNS", entry.dns1);
        typeAddress("frmAltDNS", entry.dns2);
    }

    // Presses Update and answers the box that comes up (if any) with `answer`.
    tcBoxSeen pressUpdate(QMessageBox::StandardButton answer)
    {
        tcBoxAnswerer answerer(answer);
        QTest::mouseClick(updateButton(), Qt::LeftButton);
        return answerer.first();
    }

    // The texts of one column, one per site.
    QStringList column(int index) const
    {
        QStringList texts;
        for (const QTreeWidgetItem* item : items)
            texts << item->text(index);
        return texts;
    }
    QStringList statuses() const { return column(kStatusColumn); }

    QTreeWidget tree;
    QList<QTreeWidgetItem*> items;
    std::unique_ptr<tcIPUpdateDlg> dialog;
};

} // namespace zltest
