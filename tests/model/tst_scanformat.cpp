#include "tcScanFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

tcScanRow row(const QString& name, const QString& address = QStringLiteral("10.1.0.5"))
{
    tcScanRow r;
    r.texts = {name, "QR-1", "Dome", address, "static", "80", "00:1A:2B:3C:4D:5E", "Onvif", "1.2.3", ""};
    r.deviceType = Onvif;
    r.webAddress = QStringLiteral("http://%1:80").arg(address);
    r.updateEligible = true;
    return r;
}

} // namespace

class tst_ScanFormat : public QObject
{
    Q_OBJECT
private slots:
    void csvQuoting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("field");
        QTest::newRow("comma and quote") << "\"A\",\"B\""
                                         << "\"\"\"A\"\",\"\"B\"\"\"";
        QTest::newRow("line feed quoted") << "Gate\nnorth"
                                          << "\"Gate\nnorth\"";
        QTest::newRow("spaces kept, unquoted") << " Gate "
                                               << " Gate ";
    }
    void csvQuoting()
    {
        QFETCH(QString, name);
        QFETCH(QString, field);
        const QByteArray csv = formatCsv({row(name)});
        const int headerEnd = csv.indexOf("\r\n") + 2;
        const QByteArray expected = (field + ",QR-1,Dome,10.1.0.5,static,80,00:1A:2B:3C:4D:5E,Onvif,1.2.3,,5,"
                                             "http://10.1.0.5:80,true,false,false\r\n")
                                        .toUtf8();
        QCOMPARE(csv.mid(headerEnd), expected);
    }

    // One CRLF-ended record per row after the header, which alone is the output of no rows.
    void csvLayout()
    {
        tcScanRow recorder = row("NVR", "10.1.0.9");
        recorder.deviceType = PQSeries;
        recorder.updateEligible = false;
        const QByteArray csv = formatCsv({row("Gate"), recorder});
        QCOMPARE(csv.count("\r\n"), 3);
        QCOMPARE(csv.count('\n'), 3);
        QVERIFY(csv.startsWith(formatCsv({})));
        QVERIFY(csv.endsWith(",6,http://10.1.0.9:80,false,false,false\r\n"));
    }

    // The two address flags, each alone, in both forms: booleans in JSON, their JSON
    // text in CSV, always the last two fields.
    void addressFlags_data()
    {
        QTest::addColumn<bool>("conflict");
        QTest::addColumn<bool>("otherSubnet");
        QTest::newRow("address conflict") << true << false;
        QTest::newRow("other subnet") << false << true;
    }
    void addressFlags()
    {
        QFETCH(bool, conflict);
        QFETCH(bool, otherSubnet);
        tcScanRow flagged = row("Gate");
        flagged.addressConflict = conflict;
        flagged.otherSubnet = otherSubnet;
        const QJsonObject object = QJsonDocument::fromJson(formatJson({flagged})).array().at(0).toObject();
        QCOMPARE(object.size(), kScanFieldCount);
        QCOMPARE(object.value("address_conflict"), QJsonValue(conflict));
        QCOMPARE(object.value("other_subnet"), QJsonValue(otherSubnet));
        QCOMPARE(object.value("update_eligible"), QJsonValue(true));
        const QList<QByteArray> lines = formatCsv({flagged}).split('\n');
        QVERIFY(lines[0].endsWith(",update_eligible,address_conflict,other_subnet\r"));
        const QByteArray tail =
            QByteArray(conflict ? "true" : "false") + ',' + (otherSubnet ? "true" : "false");
        QVERIFY2(lines[1].endsWith(",true," + tail + '\r'), lines[1].constData());
    }

    // Every column starts at the same offset on every line, the header line included,
    // whatever the length of a name in characters.
    void tableAlignment()
    {
        const QStringList names{QString::fromUtf8("Warehouse S\xc3\xbc"
                                                  "d"),
                                ""};
        QVector<tcScanRow> rows;
        for (const QString& name : names)
            rows << row(name, QStringLiteral("10.1.0.%1").arg(rows.size() + 100));
        const QStringList lines = QString::fromUtf8(formatTable(rows)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), rows.size() + 1);
        const int modelAt = lines[0].indexOf("Model");
        const int addressAt = lines[0].indexOf("IP Address");
        const int protocolAt = lines[0].indexOf("Protocol");
        QVERIFY(modelAt > 0 && addressAt > modelAt && protocolAt > addressAt);
        for (int i = 0; i < rows.size(); ++i) {
            const QString& line = lines[i + 1];
            QVERIFY2(line.startsWith(names[i]), qPrintable(line));
            QCOMPARE(line.mid(modelAt, 4), QStringLiteral("Dome"));
            QCOMPARE(line.mid(addressAt, 10), rows[i].texts[tcSiteList::colAddress]);
            QCOMPARE(line.mid(protocolAt, 5), QStringLiteral("Onvif"));
            QVERIFY2(!line.endsWith(' '), qPrintable(line));
        }
    }

    // The marks the window draws on an address are words at the end of a table row.
    void tableNotes_data()
    {
        QTest::addColumn<bool>("conflict");
        QTest::addColumn<bool>("otherSubnet");
        QTest::addColumn<QString>("notes");
        QTest::newRow("none") << false << false << "";
        QTest::newRow("a conflict") << true << false << "address conflict";
        QTest::newRow("another subnet") << false << true << "other subnet";
        QTest::newRow("both") << true << true << "address conflict, other subnet";
    }
    void tableNotes()
    {
        QFETCH(bool, conflict);
        QFETCH(bool, otherSubnet);
        QFETCH(QString, notes);
        tcScanRow flagged = row(QStringLiteral("Gate"));
        flagged.addressConflict = conflict;
        flagged.otherSubnet = otherSubnet;
        const QStringList lines =
            QString::fromUtf8(formatTable({flagged, row(QStringLiteral("Yard"), QStringLiteral("10.1.0.6"))}))
                .split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        const int notesAt = lines[0].indexOf(QLatin1String("Notes"));
        QVERIFY(notesAt > lines[0].indexOf(QLatin1String("Status")));
        QCOMPARE(lines[1].mid(notesAt), notes);
        QCOMPARE(lines[2].size() <= notesAt, true); // the plain row ends before the notes
    }

    // A name from the network cannot steer the terminal or break a row in two.
    void tableControlCharacters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        const QString r(QChar::ReplacementCharacter);
        QTest::newRow("escape sequence") << "Cam\x1b[2J"
                                         << "Cam" + r + "[2J";
        QTest::newRow("C1 control") << QString("Cam") + QChar(0x9b) + "31m"
                                    << "Cam" + r + "31m";
    }
    void tableControlCharacters()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        const QStringList lines = QString::fromUtf8(formatTable({row(name)})).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].startsWith(shown + ' '), qPrintable(lines[1]));
    }
};

QTEST_GUILESS_MAIN(tst_ScanFormat)
#include "tst_scanformat.moc"
