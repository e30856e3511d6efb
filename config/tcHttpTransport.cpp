#include "tcHttpTransport.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

QByteArray tcHttpExchange::header(const QByteArray& name) const
{
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

void tcHttpExchange::setHeader(const QByteArray& name, const QByteArray& value)
{
    for (auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0) {
            h.second = value;
            return;
        }
    }
    headers.append(qMakePair(name, value));
}

tcNetworkTransport::tcNetworkTransport(QObject* apParent) : tcHttpTransport(apParent) {}

tcNetworkTransport::~tcNetworkTransport()
{
    // Replies still in flight go with `network`; none may call back into a run that is
    // being destroyed.
    for (QNetworkReply* reply : network.findChildren<QNetworkReply*>())
        reply->disconnect(this);
}

void tcNetworkTransport::send(const tcHttpExchange& exchange, tcDone done)
{
    QNetworkRequest request(exchange.url);
    for (const auto& [name, value] : exchange.headers) {
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            request.setHeader(QNetworkRequest::ContentTypeHeader, value);
        else
            request.setRawHeader(name, value);
    }
    if (exchange.timeoutMs > 0)
        request.setTransferTimeout(exchange.timeoutMs);
    QNetworkReply* reply =
        exchange.method == "POST" ? network.post(request, exchange.body) : network.get(request);
    // A device that streams without end never runs into the time-out, which only counts
    // time without progress: the size cap ends it.
    auto oversized = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply, oversized](qint64 received, qint64 total) {
        if (*oversized || (received <= kMaxReplyBytes && total <= kMaxReplyBytes))
            return;
        *oversized = true;
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [reply, oversized, done] {
        reply->deleteLater();
        tcHttpResult result;
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (*oversized) {
            result.error = QStringLiteral("the reply is larger than %1 bytes").arg(kMaxReplyBytes);
        } else {
            switch (reply->error()) {
            case QNetworkReply::NoError:
                result.kind = tcHttpResult::Ok;
                result.body = reply->read(kMaxReplyBytes);
                break;
            case QNetworkReply::AuthenticationRequiredError:
                result.kind = tcHttpResult::AuthenticationRequired;
                result.wwwAuthenticate = reply->rawHeader("WWW-Authenticate");
                break;
            default:
                result.error = reply->errorString();
                if (result.status >= 400)
                    result.body = reply->read(kMaxReplyBytes);
            }
        }
        done(result);
    });
}
