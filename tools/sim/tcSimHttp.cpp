#include "tcSimHttp.h"

namespace {

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c <= 0x20 || c >= 0x7f || QByteArray("()<>@,;:\\\"/[]?={}").contains(c))
            return false;
    return true;
}

tcHttpParse invalid(int status)
{
    tcHttpParse r;
    r.state = tcHttpParse::Invalid;
    r.errorStatus = status;
    return r;
}

} // namespace

QByteArray tcHttpRequest::header(const QByteArray& name) const
{
    for (const auto& h : headers)
        if (h.first == name)
            return h.second;
    return QByteArray();
}

QByteArray tcHttpRequest::path() const
{
    const int query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

bool tcHttpRequest::keepAlive() const
{
    const QByteArray connection = header("connection").toLower();
    if (version == "HTTP/1.0")
        return connection.contains("keep-alive");
    return !connection.contains("close");
}

tcHttpParse parseHttpRequest(const QByteArray& buffer, tcHttpRequest* request)
{
    // Blank lines before a request line are allowed (RFC 9112 2.2).
    int start = 0;
    while (start + 1 < buffer.size() && buffer[start] == '\r' && buffer[start + 1] == '\n')
        start += 2;
    // Refuse what cannot become a request as soon as it shows (a TLS hello, binary
    // noise) instead of waiting for a header end that never comes.
    const int firstLineEnd = buffer.indexOf('\n', start);
    const int methodEnd = buffer.indexOf(' ', start);
    const QByteArray method = buffer.mid(start, (methodEnd < 0 ? buffer.size() : methodEnd) - start);
    if (!method.isEmpty() && !isToken(method))
        return invalid(400);
    QList<QByteArray> requestLine;
    if (firstLineEnd >= 0) {
        requestLine = buffer.mid(start, firstLineEnd - start).trimmed().split(' ');
        if (requestLine.size() != 3 || !isToken(requestLine[0]) || requestLine[1].isEmpty() ||
            !requestLine[2].startsWith("HTTP/1."))
            return invalid(400);
    }

    const int end = buffer.indexOf("\r\n\r\n", start);
    if (end < 0)
        return buffer.size() - start > kMaxHeaderBytes ? invalid(431) : tcHttpParse();
    if (end - start > kMaxHeaderBytes)
        return invalid(431);

    const QList<QByteArray> lines = buffer.mid(start, end - start).split('\n');

    tcHttpRequest r;
    r.method = requestLine[0];
    r.target = requestLine[1];
    r.version = requestLine[2];
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        const int colon = line.indexOf(':');
        // Obsolete line folding and malformed fields are refused (RFC 9112 5.2).
        if (colon <= 0 || !isToken(line.left(colon)))
            return invalid(400);
        r.headers.append({line.left(colon).toLower(), line.mid(colon + 1).trimmed()});
    }

    if (!r.header("transfer-encoding").isEmpty())
        return invalid(501);
    qint64 length = 0;
    const QByteArray lengthText = r.header("content-length");
    if (!lengthText.isEmpty()) {
        bool ok = false;
        length = lengthText.toLongLong(&ok);
        if (!ok || length < 0)
            return invalid(400);
        if (length > kMaxBodyBytes)
            return invalid(413);
    }

    tcHttpParse result;
    result.headersDone = true;
    result.expectContinue = r.header("expect").toLower() == "100-continue";
    const int bodyStart = end + 4;
    if (buffer.size() - bodyStart < length)
        return result;
    r.body = buffer.mid(bodyStart, int(length));
    result.state = tcHttpParse::Complete;
    result.consumed = bodyStart + int(length);
    *request = r;
    return result;
}

QByteArray httpReason(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

QByteArray buildHttpResponse(int status, const tcHttpHeaders& headers, const QByteArray& body, bool close)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + httpReason(status) + "\r\n";
    for (const auto& h : headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    out += "\r\n";
    out += body;
    return out;
}
