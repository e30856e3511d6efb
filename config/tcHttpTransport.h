#pragma once
// Moves the configuration requests over HTTP and nothing else: the runs decide what to
// send, the transport sends it and hands back what came. Tests put a scripted one in
// its place.

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkReply;

// One request as it goes out. Headers in the order they are set; a "Content-Type" entry
// goes through the known-header setter, the others are raw.
struct tcHttpExchange
{
    QByteArray method; // "GET" or "POST"
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int timeoutMs = 0;

    QByteArray header(const QByteArray& name) const;
    void setHeader(const QByteArray& name, const QByteArray& value); // replaces or appends
};

struct tcHttpResult
{
    enum Kind { Ok, AuthenticationRequired, NetworkError };
    Kind kind = NetworkError;
    QByteArray wwwAuthenticate; // with AuthenticationRequired
    QByteArray body;            // with Ok, and with an HTTP error status that came with a body
    QString error;              // with NetworkError: why, for the debug log
    // The HTTP status of a reply that came (0 when none did). SOAP services answer their
    // faults with 400 or 500 and the fault in the body; the runs of the cameras' own API
    // take any error status as a network error.
    int status = 0;
};

class tcHttpTransport : public QObject
{
    Q_OBJECT
public:
    using tcDone = std::function<void(const tcHttpResult&)>;
    using QObject::QObject;

    // done is called once, later, from the event loop; never after the transport is gone.
    virtual void send(const tcHttpExchange& exchange, tcDone done) = 0;
};

// The devices' documents are a few kilobytes; a reply body beyond this is no answer
// of theirs, and reading on would let one device fill the memory.
constexpr qint64 kMaxReplyBytes = 1024 * 1024;

class tcNetworkTransport : public tcHttpTransport
{
    Q_OBJECT
public:
    explicit tcNetworkTransport(QObject* apParent = nullptr);
    ~tcNetworkTransport() override;

    void send(const tcHttpExchange& exchange, tcDone done) override;

private:
    QNetworkAccessManager network;
};
