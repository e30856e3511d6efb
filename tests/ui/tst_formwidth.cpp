#include "tcIPUpdateDlg.h"
#include "tcPWUpdateDlg.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTreeWidget>
#include <QtTest>

// Under a desktop font larger than the one the forms were drawn with, no label or check
// box of a configuration dialog may be cut off.
class tst_FormWidth : public QObject
{
    Q_OBJECT
private slots:
    void nothingClipped()
    {
        QFont font = QApplication::font();
        font.setPointSize(16);
        QApplication::setFont(font);

        QTreeWidget tree;
        const QList<QTreeWidgetItem*> items{new QTreeWidgetItem(&tree)};
        tcIPUpdateDlg ip(nullptr, items, 3, 9);
        tcPWUpdateDlg pw(nullptr, items, 9);
        for (QDialog* dialog : {static_cast<QDialog*>(&ip), static_cast<QDialog*>(&pw)}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QVERIFY(dialog->width() >= 300);
            QList<QWidget*> texts;
            for (QLabel* label : dialog->findChildren<QLabel*>())
                texts << label;
            for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
                texts << button;
            for (QWidget* widget : texts) {
                // the form's own labels, check boxes and buttons; not Qt's inner widgets
                const QString name = widget->objectName();
                if (widget->isVisible() &&
                    (name.startsWith(QLatin1String("lbl")) || name.startsWith(QLatin1String("chk")) ||
                     name.startsWith(QLatin1String("btn"))))
                    QVERIFY2(widget->width() >= widget->minimumSizeHint().width(),
                             qPrintable(QStringLiteral("%1 %2: %3 < %4")
                                            .arg(widget->metaObject()->className(), widget->objectName())
                                            .arg(widget->width())
                                            .arg(widget->minimumSizeHint().width())));
            }
            dialog->hide();
        }
    }
};

QTEST_MAIN(tst_FormWidth)
#include "tst_formwidth.moc"
