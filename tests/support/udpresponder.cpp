// zl-udp-responder: a scripted discovery peer for socket tests, run on the site side.
//
// It binds a UDP port (optionally joining a multicast group), prints every datagram it
// receives as "recv <sender>:<port> <hex>" and answers each one with the reply files given,
// in order, sent back to the sender. Prints "ready" once bound.
//
//   zl-udp-responder --port 3702 [--group 239.255.255.250] [--reply FILE]... [--delay MS]

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("UDP port to bind."), QStringLiteral("port")},
        {QStringLiteral("group"), QStringLiteral("Multicast group to join."), QStringLiteral("group")},
        {QStringLiteral("reply"), QStringLiteral("File whose bytes answer each datagram (repeatable)."), QStringLiteral("file")},
        {QStringLiteral("delay"), QStringLiteral("Wait this many ms before replying."), QStringLiteral("ms"), QStringLiteral("0")},
    });
    parser.process(app);

    bool ok = false;
    const quint16 port = quint16(parser.value(QStringLiteral("port")).toUInt(&ok));
    if (!ok) {
        std::fprintf(stderr, "udp-responder: --port is required\n");
        return 2;
    }
    QList<QByteArray> replies;
    for (const QString& name : parser.values(QStringLiteral("reply"))) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "udp-responder: cannot read %s\n", qPrintable(name));
            return 2;
        }
        replies << file.readAll();
    }
    const int delayMs = parser.value(QStringLiteral("delay")).toInt();

    QUdpSocket socket;
    if (!socket.bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        std::fprintf(stderr, "udp-responder: bind to port %u failed: %s\n", port, qPrintable(socket.errorString()));
        return 1;
    }
    socket.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    if (parser.isSet(QStringLiteral("group"))) {
        const QHostAddress group(parser.value(QStringLiteral("group")));
        if (!socket.joinMulticastGroup(group)) {
            std::fprintf(stderr, "udp-responder: join %s failed: %s\n", qPrintable(group.toString()),
                         qPrintable(socket.errorString()));
            return 1;
        }
    }

    // A broadcast reply comes back to this very socket; answering it would never end.
    const QList<QHostAddress> ownAddresses = QNetworkInterface::allAddresses();
    QObject::connect(&socket, &QUdpSocket::readyRead, [&]() {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram();
            if (ownAddresses.contains(datagram.senderAddress()))
                continue;
            std::printf("recv %s:%u %s\n", qPrintable(datagram.senderAddress().toString()), datagram.senderPort(),
                        datagram.data().toHex().constData());
            std::fflush(stdout);
            const QHostAddress address = datagram.senderAddress();
            const quint16 replyPort = quint16(datagram.senderPort());
            QTimer::singleShot(delayMs, &socket, [&socket, replies, address, replyPort]() {
                for (const QByteArray& reply : replies) {
                    if (socket.writeDatagram(reply, address, replyPort) != reply.size())
                        std::fprintf(stderr, "udp-responder: write failed: %s\n", qPrintable(socket.errorString()));
                }
            });
        }
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
