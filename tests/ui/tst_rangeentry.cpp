// The window's entry of ranges beyond the local segment, worked through its dialog: an
// accepted text becomes the session's ranges, a refused one is explained in an "Invalid
// Entry" box, leaves the dialog open with the text, and changes nothing.
#include "boxanswerer.h"
#include "tcRangeEntry.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>
#include <QtWidgets>

class tst_RangeEntry : public QObject
{
    Q_OBJECT

    struct tcDialogRun
    {
        QStringList boxes;    // title: text of every box answered
        QStringList attempts; // the dialog's text at each OK
    };

    // Clicks the entry and hands its dialog to `answer` each time the dialog is up, until
    // the dialog closes.
    template <typename Answer> static void clickAndAnswer(tcRangeEntry& entry, Answer answer)
    {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (dialog && dialog->isVisible())
                answer(dialog, dialog->findChild<QLineEdit*>(QStringLiteral("edtRanges")));
        });
        poll.start(10);
        QTest::mouseClick(&entry, Qt::LeftButton);
    }

    // In the entry's dialog each text is typed and OK pressed, one after the other while
    // the dialog stays up; Cancel closes it when texts remain unused or the last one was
    // refused.
    static tcDialogRun runDialog(tcRangeEntry& entry, const QStringList& texts)
    {
        tcDialogRun run;
        zltest::tcBoxAnswerer ok(QMessageBox::Ok);
        int next = 0;
        clickAndAnswer(entry, [&](QInputDialog* dialog, QLineEdit* edit) {
            if (next == texts.size()) {
                dialog->reject();
                return;
            }
            edit->clear();
            QTest::keyClicks(edit, texts[next++]);
            run.attempts << edit->text();
            QTest::keyClick(edit, Qt::Key_Return);
        });
        for (const zltest::tcBoxSeen& box : qAsConst(ok.seen))
            run.boxes << box.title + QStringLiteral(": ") + box.text;
        return run;
    }

private slots:
    void enter_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("hosts");      // the entry's hosts afterwards
        QTest::addColumn<QString>("button"); // the entry's text afterwards

        QTest::newRow("a network") << QStringList{"10.98.0.0/16"} << QStringList{} << 65534
                                   << "Subnets (65534 hosts)...";
        QTest::newRow("two ranges separated by a comma") << QStringList{"10.20.0.0/30, 10.30.1.1-10.30.1.10"}
                                                         << QStringList{} << 12 << "Subnets (12 hosts)...";
        QTest::newRow("a refused range, then a good one")
            << QStringList{"10.0.0.0/8", "10.0.0.0/24"}
            << QStringList{"Invalid Entry: '10.0.0.0/8' is larger than a /16 (16777216 addresses); split it "
                           "into /16 networks"}
            << 254 << "Subnets (254 hosts)...";
        QTest::newRow("a refused range, then cancelled")
            << QStringList{"224.0.0.0/24"}
            << QStringList{"Invalid Entry: '224.0.0.0/24' reaches into the multicast block 224.0.0.0/4, "
                           "where "
                           "no device can be probed"}
            << 0 << "Subnets...";
    }
    void enter()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, boxes);
        QFETCH(int, hosts);
        QFETCH(QString, button);
        tcRangeEntry entry;
        entry.show();
        QSignalSpy changed(&entry, &tcRangeEntry::sig_rangesChanged);
        const tcDialogRun run = runDialog(entry, typed);
        QCOMPARE(run.attempts, typed);
        QCOMPARE(run.boxes, boxes);
        QCOMPARE(int(entry.ranges().hostCount()), hosts);
        QCOMPARE(entry.text(), button);
        QCOMPARE(changed.count(), hosts > 0 ? 1 : 0);
    }

    // The dialog opens with the session's ranges; emptied, the session has none again.
    void clearTheRanges()
    {
        tcRangeEntry entry;
        entry.show();
        QCOMPARE(entry.setRangesText(QStringLiteral("10.98.1.0/24")), QString());
        QString shown;
        clickAndAnswer(entry, [&](QInputDialog*, QLineEdit* edit) {
            shown = edit->text();
            edit->clear();
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QCOMPARE(shown, QStringLiteral("10.98.1.0/24"));
        QVERIFY(entry.ranges().isEmpty());
        QCOMPARE(entry.text(), QStringLiteral("Subnets..."));
    }

    // Which protocols cross a router is said where the ranges are entered.
    void saysWhichProtocolsReachOtherSubnets()
    {
        tcRangeEntry entry;
        QVERIFY(
            entry.toolTip().contains(QLatin1String("Only ONVIF cameras and bridges answer across routers")));
        QString label;
        entry.show();
        clickAndAnswer(entry, [&](QInputDialog* dialog, QLineEdit*) {
            label = dialog->labelText();
            dialog->reject();
        });
        QVERIFY2(label.contains(
                     QLatin1String("Norvo 1.0 and PQ-series devices are found on the local segment only")),
                 qPrintable(label));
    }
};

QTEST_MAIN(tst_RangeEntry)
#include "tst_rangeentry.moc"
