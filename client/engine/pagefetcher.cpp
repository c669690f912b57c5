#include "pagefetcher.h"

#include "module1.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// Network-layer and protocol failures leave no usable body; content and server errors are
// HTTP statuses whose page is used like any other.
bool isTransferFailure(QNetworkReply::NetworkError error) {
    const int code = error;
    return (code > 0 && code < 200) || (code >= 300 && code < 400);
}

QString describeFailure(QNetworkReply* reply) {
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("no connection: ") + reply->errorString();
    case QNetworkReply::TimeoutError:
        return QStringLiteral("time-out: ") + reply->errorString();
    default:
        return reply->errorString();
    }
}

} // namespace

PageFetcher::PageFetcher(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this)) {
    m_manager->setCookieJar(new QNetworkCookieJar(m_manager));
}

PageFetcher& PageFetcher::shared() {
    // Owned by the application object, so it goes before the event dispatcher does.
    static QPointer<PageFetcher> instance;
    if (!instance)
        instance = new PageFetcher(QCoreApplication::instance());
    return *instance;
}

QByteArray PageFetcher::fetchBytes(const QUrl& url, QString* error) {
    QNetworkRequest request(url);
    request.setRawHeader("If-Modified-Since", "0");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);

    const InFlight inFlight(*this);
    QNetworkReply* reply = m_manager->get(request);
    QEventLoop loop;
    QTimer stall;
    stall.setSingleShot(true);
    stall.setInterval(m_stallTimeout);
    QString reason;

    auto fail = [&](const QString& why) {
        if (reason.isEmpty())
            reason = why;
        reply->abort();
    };
    connect(&stall, &QTimer::timeout, reply, [&] {
        fail(QStringLiteral("time-out: no data for %1 s").arg(m_stallTimeout.count() / 1000.0));
    });
    connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64 total) {
        stall.start();
        if (received > m_maxBodyBytes || total > m_maxBodyBytes)
            fail(QStringLiteral("too large: the body exceeds %1 bytes").arg(m_maxBodyBytes));
    });
    connect(reply, &QNetworkReply::metaDataChanged, &stall, qOverload<>(&QTimer::start));
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    stall.start();
    if (!reply->isFinished())
        loop.exec();

    QByteArray body;
    if (reason.isEmpty() && isTransferFailure(reply->error()))
        reason = describeFailure(reply);
    if (reason.isEmpty())
        body = reply->readAll();
    reply->deleteLater();
    if (error)
        *error = reason;
    return body;
}

FetchResult PageFetcher::fetch(const QUrl& url, const QString& charset) {
    FetchResult result;
    const QByteArray body = fetchBytes(url, &result.error);
    if (result.ok())
        result.text = Module1::DecodeBytes(body, charset);
    return result;
}
