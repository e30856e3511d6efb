#pragma once
// HTTP/1.1 messages as the simulated cameras see them: a bounded request parser that is
// fed whatever bytes have arrived, and the response writer. Pure functions over bytes.

#include <QByteArray>
#include <QList>
#include <QPair>

using tcHttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct tcHttpRequest
{
    QByteArray method;
    QByteArray target;
    QByteArray version;
    tcHttpHeaders headers; // names lower-cased, values trimmed
    QByteArray body;

    // The value of the first header of that (lower-case) name, or empty.
    QByteArray header(const QByteArray& name) const;
    // The target without its query.
    QByteArray path() const;
    // Whether the connection stays open after the response (HTTP/1.1 default, "close").
    bool keepAlive() const;
};

// Limits that keep one connection from holding unbounded memory.
constexpr int kMaxHeaderBytes = 16 * 1024;
constexpr int kMaxBodyBytes = 64 * 1024;

struct tcHttpParse
{
    enum State { Incomplete, Complete, Invalid } state = Incomplete;
    int consumed = 0;         // bytes of the buffer taken by a complete request
    int errorStatus = 0;      // for Invalid: the status to answer with before closing
    bool headersDone = false; // the header block is in (the body may still be arriving)
    bool expectContinue = false;
};

// Parses the first request in buffer. Incomplete: call again with more bytes.
tcHttpParse parseHttpRequest(const QByteArray& buffer, tcHttpRequest* request);

QByteArray httpReason(int status);

// A complete response with Content-Length; "Connection: close" when close is set.
QByteArray buildHttpResponse(int status, const tcHttpHeaders& headers, const QByteArray& body, bool close);
