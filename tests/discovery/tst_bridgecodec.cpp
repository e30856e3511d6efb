#include "tcBridgeCodec.h"

#include <QtTest>

class tst_BridgeCodec : public QObject
{
    Q_OBJECT
private slots:
    void request()
    {
        QCOMPARE(bridgeRequest().toHex(), QByteArrayLiteral("485a4c4200000100"));
    }

    void parseReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("accepted");
        // siteName | cloudId | model | macAddress | ipAddress | webPort | firmware
        QTest::addColumn<QString>("expected");

        QFile fixture(QStringLiteral(ZL_TEST_DATA_DIR "/bridge/reply.json"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        QTest::newRow("every key present") << fixture.readAll() << true
                                           << "North Yard|ZLB-7Q4M-22XK|ZLB-4|0A:3D:91:C4:D5:E6|10.99.0.2|8443|2.7.1";

        QTest::newRow("only the four required keys")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"0a3d91a1b2c3","ipAddr":"10.0.0.9","webPort":80})")
            << true << "|c1|ZLB|0A:3D:91:A1:B2:C3|10.0.0.9|80|";
        QTest::newRow("webPort as a string gives 0")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":"80"})") << true
            << "|c1|ZLB||10.0.0.9|0|";
        QTest::newRow("webPort with a fraction gives 0")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80.5})") << true
            << "|c1|ZLB||10.0.0.9|0|";
        QTest::newRow("webPort past 65535 gives 0, not a wrapped port")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":65616})") << true
            << "|c1|ZLB||10.0.0.9|0|";
        QTest::newRow("webPort negative gives 0")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":-1})") << true
            << "|c1|ZLB||10.0.0.9|0|";
        QTest::newRow("webPort 443 in exponent form")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":4.43e2})") << true
            << "|c1|ZLB||10.0.0.9|443|";
        QTest::newRow("dashed MAC upper-cased, separators kept")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"0a-3d-91-a1-b2-c3","ipAddr":"10.0.0.9","webPort":80})")
            << true << "|c1|ZLB|0A-3D-91-A1-B2-C3|10.0.0.9|80|";
        QTest::newRow("required keys of other types give empty texts")
            << QByteArrayLiteral(R"({"cloudId":7,"macAddr":null,"ipAddr":["10.0.0.9"],"webPort":80,"model":1})")
            << true << "||ZLB|||80|";
        QTest::newRow("key order and white space do not matter")
            << QByteArrayLiteral("\n{ \"webPort\" : 81 ,\n \"ipAddr\":\"10.0.0.9\", \"macAddr\":\"a0b1c2d3e4f5\","
                                 " \"cloudId\":\"c1\", \"firmware\":\"1.0\", \"siteName\":\"Gate\" }\n")
            << true << "Gate|c1|ZLB|A0:B1:C2:D3:E4:F5|10.0.0.9|81|1.0";

        QTest::newRow("webPort missing")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"0a3d91a1b2c3","ipAddr":"10.0.0.9"})") << false
            << QString();
        QTest::newRow("cloudId missing")
            << QByteArrayLiteral(R"({"macAddr":"0a3d91a1b2c3","ipAddr":"10.0.0.9","webPort":80})") << false
            << QString();
        QTest::newRow("key spelled in another case")
            << QByteArrayLiteral(R"({"cloudid":"c1","macAddr":"0a3d91a1b2c3","ipAddr":"10.0.0.9","webPort":80})")
            << false << QString();
        QTest::newRow("array holding the object")
            << QByteArrayLiteral(R"([{"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80}])") << false
            << QString();
        QTest::newRow("a bare string") << QByteArrayLiteral(R"("cloudId")") << false << QString();
        QTest::newRow("object cut short")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":8)") << false
            << QString();
        QTest::newRow("trailing bytes after the object")
            << QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80}xx)") << false
            << QString();
        QTest::newRow("the request itself") << bridgeRequest() << false << QString();
        QTest::newRow("empty datagram") << QByteArray() << false << QString();
    }
    void parseReply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, accepted);
        QFETCH(QString, expected);
        tcLocateParams params;
        params.password = QStringLiteral("s3cret");
        const std::unique_ptr<tcVideoDevice> device = parseBridgeReply(datagram, &params);
        QCOMPARE(bool(device), accepted);
        if (!device)
            return;
        QCOMPARE(device->type, qint32(ZLServer2));
        QCOMPARE(device->password, params.password);
        const QString fields = QStringList{device->siteName, device->cloudId, device->model, device->macAddress,
                                           device->ipAddress, QString::number(device->webPort), device->firmware}
                                   .join(QLatin1Char('|'));
        QCOMPARE(fields, expected);
    }

    // The reply is read from the datagram's bytes only, never from what follows them.
    void readsOnlyTheDatagram()
    {
        const QByteArray buffer = QByteArrayLiteral(R"({"cloudId":"c1","macAddr":"","ipAddr":"10.0.0.9","webPort":80})");
        QVERIFY(parseBridgeReply(buffer, nullptr));
        QVERIFY(!parseBridgeReply(QByteArray::fromRawData(buffer.constData(), buffer.size() - 1), nullptr));
    }
};

QTEST_GUILESS_MAIN(tst_BridgeCodec)
#include "tst_bridgecodec.moc"
