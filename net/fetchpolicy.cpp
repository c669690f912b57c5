#include "net/fetchpolicy.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <atomic>

namespace {

std::atomic<long long> g_pageDeadlineMs{30000};

int defaultPort(const QUrl& url) {
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort(a)) == b.port(defaultPort(b));
}

QString seconds(std::chrono::milliseconds span) {
    return QString::number(double(span.count()) / 1000.0);
}

} // namespace

FetchPolicy FetchPolicy::page() {
    FetchPolicy policy;
    policy.deadline = pageDeadline();
    return policy;
}

FetchPolicy FetchPolicy::stationList() {
    FetchPolicy policy = page();
    policy.maxBytes = 4 * 1024 * 1024;
    return policy;
}

FetchPolicy FetchPolicy::download() {
    FetchPolicy policy;
    policy.deadline = std::chrono::milliseconds::zero();
    policy.maxBytes = 0;
    return policy;
}

void FetchPolicy::setPageDeadline(std::chrono::milliseconds deadline) {
    g_pageDeadlineMs = deadline.count();
}

std::chrono::milliseconds FetchPolicy::pageDeadline() {
    return std::chrono::milliseconds(g_pageDeadlineMs.load());
}

void FetchPolicy::prepare(QNetworkRequest& request) const {
    // Redirects are checked one by one (FetchGuard), so none leaves the service's origin.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    // Bodies arrive as sent: a compressed one could not be checked against its length, and
    // one that fails to expand would read as an empty page.
    request.setRawHeader("Accept-Encoding", "identity");
}

FetchGuard::FetchGuard(QNetworkReply* reply, const FetchPolicy& policy)
    : QObject(reply)
    , m_reply(reply)
    , m_policy(policy)
    , m_origin(reply->request().url()) {
    auto* stall = new QTimer(this);
    stall->setSingleShot(true);
    stall->setInterval(policy.stall);
    connect(stall, &QTimer::timeout, this, [this] { fail(fetchtext::stalled(m_policy.stall)); });
    stall->start();
    if (policy.deadline.count() > 0) {
        QTimer::singleShot(policy.deadline, this,
                           [this] { fail(fetchtext::timedOut(m_policy.deadline)); });
    }
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, stall] {
        stall->start();
        const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (m_policy.maxBytes > 0 && length > m_policy.maxBytes)
            fail(fetchtext::tooLarge(m_policy.maxBytes));
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, stall](qint64 received, qint64) {
        stall->start();
        m_received = received;
        if (m_policy.maxBytes > 0 && received > m_policy.maxBytes)
            fail(fetchtext::tooLarge(m_policy.maxBytes));
    });
    connect(reply, &QNetworkReply::redirected, this, [this](const QUrl& to) {
        if (sameOrigin(m_origin, m_origin.resolved(to)))
            Q_EMIT m_reply->redirectAllowed();
        else
            fail(fetchtext::redirectElsewhere(to));
    });
    connect(reply, &QNetworkReply::finished, stall, &QTimer::stop);
}

void FetchGuard::fail(const QString& reason) {
    if (m_reason.isEmpty())
        m_reason = reason;
    if (m_reply && m_reply->isRunning())
        m_reply->abort();
}

QString FetchGuard::failure() const {
    if (!m_reason.isEmpty())
        return m_reason;
    QNetworkReply* reply = m_reply;
    if (!reply)
        return fetchtext::cutShort();
    const int error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Closed after the answer began: the body was cut short.
    if (error == QNetworkReply::RemoteHostClosedError && status.isValid())
        return fetchtext::cutShort();
    if (error > 0 && error < 200)
        return fetchtext::noConnection(reply->errorString());
    // Protocol failures (a redirect loop, a malformed answer) leave no page.
    if (error >= 300 && error < 400)
        return reply->errorString();
    if (!status.isValid())
        return fetchtext::noConnection(reply->errorString());
    // An error page (4xx, 5xx) is a page; any other error is a failed transfer, such as a
    // body that could not be decoded.
    if (error != QNetworkReply::NoError && status.toInt() < 400)
        return reply->errorString();
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity")
        return fetchtext::undecodable();
    // This network layer ends a transfer without an error when the connection closes early,
    // whatever the framing; only a declared length, met, tells a whole body from a cut one.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const int code = status.toInt();
    if (code == 204 || code == 304)
        return {};
    if (!length.isValid() || length.toLongLong() != m_received)
        return fetchtext::cutShort();
    return {};
}

QString FetchGuard::declaredCharset(const QNetworkReply* reply) {
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    for (QStringView part : QStringView(type).split(u';')) {
        part = part.trimmed();
        if (part.startsWith(QLatin1String("charset="), Qt::CaseInsensitive)) {
            QStringView name = part.sliced(8).trimmed();
            if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
                name = name.sliced(1, name.size() - 2);
            return name.toString();
        }
    }
    return {};
}

namespace fetchtext {

QString noConnection(const QString& detail) {
    return QStringLiteral("无法连接查询服务（%1）。").arg(detail);
}
QString timedOut(std::chrono::milliseconds after) {
    return QStringLiteral("查询超时：%1 秒内没有完成。").arg(seconds(after));
}
QString stalled(std::chrono::milliseconds after) {
    return QStringLiteral("查询超时：服务 %1 秒没有回应。").arg(seconds(after));
}
QString tooLarge(qint64 bytes) {
    return QStringLiteral("服务的回答过大（超过 %1 字节），已停止接收。").arg(bytes);
}
QString cutShort() {
    return QStringLiteral("服务的回答不完整，连接提前中断。");
}
QString redirectElsewhere(const QUrl& to) {
    return QStringLiteral("服务把查询转到了另一个地址（%1），已拒绝。")
        .arg(to.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery));
}
QString undecodable() {
    return QStringLiteral("服务的回答无法读取（压缩或编码错误）。");
}
QString busy() {
    return QStringLiteral("上一个查询仍在进行，请稍候再查。");
}

} // namespace fetchtext
