#include "live/fetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

#include <atomic>
#include <future>
#include <thread>

namespace live {

namespace {
constexpr int transferTimeoutMs = 15000;
const QByteArray userAgent = "Mozilla/5.0 (X11; Linux x86_64) quillon-service";
} // namespace

struct Fetcher::Worker {
    QThread thread;
    QObject* home = nullptr; // lives on `thread`; owns the manager
    QNetworkAccessManager* manager = nullptr;
    std::atomic<int> requests{0};

    Worker() {
        // Made here, then handed to the thread before it sees any request; children move along.
        home = new QObject;
        manager = new QNetworkAccessManager(home);
        home->moveToThread(&thread);
        thread.setObjectName(QStringLiteral("live-fetcher"));
        thread.start();
    }

    ~Worker() {
        QObject* h = home;
        QMetaObject::invokeMethod(
            h, [h] { delete h; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
};

Fetcher::Fetcher(QUrl base, std::chrono::milliseconds interval)
    : m_base(std::move(base))
    , m_interval(interval)
    , d(std::make_unique<Worker>()) {}

Fetcher::~Fetcher() = default;

QUrl Fetcher::target(const QUrl& url) const {
    if (!m_base.isValid() || m_base.isEmpty())
        return url;
    QString base = m_base.toString();
    if (!base.endsWith(u'/'))
        base += u'/';
    return QUrl(
        base + url.host() + url.path(QUrl::FullyEncoded) +
            (url.hasQuery() ? QStringLiteral("?") + url.query(QUrl::FullyEncoded) : QString()),
        QUrl::StrictMode);
}

int Fetcher::requestCount() const {
    return d->requests;
}

void Fetcher::waitForSlot() {
    std::chrono::steady_clock::time_point at;
    {
        std::lock_guard lock(m_slotMutex);
        const auto now = std::chrono::steady_clock::now();
        at = std::max(now, m_nextSlot);
        m_nextSlot = at + m_interval;
    }
    std::this_thread::sleep_until(at);
}

Reply Fetcher::get(const QUrl& url, const QUrl& referer, bool expectJson) {
    waitForSlot();
    ++d->requests;
    auto promise = std::make_shared<std::promise<Reply>>();
    std::future<Reply> future = promise->get_future();
    const QUrl to = target(url);
    QMetaObject::invokeMethod(d->home, [this, to, referer, expectJson, promise] {
        QNetworkRequest request(to);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setTransferTimeout(transferTimeoutMs);
        request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
        if (referer.isValid())
            request.setRawHeader("Referer", referer.toEncoded());
        if (expectJson) {
            request.setRawHeader("Accept", "application/json, text/javascript, */*; q=0.01");
            request.setRawHeader("X-Requested-With", "XMLHttpRequest");
            request.setRawHeader("If-Modified-Since", "0");
        }
        QNetworkReply* reply = d->manager->get(request);
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, promise] {
            Reply r;
            r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            r.reached = r.status > 0;
            r.body = reply->readAll();
            const QVariant location = reply->header(QNetworkRequest::LocationHeader);
            if (location.isValid())
                r.redirect = reply->url().resolved(location.toUrl());
            if (!r.reached)
                r.error = reply->errorString();
            promise->set_value(std::move(r));
            reply->deleteLater();
        });
    });
    return future.get();
}

void Fetcher::clearCookies() {
    QMetaObject::invokeMethod(
        d->home, [this] { d->manager->setCookieJar(new QNetworkCookieJar); },
        Qt::BlockingQueuedConnection);
}

} // namespace live
