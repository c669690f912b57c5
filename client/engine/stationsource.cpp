#include "stationsource.h"

#include "net/fetchpolicy.h"
#include "stationindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>

bool isStationList(const QByteArray& bytes) {
    QStringDecoder strict("GB18030");
    const QString text = strict.decode(bytes);
    if (strict.hasError())
        return false;
    qsizetype lines = 0;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (!line.isEmpty() && !line.startsWith(u'#'))
            ++lines;
    }
    // City lines are comments to the count above, so only stations are compared.
    const QList<Station> parsed = parseStationList(bytes);
    const auto stations = std::count_if(parsed.cbegin(), parsed.cend(),
                                        [](const Station& s) { return s.cityStations.isEmpty(); });
    return lines > 0 && stations == lines;
}

QUrl stationListUrl(const QString& timetableBase) {
    return QUrl(timetableBase + QStringLiteral("stations.txt"));
}

QString stationCacheFile() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/stations.txt");
}

QByteArray readCachedStationList(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return in.read(FetchPolicy::stationList().maxBytes);
}

bool cacheStationList(const QByteArray& bytes, const QString& file) {
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(bytes);
    return out.commit();
}

StationListDownload::StationListDownload(QNetworkAccessManager* manager, QObject* parent)
    : QObject(parent)
    , m_manager(manager) {}

StationListDownload::~StationListDownload() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void StationListDownload::start(const QUrl& url) {
    QNetworkRequest request(url);
    const FetchPolicy policy = FetchPolicy::stationList();
    policy.prepare(request);
    m_reply = m_manager->get(request);
    QNetworkReply* reply = m_reply;
    auto* guard = new FetchGuard(reply, policy);
    connect(reply, &QNetworkReply::finished, this, [this, reply, guard] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QString failure = guard->failure();
        if (!failure.isEmpty()) {
            done({}, failure);
        } else if (status != 200) {
            done({}, QStringLiteral("HTTP status %1").arg(status));
        } else {
            const QByteArray bytes = reply->readAll();
            if (isStationList(bytes))
                done(bytes, {});
            else
                done({}, QStringLiteral("站名表格式不正确，仍用原有的站名表。"));
        }
    });
}

void StationListDownload::done(const QByteArray& bytes, const QString& error) {
    m_reply = nullptr;
    Q_EMIT finished(bytes, error);
}
