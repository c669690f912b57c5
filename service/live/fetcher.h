#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <mutex>

// Blocking HTTP GETs for the server's worker threads. One QNetworkAccessManager lives on a
// thread of its own with its own event loop (the server's threads have none) and keeps the
// site's cookies; callers wait for their answer. Requests are spaced at least `interval`
// apart, whichever thread asks.
namespace live {

struct Reply {
    bool reached = false; // false: no connection, time-out, TLS failure …
    int status = 0;
    QByteArray body;
    QUrl redirect; // the Location of a 3xx answer, which is never followed
    QString error;
};

class Fetcher {
public:
    // A valid `base` sends https://HOST/PATH?QUERY to base + "HOST/PATH?QUERY" instead.
    explicit Fetcher(QUrl base = {},
                     std::chrono::milliseconds interval = std::chrono::milliseconds(1000));
    ~Fetcher();
    Fetcher(const Fetcher&) = delete;
    Fetcher& operator=(const Fetcher&) = delete;

    Reply get(const QUrl& url, const QUrl& referer, bool expectJson);
    // Forgets the site's cookies, as a new visitor.
    void clearCookies();
    QUrl target(const QUrl& url) const;
    // How many requests went out, for the checks and the tests.
    int requestCount() const;

private:
    struct Worker;
    void waitForSlot();

    QUrl m_base;
    std::chrono::milliseconds m_interval;
    std::mutex m_slotMutex;
    std::chrono::steady_clock::time_point m_nextSlot{};
    std::unique_ptr<Worker> d;
};

} // namespace live
