#include "logcapture.h"
#include "norvodatagram.h"
#include "tcONSIPCodec.h"

#include <QtTest>

using zltest::be16Bytes;
using zltest::be32Bytes;
using zltest::norvoTag;
using zltest::norvoTextTag;
using zltest::tcNorvoHeader;

class tst_ONSIPCodec : public QObject
{
    Q_OBJECT
private slots:
    void defaultRequest()
    {
        const QByteArray expected = QByteArray("iCanIPinstaller", 16) +
                                    QByteArray::fromHex("0003000030010000"
                                                        "0030ffffffffffffffffffff") +
                                    QByteArray(12, '\0');
        QCOMPARE(tcONSIPPacket().buildRequest(), expected);
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QStringList>("log");

        const auto header = [](auto change) {
            tcNorvoHeader h;
            change(h);
            return h;
        };
        const QByteArray modeTag = norvoTag(1, be32Bytes(4));

        QTest::newRow("ends inside the header")
            << tcNorvoHeader().datagram().left(47) << false << QList<int>{}
            << QStringList{"short datagram: 47 bytes, the header needs 48"};
        QTest::newRow("byte 15 not zero")
            << header([](tcNorvoHeader& h) { h.magic[15] = 'X'; }).datagram() << false << QList<int>{}
            << QStringList{"bad magic string: iCanIPinstaller"};
        QTest::newRow("magic differs in its last letter")
            << header([](tcNorvoHeader& h) { h.magic[14] = 'R'; }).datagram() << false << QList<int>{}
            << QStringList{"bad magic string: iCanIPinstalleR"};
        QTest::newRow("version 0x0103 read big-endian, reported before a bad header length")
            << header([](tcNorvoHeader& h) {
                   h.version = 0x0103;
                   h.headerLength = 40;
               }).datagram()
            << false << QList<int>{} << QStringList{"bad version: 259"};
        QTest::newRow("header length 40") << header([](tcNorvoHeader& h) { h.headerLength = 40; }).datagram()
                                          << false << QList<int>{} << QStringList{"bad header length: 40"};
        QTest::newRow("last reserved byte set")
            << header([](tcNorvoHeader& h) { h.reserved[11] = 1; }).datagram() << false << QList<int>{}
            << QStringList{"bad mbz bytes"};
        QTest::newRow("total length 52 beyond a bare header is never read")
            << header([](tcNorvoHeader& h) { h.totalLength = 52; }).datagram() << true << QList<int>{}
            << QStringList{};
        QTest::newRow("total length 53 walks a one-byte tag")
            << header([](tcNorvoHeader& h) { h.totalLength = 53; }).datagram(norvoTag(2, "A") + modeTag)
            << true << QList<int>{2} << QStringList{};
        QTest::newRow("total length claims more than arrived")
            << header([](tcNorvoHeader& h) { h.totalLength = 61; }).datagram(modeTag + "xxxx") << false
            << QList<int>{} << QStringList{"total length 61 exceeds the 60 bytes received"};
        QTest::newRow("tag overruns the total length: walk resumes four bytes on")
            << tcNorvoHeader().datagram(norvoTag(2, QByteArray(), 100) + modeTag) << true << QList<int>{1}
            << QStringList{"tag length is too long: total: 60, tag_index: 48 tag_length: 100"};
        QTest::newRow("total length shorter than the datagram bounds the walk")
            << header([](tcNorvoHeader& h) {
                   h.totalLength = 56;
               }).datagram(modeTag + norvoTag(28, be32Bytes(80)))
            << true << QList<int>{1} << QStringList{};
        QTest::newRow("unhandled tag shows five bytes, one hex digit padded")
            << tcNorvoHeader().datagram(norvoTag(58, "\x05"
                                                     "bcdef"))
            << true << QList<int>{}
            << QStringList{"unhandled tag: 58 data [len=6] = \x05"
                           "bcdef   5 62 63 64 65"};
        QTest::newRow("unhandled tag without value")
            << tcNorvoHeader().datagram(norvoTag(1000, QByteArray()) + modeTag) << true << QList<int>{1}
            << QStringList{"unhandled tag: 1000 data [len=0] =  "};
        QTest::newRow("address cut by the end of the datagram")
            << tcNorvoHeader().datagram(modeTag + norvoTag(4, QByteArray::fromHex("0a0001"))) << true
            << QList<int>{1, 4} << QStringList{"bad IP addres, not the right length: 3"};
        QTest::newRow("number cut by the end of the datagram is refused")
            << tcNorvoHeader().datagram(norvoTextTag(2, "Cam") + norvoTag(28, QByteArray::fromHex("0050")))
            << true << QList<int>{2} << QStringList{"tag 28 refused: its value needs 4 bytes, 2 received"};
        QTest::newRow("port pair cut by the end of the datagram is refused")
            << tcNorvoHeader().datagram(norvoTag(3, QByteArray::fromHex("005000"))) << true << QList<int>{}
            << QStringList{"tag 3 refused: its value needs 4 bytes, 3 received"};
    }
    void parse()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, valid);
        QFETCH(QList<int>, present);
        QFETCH(QStringList, log);

        tcONSIPPacket packet;
        zltest::tcLogCapture capture;
        QCOMPARE(packet.parse(datagram), valid);
        QCOMPARE(capture.lines(), log);
        QList<int> seen;
        for (int tag = 0; tag <= 60; ++tag) {
            if (packet.hasTag(quint16(tag)))
                seen << tag;
        }
        QCOMPARE(seen, present);
    }

    // Every cut of a reply is refused, whichever field or tag the cut falls in.
    void everyTruncationRefused()
    {
        const QByteArray full = zltest::norvoReply(
            QStringLiteral("Cam"), 1,
            norvoTag(4, QByteArray::fromHex("0a000001")) + norvoTag(27, QByteArray(6, 'm')) +
                norvoTag(3, be16Bytes(80) + be16Bytes(81)) + norvoTag(26, "zz"));
        tcONSIPPacket packet;
        zltest::tcLogCapture capture;
        QVERIFY(packet.parse(full));
        for (int size = 0; size < full.size(); ++size)
            QVERIFY2(!packet.parse(full.left(size)), qPrintable(QString::number(size)));
    }

    void tagValues_data()
    {
        QTest::addColumn<QByteArray>("tags");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QVariant>("expected");

        QByteArray hundred;
        for (int i = 0; i < 100; ++i)
            hundred += char('a' + i % 26);

        QTest::newRow("name cut at a zero byte")
            << norvoTag(2, QByteArray("Cam\0era", 7)) << 2 << QVariant("Cam");
        QTest::newRow("name of 100 bytes keeps 80")
            << norvoTag(2, hundred) << 2 << QVariant(QString::fromLatin1(hundred.left(80)));
        QTest::newRow("name decoded as UTF-8") << norvoTextTag(2, QStringLiteral("Einfahrt S\u00fcd")) << 2
                                               << QVariant(QStringLiteral("Einfahrt S\u00fcd"));
        // Cameras declare two bytes for the mode; the value still spans four, the last two
        // taken from the next tag's number (here tag 2).
        QTest::newRow("tag 1 of declared length 2 reads four bytes")
            << norvoTag(1, be16Bytes(0), 2) + norvoTextTag(2, QStringLiteral("Cam")) << 1 << QVariant(2u);
        QTest::newRow("web port is the pair's first number")
            << norvoTag(3, be16Bytes(81) + be16Bytes(8080)) << 3 << QVariant(81u);
        QTest::newRow("address without leading zeros, bytes above 127")
            << norvoTag(4, QByteArray::fromHex("0a00ff07")) << 4 << QVariant("10.0.255.7");
        QTest::newRow("DHCP address of declared length 0 reads four bytes")
            << norvoTag(16, QByteArray(), 0) + norvoTag(1, be32Bytes(4)) << 16 << QVariant("0.1.0.4");
        QTest::newRow("MAC tag 27 in lower case")
            << norvoTag(27, QByteArray::fromHex("000A3DFF1001")) << 27 << QVariant("00:0a:3d:ff:10:01");
    }
    void tagValues()
    {
        QFETCH(QByteArray, tags);
        QFETCH(int, tag);
        QFETCH(QVariant, expected);
        tcONSIPPacket packet;
        QVERIFY(packet.parse(tcNorvoHeader().datagram(tags)));
        if (expected.userType() == QMetaType::QString)
            QCOMPARE(packet.text(quint16(tag)), expected.toString());
        else
            QCOMPARE(packet.number(quint16(tag)), expected.toUInt());
    }

    void foreignModel_data()
    {
        QTest::addColumn<QByteArray>("tags");
        QTest::addColumn<bool>("foreign");
        QTest::newRow("norvo in mixed case") << norvoTextTag(39, QStringLiteral("NoRvO-CAM 1")) << false;
        QTest::newRow("another maker") << norvoTextTag(39, QStringLiteral("ACME 2000")) << true;
        QTest::newRow("norvo after the zero byte does not count")
            << norvoTag(39, QByteArray("KG\0norvo", 8)) << true;
    }
    void foreignModel()
    {
        QFETCH(QByteArray, tags);
        QFETCH(bool, foreign);
        tcONSIPPacket packet;
        QVERIFY(packet.parse(tcNorvoHeader().datagram(tags)));
        QCOMPARE(packet.foreignModel(), foreign);
    }
};

QTEST_GUILESS_MAIN(tst_ONSIPCodec)
#include "tst_onsipcodec.moc"
