#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include "net/fetchpolicy.h"

class QNetworkAccessManager;

// Outcome of one GET. A failed transfer has empty text and says why, in Chinese; an HTTP error
// status sent whole is not a failure: its body is the text.
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

    // GET with "If-Modified-Since: 0", redirects followed within the address's origin, status
    // not examined. Decoded in the charset the page declares, else in `charset`.
    FetchResult fetch(const QUrl& url, const QString& charset);
    // The raw body, for callers that decode it themselves; `charset` gets the declared one.
    QByteArray fetchBytes(const QUrl& url, QString* error, QString* charset = nullptr);

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

    void setPolicy(const FetchPolicy& policy) { m_policy = policy; }
    QNetworkAccessManager* networkAccessManager() const { return m_manager; }

private:
    QNetworkAccessManager* m_manager;
    FetchPolicy m_policy;
    int m_inFlight = 0;
};
