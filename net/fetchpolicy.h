#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>

class QNetworkReply;
class QNetworkRequest;

// The one time-out and size policy of every GET the programs make: the page fetch, the station
// list and the updater's download. A transfer fails when it sends nothing for `stall`, when it
// is not over by `deadline` (zero: no deadline, for downloads of any length), when its body
// passes `maxBytes` (zero: no cap), or when it redirects to another scheme, host or port.
struct FetchPolicy {
    std::chrono::milliseconds stall{30000};
    std::chrono::milliseconds deadline{30000};
    qint64 maxBytes = 16 * 1024 * 1024;
    int maxRedirects = 10;

    static FetchPolicy page();
    static FetchPolicy stationList();
    // Files of any size go to disk: no deadline and no cap, a stall still fails.
    static FetchPolicy download();

    // The page deadline the user set (see readPageDeadline); applies to pages and the station
    // list.
    static void setPageDeadline(std::chrono::milliseconds deadline);
    static std::chrono::milliseconds pageDeadline();

    void prepare(QNetworkRequest& request) const;
};

// Watches one reply under a policy: aborts it on a stall, the deadline, an oversized body or a
// redirect elsewhere, and afterwards tells whether what arrived is content. Lives as long as
// the reply (its child).
class FetchGuard : public QObject {
    Q_OBJECT
public:
    FetchGuard(QNetworkReply* reply, const FetchPolicy& policy);

    // Empty when the body is content: a transfer that ended as the server said it would, with
    // status 2xx or an error page (4xx/5xx) sent whole. Otherwise why not, in Chinese.
    QString failure() const;
    // Aborts the transfer, keeping `reason` as its failure (the first one given wins).
    void fail(const QString& reason);

    // The charset the response declares in its Content-Type, or empty.
    static QString declaredCharset(const QNetworkReply* reply);

private:
    QPointer<QNetworkReply> m_reply;
    FetchPolicy m_policy;
    QUrl m_origin;
    QString m_reason;
    qint64 m_received = 0;
};

// The texts of a failed fetch, shown to the user as they are.
namespace fetchtext {
QString noConnection(const QString& detail);
QString timedOut(std::chrono::milliseconds after);
QString stalled(std::chrono::milliseconds after);
QString tooLarge(qint64 bytes);
QString cutShort();
QString redirectElsewhere(const QUrl& to);
QString undecodable();
QString busy();
} // namespace fetchtext
