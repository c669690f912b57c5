#include "release/download.h"

#include "net/fetchpolicy.h"
#include "release/releasesignature.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Header names GetHeader answers for; any other name reads "0".
constexpr std::array<const char*, 5> kKnownHeaders = {"Content-Length", "Content-Type", "Date",
                                                      "Last-Modified", "Server"};

// The raw header text never exceeds the header query's buffer; longer headers read as none.
constexpr qsizetype kHeaderBufferBytes = 1024;

// Yielding to the event loop after every 1 KB block would dominate a fast loopback transfer,
// so the loop yields whenever this much time has passed (and whenever it waits for data).
constexpr qint64 kYieldIntervalMs = 2;

// The staged file is made durable before the install journal relies on it. Starting the disk
// writes every few megabytes lets them run during the download, so the final fsync is short.
constexpr qint64 kWritebackBytes = 8 * 1024 * 1024;

void startWriteback([[maybe_unused]] QFileDevice& file, [[maybe_unused]] qint64 from,
                    [[maybe_unused]] qint64 to) {
#ifdef SYNC_FILE_RANGE_WRITE
    if (file.flush())
        ::sync_file_range(file.handle(), from, to - from, SYNC_FILE_RANGE_WRITE);
#endif
}

// SHA-256 runs at about the speed of a loopback download, so it runs on a thread of its own
// beside the transfer. A few megabytes wait for it at most: memory stays bounded.
class BackgroundSha256 {
public:
    BackgroundSha256()
        : m_worker([this] { run(); }) {}
    ~BackgroundSha256() { finish(); }

    void add(const char* data, qsizetype size) {
        m_pending.append(data, size);
        if (m_pending.size() >= kChunkBytes)
            handOver();
    }
    QByteArray result() {
        handOver();
        finish();
        return m_hash.result();
    }

private:
    static constexpr qsizetype kChunkBytes = 1024 * 1024;
    static constexpr size_t kMaxQueued = 4;

    void handOver() {
        if (m_pending.isEmpty())
            return;
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < kMaxQueued; });
        m_queue.push_back(std::move(m_pending));
        m_pending = QByteArray();
        m_changed.notify_all();
    }
    void finish() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        if (m_worker.joinable())
            m_worker.join();
    }
    void run() {
        for (;;) {
            QByteArray chunk;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_done || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                chunk = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_changed.notify_all();
            m_hash.add(chunk.constData(), chunk.size());
        }
    }

    release::Sha256 m_hash; // touched by the worker until it is joined
    QByteArray m_pending;
    std::deque<QByteArray> m_queue;
    bool m_done = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_worker; // last: starts once everything above exists
};

QFileDevice::Permissions newFilePermissions() {
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
           QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
}

} // namespace

DownLoad::DownLoad(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this)) {}

DownLoad::~DownLoad() {
    Cancel();
}

QString DownLoad::connectionFailedText() {
    return QStringLiteral("连接至服务器失败,请检测你的网络配置！");
}

QString DownLoad::fileInUseText(const QString& path) {
    return QStringLiteral("文件") + path + QStringLiteral("正在使用,无法进行操作");
}

QString DownLoad::incompleteText(const QString& path) {
    return QStringLiteral("文件") + path + QStringLiteral("未能完整下载,已保留原文件");
}

QString DownLoad::diskFullText(const QString& path) {
    return QStringLiteral("磁盘空间不足,无法保存文件") + path + QStringLiteral(",未安装任何文件。");
}

void DownLoad::failWrite(const QFileDevice& file) {
    Cancel();
    emit ErrMassage(file.error() == QFileDevice::ResourceError || errno == ENOSPC
                        ? diskFullText(shownPath())
                        : fileInUseText(shownPath()));
}

std::optional<QByteArray> DownLoad::fetchWhole(const QString& url, qint64 maxBytes, bool* reached) {
    QNetworkRequest request{QUrl(url, QUrl::TolerantMode)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Vemrox"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    FetchPolicy policy = FetchPolicy::page();
    policy.maxBytes = maxBytes;
    policy.prepare(request);
    QNetworkReply* reply = m_manager->get(request);
    auto* guard = new FetchGuard(reply, policy);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    *reached = status != 0;
    const bool ok = guard->failure().isEmpty() && status / 100 == 2;
    const std::optional<QByteArray> body = ok ? std::optional(reply->readAll()) : std::nullopt;
    reply->deleteLater();
    return body;
}

void DownLoad::Execute() {
    m_downloading = true;
    m_installed = false;
    m_headers.clear();
    if (m_reply) {
        m_reply->abort();
        m_reply->deleteLater();
    }

    QNetworkRequest request{QUrl(m_url, QUrl::TolerantMode)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Vemrox"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setRawHeader("Cache-Control", "no-cache");
    // The body as stored (Content-Length comparable with the bytes received), redirects within
    // the origin, a stall fails.
    FetchPolicy policy = FetchPolicy::download();
    policy.prepare(request);
    m_reply = m_manager->get(request);
    new FetchGuard(m_reply, policy);
    m_reply->setReadBufferSize(kReadBufferBytes);

    QNetworkReply* reply = m_reply;
    const auto headersIn = [reply] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        return reply->isFinished() || (status.isValid() && status.toInt() / 100 != 3);
    };
    if (!headersIn()) {
        QEventLoop loop;
        const auto check = [&] {
            if (headersIn())
                loop.quit();
        };
        connect(reply, &QNetworkReply::metaDataChanged, &loop, check);
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!m_downloading || !m_reply) {
        Cancel();
        return;
    }
    if (!m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        Cancel();
        emit addressFailed();
        emit ErrMassage(connectionFailedText());
        m_downloading = false;
        return;
    }
    buildHeaderText();
}

void DownLoad::buildHeaderText() {
    QByteArray raw =
        "HTTP/1.1 " + m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toByteArray() +
        ' ' + m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    raw += '\0';
    for (const QNetworkReply::RawHeaderPair& pair : m_reply->rawHeaderPairs()) {
        raw += pair.first + ": " + pair.second;
        raw += '\0';
    }
    raw += '\0';
    m_headers = raw.size() <= kHeaderBufferBytes ? QString::fromLatin1(raw) : QString();
}

QString DownLoad::GetHeader(const QString& hdrName) {
    if (!m_downloading) {
        Cancel();
        return QStringLiteral("0");
    }
    if (m_headers.isEmpty())
        return QStringLiteral("0");
    for (const char* known : kKnownHeaders) {
        const QLatin1String name(known);
        if (hdrName.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        // Header names are case-insensitive in HTTP; the status line is not a header.
        const QStringList lines = m_headers.split(QChar(0));
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QString& line = lines.at(i);
            if (line.size() > name.size() && line.at(name.size()) == u':' &&
                line.startsWith(name, Qt::CaseInsensitive))
                return line.mid(name.size() + 1).trimmed();
        }
        return {};
    }
    if (hdrName.isEmpty())
        return m_headers;
    return QStringLiteral("0");
}

void DownLoad::waitForBody(qint64 bytes) {
    if (!m_reply || m_reply->isFinished() || m_reply->bytesAvailable() >= bytes)
        return;
    QNetworkReply* reply = m_reply;
    QEventLoop loop;
    connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (reply->bytesAvailable() >= bytes)
            loop.quit();
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

bool DownLoad::bodyArrivedWhole(qint64 total) const {
    if (!m_reply || !m_reply->isFinished() || m_reply->error() != QNetworkReply::NoError)
        return false;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299)
        return false;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    return !length.isValid() || length.toLongLong() == total;
}

void DownLoad::StartDownLoad() {
    if (!m_downloading) {
        Cancel();
        return;
    }
    m_installed = false;
    const QFileInfo target(m_saveFile);
    // The staging file sits beside the target so the final rename never crosses file systems.
    QTemporaryFile staging(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                           QStringLiteral(".XXXXXX.download"));
    if (!staging.open()) {
        failWrite(staging);
        return;
    }

    char block[kBlockBytes];
    BackgroundSha256 hash; // of what is written, so verifying needs no second read
    qint64 total = 0;
    qint64 writtenBack = 0;
    bool ended = false;
    QElapsedTimer sinceYield;
    sinceYield.start();
    const auto yield = [&] {
        if (sinceYield.elapsed() >= kYieldIntervalMs) {
            QCoreApplication::processEvents();
            sinceYield.restart();
        }
    };
    for (;;) {
        waitForBody(kBlockBytes);
        qint64 n = m_reply ? m_reply->read(block, kBlockBytes) : 0;
        if (n < 0)
            n = 0;
        yield();
        if (n == kBlockBytes && !m_downloading)
            break;
        if (staging.write(block, n) != n) {
            failWrite(staging);
            return;
        }
        hash.add(block, n);
        total += n;
        if (total - writtenBack >= kWritebackBytes) {
            startWriteback(staging, writtenBack, total);
            writtenBack = total;
        }
        emit GetData(total);
        yield();
        if (n < kBlockBytes) {
            emit DownLoadOver();
            ended = true;
            break;
        }
    }

    const bool cancelled = !m_downloading;
    const bool whole = ended && !cancelled && bodyArrivedWhole(total);
    Cancel();
    if (cancelled)
        return;
    if (!whole) {
        emit ErrMassage(incompleteText(shownPath()));
        return;
    }
    // An executable stays executable; a new file gets rw-r--r--.
    const QFileDevice::Permissions permissions =
        target.exists() ? QFile::permissions(m_saveFile) : newFilePermissions();
    // Buffered bytes meet a full disk only here.
    if (!staging.flush() || ::fsync(staging.handle()) != 0) {
        failWrite(staging);
        return;
    }
    staging.setPermissions(permissions);
    const QString stagingName = staging.fileName();
    staging.close();
    if (std::rename(QFile::encodeName(stagingName).constData(),
                    QFile::encodeName(m_saveFile).constData()) != 0) {
        emit ErrMassage(fileInUseText(shownPath()));
        return;
    }
    staging.setAutoRemove(false);
    m_written = {hash.result(), total};
    m_installed = true;
}

void DownLoad::Cancel() {
    m_downloading = false;
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->abort();
        reply->deleteLater();
    }
}
