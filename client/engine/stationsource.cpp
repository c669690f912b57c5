#include "stationsource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>

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
    return in.read(StationListDownload::kMaxBytes);
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
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_manager->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) {
                if (received > kMaxBytes || total > kMaxBytes) {
                    reply->disconnect(this);
                    reply->abort();
                    reply->deleteLater();
                    done({}, QStringLiteral("too large: over %1 bytes").arg(kMaxBytes));
                }
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError)
            done({}, reply->errorString());
        else if (status != 200)
            done({}, QStringLiteral("HTTP status %1").arg(status));
        else
            done(reply->readAll(), {});
    });
}

void StationListDownload::done(const QByteArray& bytes, const QString& error) {
    m_reply = nullptr;
    Q_EMIT finished(bytes, error);
}
