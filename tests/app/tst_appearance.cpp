#include "tcAppearance.h"

#include <QtTest>

Q_DECLARE_METATYPE(QPalette::ColorGroup)
Q_DECLARE_METATYPE(QPalette::ColorRole)

class tst_Appearance : public QObject
{
    Q_OBJECT
private slots:
    void darkPalette_data()
    {
        QTest::addColumn<QPalette::ColorGroup>("group");
        QTest::addColumn<QPalette::ColorRole>("role");
        QTest::addColumn<QColor>("colour");
        const QColor blue(42, 130, 218);
        QTest::newRow("text gray when disabled") << QPalette::Disabled << QPalette::Text << QColor(Qt::gray);
        QTest::newRow("selected row") << QPalette::Active << QPalette::Highlight << blue;
        QTest::newRow("selected row text")
            << QPalette::Active << QPalette::HighlightedText << QColor(Qt::black);
        QTest::newRow("no etched light on disabled texts")
            << QPalette::Disabled << QPalette::Light << QColor(0, 0, 0, 0);
        QTest::newRow("untouched role comes from the base")
            << QPalette::Active << QPalette::Shadow << QColor(1, 2, 3);
    }
    void darkPalette()
    {
        QFETCH(QPalette::ColorGroup, group);
        QFETCH(QPalette::ColorRole, role);
        QFETCH(QColor, colour);
        QPalette base;
        base.setColor(QPalette::All, QPalette::Shadow, QColor(1, 2, 3));
        const QPalette dark = ::darkPalette(base);
        QCOMPARE(dark.brush(group, role).color(), colour);
        QCOMPARE(dark.brush(group, role).style(), Qt::SolidPattern);
    }

    void chooseStyle_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("style");
        QTest::newRow("fusion offered") << QStringList{"Windows", "Fusion"} << "Fusion";
        QTest::newRow("only a differently spelt fusion") << QStringList{"Windows", "fusion"} << "Windows";
    }
    void chooseStyle()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, style);
        QCOMPARE(::chooseStyle(keys), style);
    }
};

QTEST_MAIN(tst_Appearance)
#include "tst_appearance.moc"
