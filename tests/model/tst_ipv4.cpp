// The one reader of typed IPv4 addresses and the rule by which a plan advances.
#include "tcIPv4.h"

#include <QtTest>

class tst_IPv4 : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // empty: refused
        const struct
        {
            const char* name;
            const char* text;
            const char* read;
        } rows[] = {
            {"plain", "10.99.3.20", "10.99.3.20"},
            {"all zeros", "0.0.0.0", "0.0.0.0"},
            {"all ones", "255.255.255.255", "255.255.255.255"},
            {"a leading zero", "10.99.3.020", ""},
            {"a zero octet padded", "10.00.3.20", ""},
            {"an octet past 255", "10.99.3.256", ""},
            {"four digits", "10.99.3.2000", ""},
            {"three octets, as QHostAddress takes them", "10.99.3", ""},
            {"two octets", "10.1", ""},
            {"five octets", "10.99.3.20.1", ""},
            {"a trailing dot", "10.99.3.20.", ""},
            {"a leading dot", ".10.99.3.20", ""},
            {"an empty octet", "10..3.20", ""},
            {"a blank before", " 10.99.3.20", ""},
            {"a blank after", "10.99.3.20 ", ""},
            {"a sign", "10.99.+3.20", ""},
            {"hexadecimal", "0x0a.99.3.20", ""},
            {"empty", "", ""},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << QString::fromLatin1(row.text) << QString::fromLatin1(row.read);
        // digits of another script are digits to QString::toUInt, not to an address field
        QTest::newRow("Arabic-Indic digits") << QStringLiteral("\u0661\u0660.99.3.20") << QString();
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const std::optional<quint32> address = parseIPv4(text);
        QCOMPARE(address ? ipv4Text(*address) : QString(), read);
    }

    void plan_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<QString>("last"); // the count-th address handed out
        QTest::newRow("one") << "10.99.3.20" << 1 << true << "10.99.3.20";
        QTest::newRow("up to .255") << "10.99.3.250" << 6 << true << "10.99.3.255";
        QTest::newRow("one past .255 would wrap to .0") << "10.99.3.250" << 7 << false << "10.99.3.0";
        QTest::newRow("from .0, the whole byte") << "10.99.3.0" << 256 << true << "10.99.3.255";
        QTest::newRow("never into the third byte") << "10.99.3.255" << 2 << false << "10.99.3.0";
    }
    void plan()
    {
        QFETCH(QString, start);
        QFETCH(int, count);
        QFETCH(bool, fits);
        QFETCH(QString, last);
        const quint32 first = *parseIPv4(start);
        QCOMPARE(planFits(first, quint32(count)), fits);
        QCOMPARE(ipv4Text(planAddress(first, quint32(count - 1))), last);
    }
};

QTEST_GUILESS_MAIN(tst_IPv4)
#include "tst_ipv4.moc"
