#include "pagefetcher.h"

#include "net/fetchpolicy.h"
#include "module1.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>

PageFetcher::PageFetcher(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_policy(FetchPolicy::page()) {
    m_manager->setCookieJar(new QNetworkCookieJar(m_manager));
}

PageFetcher& PageFetcher::shared() {
    // Owned by the application object, so it goes before the event dispatcher does.
    static QPointer<PageFetcher> instance;
    if (!instance)
        instance = new PageFetcher(QCoreApplication::instance());
    return *instance;
}

QByteArray PageFetcher::fetchBytes(const QUrl& url, QString* error, QString* charset) {
    QNetworkRequest request(url);
    request.setRawHeader("If-Modified-Since", "0");
    m_policy.prepare(request);

    const InFlight inFlight(*this);
    QNetworkReply* reply = m_manager->get(request);
    auto* guard = new FetchGuard(reply, m_policy);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();

    const QString reason = guard->failure();
    QByteArray body;
    if (reason.isEmpty())
        body = reply->readAll();
    if (charset)
        *charset = FetchGuard::declaredCharset(reply);
    reply->deleteLater();
    if (error)
        *error = reason;
    return body;
}

FetchResult PageFetcher::fetch(const QUrl& url, const QString& charset) {
    FetchResult result;
    QString declared;
    const QByteArray body = fetchBytes(url, &result.error, &declared);
    if (result.ok())
        result.text = Module1::DecodeBytes(body, Module1::pageCharset(declared, charset));
    return result;
}
