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
        QTest::newRow("text white when inactive")
            << QPalette::Inactive << QPalette::Text << QColor(Qt::white);
        QTest::newRow("text gray when disabled") << QPalette::Disabled << QPalette::Text << QColor(Qt::gray);
        QTest::newRow("button text gray when disabled")
            << QPalette::Disabled << QPalette::ButtonText << QColor(Qt::gray);
        QTest::newRow("window text gray when disabled")
            << QPalette::Disabled << QPalette::WindowText << QColor(Qt::gray);
        QTest::newRow("disabled window keeps the dark background")
            << QPalette::Disabled << QPalette::Window << QColor(60, 60, 60);
        QTest::newRow("selected row") << QPalette::Active << QPalette::Highlight << blue;
        QTest::newRow("selected row text")
            << QPalette::Active << QPalette::HighlightedText << QColor(Qt::black);
        QTest::newRow("no etched light on disabled texts")
            << QPalette::Disabled << QPalette::Light << QColor(0, 0, 0, 0);
        QTest::newRow("untouched role comes from the base")
            << QPalette::Active << QPalette::Shadow << QColor(1, 2, 3);
        QTest::newRow("enabled light comes from the base")
            << QPalette::Active << QPalette::Light << QColor(4, 5, 6);
    }
    void darkPalette()
    {
        QFETCH(QPalette::ColorGroup, group);
        QFETCH(QPalette::ColorRole, role);
        QFETCH(QColor, colour);
        QPalette base;
        base.setColor(QPalette::All, QPalette::Shadow, QColor(1, 2, 3));
        base.setColor(QPalette::All, QPalette::Light, QColor(4, 5, 6));
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
        QTest::newRow("no styles") << QStringList{} << "";
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
