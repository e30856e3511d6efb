#include "tcIpInput.h"

#include <QApplication>
#include <QLineEdit>
#include <QtTest>

namespace {

// Keys as typed: digits, '.' and ',' as themselves, B Backspace, L Left, R Right.
void typeKeys(const QString& keys)
{
    for (const QChar key : keys) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        switch (key.toLatin1()) {
        case 'B': QTest::keyClick(target, Qt::Key_Backspace); break;
        case 'L': QTest::keyClick(target, Qt::Key_Left); break;
        case 'R': QTest::keyClick(target, Qt::Key_Right); break;
        default: QTest::keyClick(target, key.toLatin1());
        }
        // a user's next key comes after the event loop has run the queued slot
        QCoreApplication::processEvents();
    }
}

} // namespace

class tst_IpInput : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<tcIpInput> m_input;
    QList<QLineEdit*> m_fields;

    QString fieldTexts() const
    {
        QStringList texts;
        for (const QLineEdit* field : m_fields)
            texts << field->text();
        return texts.join('.');
    }

private slots:
    void initTestCase()
    {
        m_input.reset(new tcIpInput);
        m_fields = m_input->findChildren<QLineEdit*>();
        QCOMPARE(m_fields.size(), 4);
        m_input->show();
        QApplication::setActiveWindow(m_input.data());
        QVERIFY(QTest::qWaitForWindowActive(m_input.data()));
    }
    void init()
    {
        for (QLineEdit* field : qAsConst(m_fields))
            field->clear();
    }

    // Field texts as a dotted row, before and after the keys.
    void typing_data()
    {
        QTest::addColumn<QString>("prefill");
        QTest::addColumn<int>("startField");
        QTest::addColumn<int>("startCursor");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<int>("focusField");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("selected");

        const QString empty = "...", full = "192.168.1.10";
        QTest::newRow("1,9,2 moves on after the 2") << empty << 0 << 0 << "192"
                                                    << "192..." << 1 << 0 << "";
        QTest::newRow("2,5,6 leaves 25 and stays") << empty << 0 << 0 << "256"
                                                   << "25..." << 0 << 2 << "";
        QTest::newRow("0 in an empty field gives 0 and moves on") << empty << 0 << 0 << "0"
                                                                  << "0..." << 1 << 0 << "";
        QTest::newRow("1 then 0 gives 10 and stays") << empty << 0 << 0 << "10"
                                                     << "10..." << 0 << 2 << "";
        QTest::newRow("'.' in an empty field does nothing")
            << empty << 0 << 0 << "." << empty << 0 << 0 << "";
        QTest::newRow("',' after 10 moves on and is not typed") << empty << 0 << 0 << "10,"
                                                                << "10..." << 1 << 0 << "";
        QTest::newRow("Backspace at the start of the third field goes to the end of the second")
            << full << 2 << 0 << "B" << full << 1 << 3 << "";
        QTest::newRow("Backspace at the start of the first field stays")
            << full << 0 << 0 << "B" << full << 0 << 0 << "";
        QTest::newRow("Left at the start goes to the end of the previous field")
            << full << 1 << 0 << "L" << full << 0 << 3 << "";
        QTest::newRow("Right at the end goes to the next field, all selected")
            << full << 0 << 3 << "R" << full << 1 << 0 << "168";
        QTest::newRow("Right at the end of the last field stays")
            << full << 3 << 2 << "R" << full << 3 << 2 << "";
        QTest::newRow("0 typed over the selected next field moves on") << full << 0 << 3 << "R0"
                                                                       << "192.0.1.10" << 2 << 1 << "1";
        QTest::newRow("0 after a field holding 0 goes on without a second 0") << "0.5.." << 0 << 1 << "0"
                                                                              << "0.5.." << 1 << 1 << "5";
    }
    void typing()
    {
        QFETCH(QString, prefill);
        QFETCH(int, startField);
        QFETCH(int, startCursor);
        QFETCH(QString, keys);
        QFETCH(QString, texts);
        QFETCH(int, focusField);
        QFETCH(int, cursor);
        QFETCH(QString, selected);

        for (int i = 0; i < 4; ++i)
            m_fields[i]->setText(prefill.section('.', i, i));
        m_fields[startField]->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), m_fields[startField]);
        m_fields[startField]->setCursorPosition(startCursor);

        typeKeys(keys);
        QCOMPARE(fieldTexts(), texts);
        QTRY_COMPARE(QApplication::focusWidget(), m_fields[focusField]);
        QCOMPARE(m_fields[focusField]->cursorPosition(), cursor);
        QCOMPARE(m_fields[focusField]->selectedText(), selected);
    }

    // Fields filled by a program (setText bypasses the validator), then the address read.
    void text_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one empty field gives the empty text") << "192.168..10"
                                                              << "";
        QTest::newRow("a number above 255 gives the empty text") << "192.300.1.10"
                                                                 << "";
        QTest::newRow("leading zeros are kept for the check to refuse") << "192.168.001.1"
                                                                        << "192.168.001.1";
    }
    void text()
    {
        QFETCH(QString, fields);
        QFETCH(QString, expected);
        for (int i = 0; i < 4; ++i)
            m_fields[i]->setText(fields.section('.', i, i));
        QCOMPARE(m_input->text(), expected);
    }

    void isValidAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("all 255") << "255.255.255.255" << true;
        QTest::newRow("256") << "256.1.1.1" << false;
        QTest::newRow("leading zeros") << "192.168.001.1" << false;
        QTest::newRow("trailing newline") << "1.2.3.4\n" << false;
    }
    void isValidAddress()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(tcIpInput::isValidAddress(address), valid);
    }
};

QTEST_MAIN(tst_IpInput)
#include "tst_ipinput.moc"
