#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Where the station list comes from: the service's stations.txt under the timetable base,
// and the copy of the last one kept in the user's cache folder for the next start.

// Whether `bytes` are a whole station list: valid GB18030 with every line a station. A list
// that is not never replaces the copy in use.
bool isStationList(const QByteArray& bytes);

QUrl stationListUrl(const QString& timetableBase);

// "stations.txt" in the XDG cache folder of the program.
QString stationCacheFile();
// The cached bytes, or empty when there is no copy.
QByteArray readCachedStationList(const QString& file = stationCacheFile());
// Replaces the copy atomically; false when it cannot be written.
bool cacheStationList(const QByteArray& bytes, const QString& file = stationCacheFile());

// Fetches stations.txt without waiting: the caller's event loop runs on, and `finished` comes
// once. A failure (no connection, an HTTP error status, a body over the cap or cut short, a
// time-out, a list that is not one) gives empty bytes and the reason.
class StationListDownload : public QObject {
    Q_OBJECT
public:
    explicit StationListDownload(QNetworkAccessManager* manager, QObject* parent = nullptr);
    ~StationListDownload() override;

    void start(const QUrl& url);

Q_SIGNALS:
    void finished(const QByteArray& bytes, const QString& error);

private:
    void done(const QByteArray& bytes, const QString& error);

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
};
