#include "tcZLCodec.h"

#include <QtTest>

class tst_ZLCodec : public QObject
{
    Q_OBJECT
private slots:
    void request() { QCOMPARE(buildZLRequest().toHex(), QByteArrayLiteral("485a4c4200000100")); }

    void parseReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        // siteName|cloudId|model|macAddress|ipAddress|webPort|firmware, empty when dropped
        QTest::addColumn<QString>("expected");
        QFile fixture(QStringLiteral(ZL_TEST_DATA_DIR "/bridge/reply.json"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        QTest::newRow("every key present")
            << fixture.readAll() << "North Yard|ZLB-7Q4M-22XK|ZLB-4|0A:3D:91:C4:D5:E6|10.99.0.2|8443|2.7.1";
        QTest::newRow("only the four required keys")
            << QByteArray(R"({"cloudId":"c1","macAddr":"0a3d91a1b2c3","ipAddr":"10.0.0.9","webPort":80})")
            << "|c1|ZLB|0A:3D:91:A1:B2:C3|10.0.0.9|80|";
        // A port cut down to 16 bits would point the browser at another service.
        for (const char* port : {"\"80\"", "80.5", "65616", "-1"})
            QTest::addRow("webPort %s gives 0", port)
                << QByteArray(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":@})")
                       .replace("@", port)
                << "|c1|ZLB||10.0.0.9|0|";
        QTest::newRow("dashed MAC upper-cased, separators kept")
            << QByteArray(
                   R"({"cloudId":"c1","macAddr":"0a-3d-91-a1-b2-c3","ipAddr":"10.0.0.9","webPort":80})")
            << "|c1|ZLB|0A-3D-91-A1-B2-C3|10.0.0.9|80|";
        // Unicode upper-cases U+0390 to three characters: only ASCII letters change, so the
        // MAC stays as long as it was sent (found while fuzzing).
        QTest::newRow("non-ASCII MAC keeps its other characters")
            << QByteArray(
                   "{\"cloudId\":\"c1\",\"macAddr\":\"0a3d91a1b\xce\x90ullc3\",\"ipAddr\":\"10.0.0.9\","
                   "\"webPort\":80}")
            << QString::fromUtf8("|c1|ZLB|0A3D91A1B\xce\x90ULLC3|10.0.0.9|80|");
        QTest::newRow("keys of other types give empty texts and the default model")
            << QByteArray(
                   R"({"cloudId":7,"macAddr":null,"ipAddr":["10.0.0.9"],"webPort":80,"model":1,"siteName":{}})")
            << "||ZLB|||80|";
        // The address becomes the authority of the web page's URL: user info, a path or a
        // query hidden in it would send the browser elsewhere.
        for (const char* address : {"10.0.0.9@other.host", "10.0.0.9?x"})
            QTest::addRow("address %s dropped", address)
                << QByteArray(R"({"cloudId":"c1","macAddr":"","ipAddr":"@","webPort":80})")
                       .replace("@", address)
                << "|c1|ZLB|||80|";
        QTest::newRow("host name kept")
            << QByteArray(R"({"cloudId":"c1","macAddr":"","ipAddr":"bridge-7.site","webPort":80})")
            << "|c1|ZLB||bridge-7.site|80|";
        QTest::newRow("key spelled in another case")
            << QByteArray(R"({"cloudid":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80})") << QString();
        QTest::newRow("array holding the object")
            << QByteArray(R"([{"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80}])") << QString();
        QTest::newRow("trailing bytes after the object")
            << QByteArray(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80}xx)") << QString();
        // Qt 5.15 leaks the first value of a repeated key when it is an array or object;
        // the sanitizer build of this test reports that leak if such a reply reaches Qt.
        QTest::newRow("repeated key holding an array refused")
            << QByteArray(R"({"":[""],"":[]})") << QString();
        QTest::newRow("key repeated through an escape refused")
            << QByteArray("{\"cloudId\":\"c1\",\"macAddr\":\"\",\"ipAddr\":\"10.0.0.9\",\"webPort\":80,"
                          "\"model\":{\"x\":[1]},\"mod\\u0065l\":2}")
            << QString();
        // Qt compares unescaped keys only up to a zero byte: two keys alike up to it were one
        // repeated key to Qt, with the leak above (found while fuzzing).
        QTest::newRow("keys alike up to a zero byte refused")
            << QByteArray("{\"cloudId\":\"c1\",\"macAddr\":\"\",\"ipAddr\":\"10.0.0.9\",\"webPort\":80,"
                          "\"a\0b\":[1],\"a\0c\":[2]}",
                          82)
            << QString();
        // Qt reads the byte after a backslash as a signed char: a backslash then 0xB0 became two
        // code units never sent (found while fuzzing). Only the escapes JSON has pass.
        QTest::newRow("escape of a byte past 0x7F refused")
            << QByteArray(
                   "{\"cloudId\":\"c1\",\"macAddr\":\"0\\\xb0!\",\"ipAddr\":\"10.0.0.9\",\"webPort\":80}")
            << QString();
        QTest::newRow("escape JSON does not have refused")
            << QByteArray(R"({"cloudId":"c\a","macAddr":"","ipAddr":"10.0.0.9","webPort":80})") << QString();
        QTest::newRow("same key in two nested objects is no repeat")
            << QByteArray("{\"cloudId\":\"c1\",\"macAddr\":\"\",\"ipAddr\":\"10.0.0.9\",\"webPort\":80,"
                          "\"siteName\":{\"k\":\"\\\":\"},\"model\":[{\"k\":1}]}")
            << "|c1|ZLB||10.0.0.9|80|";
    }
    void parseReply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        const std::unique_ptr<tcVideoDevice> device = parseZLReply(datagram, nullptr);
        QCOMPARE(bool(device), !expected.isEmpty());
        if (!device)
            return;
        QCOMPARE(device->type, qint32(ZLServer2));
        const QStringList fields{device->siteName,   device->cloudId,   device->model,
                                 device->macAddress, device->ipAddress, QString::number(device->webPort),
                                 device->firmware};
        QCOMPARE(fields.join(QLatin1Char('|')), expected);
    }

    // The reply is read from the datagram's bytes only, never from what follows them.
    void readsOnlyTheDatagram()
    {
        const QByteArray buffer =
            QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80})");
        QVERIFY(parseZLReply(buffer, nullptr));
        QVERIFY(!parseZLReply(QByteArray::fromRawData(buffer.constData(), buffer.size() - 1), nullptr));
    }
};

QTEST_GUILESS_MAIN(tst_ZLCodec)
#include "tst_zlcodec.moc"
