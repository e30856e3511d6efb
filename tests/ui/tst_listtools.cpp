// The window's list tools as an installer uses them: the find field with the kind
// buttons, copying rows, exporting them, and the address marks and plan warning. Reports
// are handed to the window directly; the scan side's own subnet is 10.99.0.0/16.
#include "MainWindow.h"
#include "report.h"
#include "tcRangeEntry.h"
#include "tcSiteLocateItem.h"
#include "zltest.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

using zltest::report;

namespace {

const QString kMacA = QStringLiteral("0a:3d:91:00:00:0a");
const QString kMacB = QStringLiteral("0a:3d:91:00:00:0b");

void finishCycle(MainWindow& window)
{
    for (int i = 0; i < 3; ++i)
        window.slot_waitTimer();
}

void showActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

std::function<void(tcVideoDevice&)> named(const QString& name, bool pqCamera = false)
{
    return [=](tcVideoDevice& d) {
        d.siteName = name;
        d.pqCamera = pqCamera;
    };
}

QStringList shownNames(MainWindow& window)
{
    QStringList names;
    QTreeWidget* tree = window.deviceTree();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (!tree->topLevelItem(i)->isHidden())
            names << tree->topLevelItem(i)->text(tcSiteList::colSiteName);
    }
    return names;
}

// Answers the modal widgets that come up while it lives: the export's file dialog with
// `onFileDialog`, the network settings dialog with `onAddressDialog` (which is run again
// until it returns true, then the dialog is closed), and message boxes with `answers` in
// turn (closed when none is left). Records each box's title and text.
class tcModalScript : public QObject
{
public:
    std::function<void(QFileDialog*)> onFileDialog;
    std::function<void(QDialog*)> onAddressDialog;
    QList<QMessageBox::StandardButton> answers;
    QStringList titles;
    QStringList texts;

    tcModalScript()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start(5);
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            titles << box->windowTitle();
            texts << box->text();
            QAbstractButton* button = answers.isEmpty() ? nullptr : box->button(answers.takeFirst());
            if (button)
                button->click();
            else
                box->reject();
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            if (onFileDialog)
                onFileDialog(files);
            else
                files->reject();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            if (m_addressDone || !onAddressDialog) {
                dialog->reject();
                return;
            }
            if (m_addressBusy)
                return;
            // Update runs its own message boxes; this poll must come back for them.
            m_addressBusy = true;
            QTimer::singleShot(0, dialog, [this, dialog] {
                onAddressDialog(dialog);
                m_addressDone = true;
                m_addressBusy = false;
            });
        }
    }

    QTimer m_poll;
    bool m_addressBusy = false;
    bool m_addressDone = false;
};

// Fills a tcIpInput's four boxes.
void typeAddress(QWidget* field, const QString& address)
{
    const QList<QLineEdit*> boxes = field->findChildren<QLineEdit*>();
    const QStringList octets = address.split('.');
    for (int i = 0; i < boxes.size() && i < octets.size(); ++i)
        boxes[i]->setText(octets[i]);
}

} // namespace

class tst_ListTools : public QObject
{
    Q_OBJECT
private slots:
    void init() { ZL_REQUIRE_SANDBOX(); }

    // A device of every kind, named after where it is; the find text and a kind button.
    // The found label counts the rows shown, after the kind and the find text alike, and
    // the kind's rows again once the find text is cleared.
    void findWithKinds_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("kindLabel");
        QTest::newRow("bridges") << "radShowBridges"
                                 << "NORTH" << QStringList{"North Bridge"} << "Sites found (1 / 9)"
                                 << "Sites found (2 / 9)";
        QTest::newRow("recorders") << "radShowRecorders"
                                   << "north" << QStringList{"North NVR"} << "Sites found (1 / 9)"
                                   << "Sites found (2 / 9)";
        QTest::newRow("cameras") << "radShowCameras"
                                 << "North" << QStringList{"North Gate"} << "Sites found (1 / 9)"
                                 << "Sites found (2 / 9)";
        QTest::newRow("speakers") << "radShowSpeakers"
                                  << "nOrTh" << QStringList{"North Hall"} << "Sites found (1 / 9)"
                                  << "Sites found (1 / 9)";
        QTest::newRow("other") << "radShowOther"
                               << "north" << QStringList{"North Server"} << "Sites found (1 / 9)"
                               << "Sites found (2 / 9)";
        QTest::newRow("cameras, by a lower-case MAC")
            << "radShowCameras"
            << "0a:3d:91:00:00:06" << QStringList{"South Gate"} << "Sites found (1 / 9)"
            << "Sites found (2 / 9)";
        QTest::newRow("cameras, by part of the address")
            << "radShowCameras"
            << "99.5.5" << QStringList{"North Gate"} << "Sites found (1 / 9)"
            << "Sites found (2 / 9)";
        QTest::newRow("cameras, by the protocol column")
            << "radShowCameras"
            << "norvo" << QStringList{"South Gate"} << "Sites found (1 / 9)"
            << "Sites found (2 / 9)";
        QTest::newRow("recorders, nothing holds the text") << "radShowRecorders"
                                                           << "west" << QStringList() << "Sites found (0 / 9)"
                                                           << "Sites found (2 / 9)";
        QTest::newRow("cameras, a text two kinds hold")
            << "radShowCameras"
            << "gate" << QStringList{"North Gate", "South Gate"} << "Sites found (2 / 9)"
            << "Sites found (2 / 9)";
    }
    void findWithKinds()
    {
        QFETCH(QString, button);
        QFETCH(QString, find);
        QFETCH(QStringList, shown);
        QFETCH(QString, label);
        QFETCH(QString, kindLabel);
        MainWindow window;
        int host = 0;
        const auto add = [&](qint32 type, const QString& name, const QString& model = QString()) {
            ++host;
            window.slot_locateFoundSite(report(
                type, QStringLiteral("10.99.5.%1").arg(host),
                QStringLiteral("0a:3d:91:00:00:%1").arg(host, 2, 10, QChar('0')), [&](tcVideoDevice& d) {
                    d.siteName = name;
                    if (!model.isEmpty())
                        d.model = model;
                }));
        };
        add(ZLServer2, "North Bridge");
        add(ZLServer2, "South Bridge");
        add(PQSeries, "North NVR");
        add(PQSeries, "South NVR");
        add(Onvif, "North Gate");
        add(Norvo2Cam, "South Gate");
        add(Onvif, "North Hall", "Ceiling Speaker");
        add(OstraServer, "North Server");
        add(OstraDecoder, "South Decoder");
        finishCycle(window);
        showActive(window);
        window.findChild<QRadioButton*>(button)->setChecked(true);
        const QStringList kindRows = shownNames(window);
        auto* edit = window.findChild<QLineEdit*>("edtFind");
        QVERIFY(edit);
        window.deviceTree()->setFocus();
        QTest::keyClick(window.deviceTree(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), edit);
        QTest::keyClicks(edit, find);
        QCOMPARE(shownNames(window), shown);
        auto* progress = window.findChild<QLabel*>("lblProgress");
        QCOMPARE(progress->text(), label);
        // Picking the kind again keeps the find text applied, and so the count.
        window.findChild<QRadioButton*>("radShowOther")->setChecked(true);
        window.findChild<QRadioButton*>(button)->setChecked(true);
        QCOMPARE(shownNames(window), shown);
        QCOMPARE(progress->text(), label);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(shownNames(window), kindRows);
        QCOMPARE(progress->text(), kindLabel);
    }

    // A row the find text hides comes in when a later report fills in a text it holds.
    void findFollowsMergedTexts()
    {
        MainWindow window;
        window.findChild<QLineEdit*>("edtFind")->setText(QStringLiteral("lobby"));
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacA));
        QCOMPARE(shownNames(window), QStringList());
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacA, named("Lobby")));
        QCOMPARE(shownNames(window), QStringList{"Lobby"});
    }

    // Rows named by their site names; the selection, the find text, and the lines Ctrl+C
    // puts on the clipboard after the header.
    void copyRows_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QStringList>("lines");
        const QString gate = "Gate\tQR-1\tDome\t10.99.5.1\t\t80\t0A:3D:91:00:00:0A\tOnvif\t\t";
        const QString hall = "Hall east\t\tUnknown\t10.99.5.2\t\t80\t0A:3D:91:00:00:0B\tNorvo 2.0\t2.1\t";
        QTest::newRow("two rows in the order shown")
            << QStringList{"Hall\teast", "Gate"} << "" << QStringList{gate, hall};
        QTest::newRow("a selected row the find text hides is left out")
            << QStringList{"Gate", "Hall\teast"} << "hall" << QStringList{hall};
    }
    void copyRows()
    {
        QFETCH(QStringList, selected);
        QFETCH(QString, find);
        QFETCH(QStringList, lines);
        MainWindow window;
        window.slot_locateFoundSite(report(Onvif, "10.99.5.2", kMacB, [](tcVideoDevice& d) {
            d.type = Norvo2Cam;
            d.model.clear();
            d.siteName = QStringLiteral("Hall\teast"); // a tab would split the pasted row
            d.firmware = QStringLiteral("2.1");
        }));
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacA, [](tcVideoDevice& d) {
            d.siteName = QStringLiteral("Gate");
            d.cloudId = QStringLiteral("QR-1");
            d.model = QStringLiteral("Dome");
        }));
        finishCycle(window);
        showActive(window);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        window.findChild<QLineEdit*>("edtFind")->setText(find);
        QTreeWidget* tree = window.deviceTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            tree->topLevelItem(i)->setSelected(selected.contains(tree->topLevelItem(i)->text(0)));
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
        const QString header =
            "Site Name\tCloud ID\tModel\tIP Address\tType\tPort\tMAC\tProtocol\tFW Ver\tStatus";
        QCOMPARE(QGuiApplication::clipboard()->text(), (QStringList{header} + lines).join('\n') + '\n');
    }

    // Export of the rows shown or of all, through the file dialog: the proposed name
    // carries the date and time, the format follows the chosen filter, and the file holds
    // the rows in the order shown with the scan command's fields.
    void exportThroughDialog_data()
    {
        QTest::addColumn<bool>("allRows");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("shown rows as csv") << false << false << QStringList{"10.99.5.1", "10.99.5.3"};
        QTest::newRow("all rows as json")
            << true << true << QStringList{"10.99.5.1", "10.99.5.2", "10.99.5.3"};
    }
    void exportThroughDialog()
    {
        QFETCH(bool, allRows);
        QFETCH(bool, json);
        QFETCH(QStringList, addresses);
        MainWindow window;
        window.slot_locateFoundSite(report(Onvif, "10.99.5.3", kMacA, named("Gate", true)));
        window.slot_locateFoundSite(report(PQSeries, "10.99.5.2", "")); // a recorder: hidden
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacB));
        finishCycle(window);
        window.itemOf(0)->setText(tcSiteList::colStatus, QStringLiteral("Success"));

        QTemporaryDir dir;
        QString proposed;
        tcModalScript script;
        script.onFileDialog = [&](QFileDialog* dialog) {
            proposed = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            if (json) {
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                types->setFocus();
                QTest::keyClick(types, Qt::Key_Down);
                proposed += ' ' + QFileInfo(dialog->selectedFiles().value(0)).fileName();
            }
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(dir.filePath("list"));
            QMetaObject::invokeMethod(dialog, "accept");
        };
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        window.findChild<QAction*>(allRows ? "actExportAll" : "actExportShown")->trigger();
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(script.titles, QStringList());
        const QRegularExpression name("^zephyrlock-devices-(\\d{8}-\\d{6})\\.csv$");
        const QRegularExpressionMatch match = name.match(proposed.section(' ', 0, 0));
        QVERIFY2(match.hasMatch(), qPrintable(proposed));
        const QDateTime stamp = QDateTime::fromString(match.captured(1), "yyyyMMdd-HHmmss");
        QVERIFY(stamp >= before && stamp <= after);
        if (json)
            QCOMPARE(proposed.section(' ', 1), "zephyrlock-devices-" + match.captured(1) + ".json");

        // The default suffix of the chosen format is added to the typed name.
        QFile file(dir.filePath(json ? "list.json" : "list.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QStringList written;
        QString status;
        if (json) {
            for (const QJsonValue& row : QJsonDocument::fromJson(bytes).array()) {
                written << row["ip_address"].toString();
                if (row["ip_address"] == "10.99.5.3")
                    status = row["status"].toString();
            }
        } else {
            const QList<QByteArray> lines = bytes.split('\n');
            QVERIFY(lines[0].startsWith("site_name,cloud_id,model,ip_address,"));
            for (int i = 1; i < lines.size() && !lines[i].isEmpty(); ++i) {
                const QList<QByteArray> fields = lines[i].split(',');
                written << QString::fromUtf8(fields[3]);
                if (fields[3] == "10.99.5.3")
                    status = QString::fromUtf8(fields[9]);
            }
        }
        QCOMPARE(written, addresses);
        QCOMPARE(status, QStringLiteral("Success")); // the row as shown, with its result
    }

    // Targets no one can write, not even root; the target is left as it was and no
    // temporary file stays behind. The first row goes through the file dialog and shows
    // the error box.
    void exportFailure_data()
    {
        QTest::addColumn<QString>("target"); // inside a fresh folder holding "afile" and "afolder"
        QTest::addColumn<bool>("throughDialog");
        QTest::newRow("a folder that does not exist") << "missing/list.csv" << true;
        QTest::newRow("a file where the folder should be") << "afile/list.csv" << false;
        QTest::newRow("a folder where the file should be") << "afolder" << false;
    }
    void exportFailure()
    {
        QFETCH(QString, target);
        QFETCH(bool, throughDialog);
        MainWindow window;
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacA));
        finishCycle(window);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("afolder"));
        QFile file(dir.filePath("afile"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("kept") == 4);
        file.close();
        const QString path = dir.filePath(target);

        if (throughDialog) {
            tcModalScript script;
            script.answers = {QMessageBox::Ok};
            script.onFileDialog = [&](QFileDialog* dialog) {
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
                QMetaObject::invokeMethod(dialog, "accept");
            };
            window.findChild<QAction*>("actExportShown")->trigger();
            QCOMPARE(script.titles, QStringList{"Export Failed"});
            QVERIFY2(script.texts.value(0).contains(QDir::toNativeSeparators(path)),
                     qPrintable(script.texts.value(0)));
        } else {
            QString error;
            QVERIFY(!window.exportRows(path, true, tcScanFormat::Csv, &error));
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"afile", "afolder"}));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("kept"));
        QVERIFY(QDir(dir.filePath("afolder")).isEmpty());
    }

    // Two cycles, each a list of "address mac name" reports; the marks in the address
    // column after each, per row in the order of arrival: C a conflict, S another subnet.
    void addressMarks_data()
    {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QString>("firstMarks");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<QString>("secondMarks");
        const QString gateA = "10.99.5.1 " + kMacA + " GateA";
        const QString gateB = "10.99.5.1 " + kMacB + " GateB";
        const QString factoryA = "192.168.0.108 0a:3d:91:00:00:0c FactoryA";
        const QString factoryB = "192.168.0.108 0a:3d:91:00:00:0d FactoryB";
        QTest::newRow("a conflict appears after a refresh")
            << QStringList{gateA} << "-" << QStringList{gateA, gateB} << "C,C";
        QTest::newRow("a conflict is gone after a refresh")
            << QStringList{gateA, gateB} << "C,C" << QStringList{gateB} << "-";
        QTest::newRow("a factory address outside the subnet, then a device inside it")
            << QStringList{factoryA} << "S" << QStringList{gateA} << "-";
        QTest::newRow("two factory-default cameras on one address")
            << QStringList{gateA, factoryA, factoryB} << "-,CS,CS" << QStringList{factoryA} << "S";
    }
    void addressMarks()
    {
        QFETCH(QStringList, first);
        QFETCH(QString, firstMarks);
        QFETCH(QStringList, second);
        QFETCH(QString, secondMarks);
        MainWindow window;
        const auto cycle = [&window](const QStringList& reports) {
            for (const QString& r : reports)
                window.slot_locateFoundSite(
                    report(Onvif, r.section(' ', 0, 0), r.section(' ', 1, 1), named(r.section(' ', 2, 2))));
            finishCycle(window);
        };
        const auto marks = [&window] {
            QStringList rows;
            for (int row = 0; row < window.sites().count(); ++row) {
                const QTreeWidgetItem* item = window.itemOf(row);
                const QString tip = item->toolTip(tcSiteList::colAddress);
                QString mark;
                if (tip.contains("Address conflict"))
                    mark += 'C';
                if (tip.contains("Other subnet"))
                    mark += 'S';
                if (mark.isEmpty())
                    mark = '-';
                // an icon exactly on the marked rows
                if (item->icon(tcSiteList::colAddress).isNull() != (mark == '-'))
                    mark += '!';
                rows << mark;
            }
            return rows.join(',');
        };
        cycle(first);
        QCOMPARE(marks(), firstMarks);
        window.findChild<QPushButton*>("btnRefresh")->click();
        cycle(second);
        QCOMPARE(marks(), secondMarks);
    }

    // A device in a range the window sweeps by unicast is reached through a router: not
    // marked; one beside the range is.
    void sweptRangeIsNoOtherSubnet()
    {
        MainWindow window;
        auto* ranges = window.findChild<tcRangeEntry*>();
        QVERIFY(ranges);
        QCOMPARE(ranges->setRangesText(QStringLiteral("192.168.0.96-192.168.0.111")), QString());
        finishCycle(window);
        window.findChild<QPushButton*>("btnRefresh")->click();
        window.slot_locateFoundSite(report(Onvif, "192.168.0.108", kMacA));
        window.slot_locateFoundSite(report(Onvif, "192.168.0.112", kMacB));
        QCOMPARE(window.itemOf(0)->toolTip(tcSiteList::colAddress), QString());
        QVERIFY(window.itemOf(1)->toolTip(tcSiteList::colAddress).contains("Other subnet"));
    }

    // Each conflicting row names every other device on its address by name and MAC, and
    // a name or MAC filled in later shows up in the others' tooltips.
    void conflictTooltipNamesTheOthers()
    {
        MainWindow window;
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacA, named("Gate")));
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacB));
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", "0a:3d:91:00:00:0c", named("Yard")));
        window.slot_locateFoundSite(report(Onvif, "10.99.5.1", kMacB, named("Hall")));
        const QString tip = window.itemOf(0)->toolTip(tcSiteList::colAddress);
        QVERIFY2(
            tip.contains("10.99.5.1 is also used by Hall (0A:3D:91:00:00:0B), Yard (0A:3D:91:00:00:0C)."),
            qPrintable(tip));
        QVERIFY2(window.itemOf(2)
                     ->toolTip(tcSiteList::colAddress)
                     .contains("Gate (0A:3D:91:00:00:0A), Hall (0A:3D:91:00:00:0B)"),
                 qPrintable(window.itemOf(2)->toolTip(tcSiteList::colAddress)));
        // A name is the device's to choose: markup in it is shown as text, never rendered.
        window.slot_locateFoundSite(
            report(Onvif, "10.99.5.9", "0a:3d:91:00:00:1a", named("<b>Lab</b> & co")));
        window.slot_locateFoundSite(report(Onvif, "10.99.5.9", "0a:3d:91:00:00:1b"));
        const QString marked = window.itemOf(window.sites().count() - 1)->toolTip(tcSiteList::colAddress);
        QVERIFY2(marked.contains("used by &lt;b&gt;Lab&lt;/b&gt; &amp; co (0A:3D:91:00:00:1A)"),
                 qPrintable(marked));
    }

    // Three pq cameras at 10.99.2.10-12 chosen for a static plan; other listed devices
    // are a camera at .21, one at .22 and a recorder (hidden under "Cameras") at .41.
    // The start address of the plan, the answers given to the boxes in turn, the boxes'
    // titles and the conflict lines the warning lists.
    void planConflicts_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("dhcp");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("listed");
        using Answers = QList<int>;
        const QStringList both{"10.99.2.21  Cam C (0A:3D:91:00:00:15)",
                               "10.99.2.22  Cam D (0A:3D:91:00:00:16)"};
        QTest::newRow("a plan over two listed devices, cancelled")
            << "10.99.2.20" << false << Answers{QMessageBox::Cancel} << QStringList{"Address Conflict"}
            << both;
        QTest::newRow("a plan over two listed devices, continued to the confirmation")
            << "10.99.2.20" << false << Answers{QMessageBox::Yes, QMessageBox::No}
            << QStringList{"Address Conflict", "Confirm Update"} << both;
        QTest::newRow("a device hidden by the kind filter still holds its address")
            << "10.99.2.40" << false << Answers{QMessageBox::Cancel} << QStringList{"Address Conflict"}
            << QStringList{"10.99.2.41  NVR (0A:3D:91:00:00:29)"};
        QTest::newRow("the chosen cameras' own addresses are no conflict")
            << "10.99.2.10" << false << Answers{QMessageBox::No} << QStringList{"Confirm Update"}
            << QStringList();
        QTest::newRow("a plan clear of every device") << "10.99.2.23" << false << Answers{QMessageBox::No}
                                                      << QStringList{"Confirm Update"} << QStringList();
        QTest::newRow("dhcp hands out no address") << "10.99.2.20" << true << Answers{QMessageBox::No}
                                                   << QStringList{"Confirm Update"} << QStringList();
    }
    void planConflicts()
    {
        QFETCH(QString, start);
        QFETCH(bool, dhcp);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, listed);
        MainWindow window;
        const auto add = [&](qint32 type, int host, const QString& name, bool pq) {
            window.slot_locateFoundSite(
                report(type, QStringLiteral("10.99.2.%1").arg(host),
                       QStringLiteral("0a:3d:91:00:00:%1").arg(host, 2, 16, QChar('0')), named(name, pq)));
        };
        for (int host : {10, 11, 12})
            add(Onvif, host, QStringLiteral("Chosen %1").arg(host), true);
        add(Onvif, 21, "Cam C", false);
        add(Onvif, 22, "Cam D", true); // eligible, but not selected
        add(PQSeries, 41, "NVR", false);
        finishCycle(window);
        for (int row : {0, 1, 2})
            window.itemOf(row)->setSelected(true);

        tcModalScript script;
        for (int answer : answers)
            script.answers << QMessageBox::StandardButton(answer);
        script.onAddressDialog = [&](QDialog* dialog) {
            dialog->findChild<QLineEdit*>("edtAdminPass")->setText(QStringLiteral("7093"));
            dialog->findChild<QCheckBox*>("chkEnableDHCP")->setChecked(dhcp);
            if (!dhcp) {
                typeAddress(dialog->findChild<QWidget*>("frmIPAddrBegin"), start);
                typeAddress(dialog->findChild<QWidget*>("frmSubnetMask"), "255.255.0.0");
                typeAddress(dialog->findChild<QWidget*>("frmGateway"), "10.99.0.1");
                typeAddress(dialog->findChild<QWidget*>("frmPrefDNS"), "10.99.0.53");
                typeAddress(dialog->findChild<QWidget*>("frmAltDNS"), "0.0.0.0");
            }
            dialog->findChild<QPushButton*>("btnUpdate")->click();
        };
        window.findChild<QPushButton*>("btnUpdateAddresses")->click();
        QCOMPARE(script.titles, titles);
        if (!listed.isEmpty()) {
            const QString text = script.texts.value(0);
            QVERIFY2(text.contains(listed.join('\n') + "\n\n"), qPrintable(text));
        }
        // Nothing ran: the chosen rows still wait.
        for (int row : {0, 1, 2})
            QCOMPARE(window.itemOf(row)->text(tcSiteList::colStatus), QStringLiteral("---"));
    }
};

QTEST_MAIN(tst_ListTools)
#include "tst_listtools.moc"
