#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;

// Outcome of one GET. A failed transfer has empty text and says why; an HTTP error status is
// not a failure: its body is the text.
struct FetchResult {
    QString text;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// The HTTP side of FetchPage. One instance per process (shared()) keeps one cookie jar across
// requests, since the service remembers the departure station of a transfer query in a
// session cookie. Waiting runs a local event loop, so windows keep painting.
class PageFetcher : public QObject {
    Q_OBJECT
public:
    explicit PageFetcher(QObject* parent = nullptr);

    static PageFetcher& shared();

    // GET with "If-Modified-Since: 0", redirects followed (at most 10), status not examined.
    FetchResult fetch(const QUrl& url, const QString& charset);
    // The raw body, for callers that decode it themselves.
    QByteArray fetchBytes(const QUrl& url, QString* error);

    // True while a page load is in flight, from its first yield to its last: the windows
    // refuse a second query meanwhile rather than run it nested.
    bool busy() const { return m_inFlight > 0; }

    // Marks the fetcher busy for the life of the scope.
    class InFlight {
    public:
        explicit InFlight(PageFetcher& fetcher)
            : m_fetcher(fetcher) {
            ++m_fetcher.m_inFlight;
        }
        ~InFlight() { --m_fetcher.m_inFlight; }
        InFlight(const InFlight&) = delete;
        InFlight& operator=(const InFlight&) = delete;

    private:
        PageFetcher& m_fetcher;
    };

    void setStallTimeout(std::chrono::milliseconds timeout) { m_stallTimeout = timeout; }
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }
    QNetworkAccessManager* networkAccessManager() const { return m_manager; }

    static constexpr std::chrono::milliseconds kDefaultStallTimeout{30000};
    static constexpr qint64 kDefaultMaxBodyBytes = 16 * 1024 * 1024;

private:
    QNetworkAccessManager* m_manager;
    std::chrono::milliseconds m_stallTimeout = kDefaultStallTimeout;
    qint64 m_maxBodyBytes = kDefaultMaxBodyBytes;
    int m_inFlight = 0;
};
