#pragma once
// What the end-to-end tests share: the simulated site's own description (the state lines
// zephyrlock-sim prints) and, computed from it, what the scanner's list must show for
// each device; and the steps a user takes in the main window.

#include "MainWindow.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateItem.h"
#include "tcSpecificLocator.h"
#include "zltest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

namespace e2e {

// The state line of every device in the simulator's output so far, by address; a later
// line of a device replaces an earlier one.
inline QMap<QString, QJsonObject> siteState(const QByteArray& output)
{
    QMap<QString, QJsonObject> devices;
    for (const QByteArray& line : output.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QLatin1String("event")).toString() == QLatin1String("state"))
            devices.insert(o.value(QLatin1String("device")).toString(), o);
    }
    return devices;
}

inline QString text(const QJsonObject& device, const char* key)
{
    return device.value(QLatin1String(key)).toString();
}

inline bool speaksProtocol(const QJsonObject& device, const char* protocol)
{
    return device.value(QLatin1String("protocols")).toArray().contains(QLatin1String(protocol));
}

// How the scanner lists one kind of device, by what its protocols tell: the PQ reply
// brings cloud id, address mode and firmware (decoders and storage servers name their
// kind instead of a cloud id), the bridge reply cloud id and firmware, WS-Discovery and
// Norvo 1.0 neither.
struct tcKindView
{
    const char* kind;
    const char* protocolText;
    const char* cloudId; // nullptr: the device's own
    const char* button;  // the kind button that shows it
};

inline const tcKindView* kindView(const QString& kind)
{
    static const tcKindView views[] = {
        {"onvif", "Onvif", "", "radShowCameras"},
        {"norvo2", "Norvo 2.0", nullptr, "radShowCameras"},
        {"norvo1", "Norvo 1.0", "", "radShowCameras"},
        {"pq-camera", "Onvif", nullptr, "radShowCameras"},
        {"pq-recorder", "PQ/PW", nullptr, "radShowRecorders"},
        {"pq-decoder", "Onvif?", "DECODER", "radShowOther"},
        {"pq-storage", "", "STORAGE", "radShowOther"},
        {"bridge", "ZL V2", nullptr, "radShowBridges"},
    };
    for (const tcKindView& view : views)
        if (kind == QLatin1String(view.kind))
            return &view;
    return nullptr;
}

// The object name of the kind button under which the device is listed.
inline QString expectedButton(const QJsonObject& device)
{
    const tcKindView* view = kindView(text(device, "kind"));
    if (!view)
        return QString();
    const QString button = QLatin1String(view->button);
    // speakers, microphones and strobes answer as cameras and have a button of their own
    if (button == QLatin1String("radShowCameras") && tcSiteList::isSpeakerModel(text(device, "model")))
        return QStringLiteral("radShowSpeakers");
    return button;
}

// The ten column texts of the device's row.
inline QStringList expectedTexts(const QJsonObject& device)
{
    const tcKindView* view = kindView(text(device, "kind"));
    if (!view)
        return {};
    const bool pq = speaksProtocol(device, "pq");
    const bool bridge = speaksProtocol(device, "bridge");
    QString model = text(device, "model");
    // A Norvo 1.0 reply names the model only when it is not one of the maker's own.
    if (text(device, "kind") == QLatin1String("norvo1") &&
        model.contains(QLatin1String("norvo"), Qt::CaseInsensitive))
        model = QStringLiteral("Norvo 1.0");
    QString mode;
    if (pq)
        mode = device.value(QLatin1String("network"))
                           .toObject()
                           .value(QLatin1String("ipSettingMode"))
                           .toString() == QLatin1String("dhcp")
                   ? QStringLiteral("dhcp")
                   : QStringLiteral("static");
    return {text(device, "name"),
            view->cloudId ? QLatin1String(view->cloudId) : text(device, "cloudId"),
            model,
            text(device, "device"),
            mode,
            QString::number(device.value(QLatin1String("port")).toInt()),
            text(device, "mac").toUpper(),
            QLatin1String(view->protocolText),
            pq || bridge ? text(device, "firmware") : QString(),
            QString()};
}

inline QStringList rowTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int column = 0; column < item->columnCount(); ++column)
        texts << item->text(column);
    return texts;
}

// Every row of the window's list by the address it was listed with (an update run may
// change the "IP Address" text since).
inline QMap<QString, QTreeWidgetItem*> rowsByAddress(const MainWindow& window)
{
    QMap<QString, QTreeWidgetItem*> rows;
    if (QTreeWidget* tree = window.deviceTree())
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = tree->topLevelItem(i);
            rows.insert(row->data(0, tcSiteLocateItem::AddressRole).toString(), row);
        }
    return rows;
}

inline QPushButton* button(const MainWindow& window, const char* name)
{
    return window.findChild<QPushButton*>(QLatin1String(name));
}

// A discovery cycle ends when Refresh can be pressed again (3 s after it started).
inline bool waitForCycleEnd(const MainWindow& window)
{
    QPushButton* refresh = button(window, "btnRefresh");
    return refresh && QTest::qWaitFor([refresh] { return refresh->isEnabled(); }, 10000);
}

// How many locators still have their sockets open.
inline int runningLocators(const MainWindow& window)
{
    const auto& locators = window.coordinator()->locators();
    return int(std::count_if(locators.begin(), locators.end(),
                             [](const tcSpecificLocator* locator) { return locator->isRunning(); }));
}

inline void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

} // namespace e2e
