#pragma once

#include "release/releasesignature.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QFileDevice;
class QNetworkAccessManager;
class QNetworkReply;

// Fetches one file over HTTP into a file of the program folder, synchronously on the
// user-interface thread: waits run a local event loop, so windows keep painting. One object
// serves any number of transfers one after another (URL, SaveFile, Execute, GetHeader,
// StartDownLoad). The body is written to a temporary file beside SaveFile and renamed over it
// only when it arrived whole, so SaveFile is never left half written.
class DownLoad : public QObject {
    Q_OBJECT
public:
    explicit DownLoad(QObject* parent = nullptr);
    ~DownLoad() override;

    void setURL(const QString& URL) { m_url = URL; }
    void setSaveFile(const QString& FileName) { m_saveFile = FileName; }
    // The path messages name, when SaveFile is a staged copy of it; SaveFile when empty.
    void setShownPath(const QString& path) { m_shownPath = path; }

    // Sends the request and returns once the response headers are in or the connection failed.
    void Execute();
    // One response header by name ("Content-Length", "Content-Type", "Date", "Last-Modified",
    // "Server"; any case), the whole raw header text for an empty name, "0" when inactive,
    // without headers or for any other name; the empty text when that header was not sent.
    QString GetHeader(const QString& hdrName);
    // Reads the body in 1024-byte blocks into SaveFile; the outcome is told by the events.
    void StartDownLoad();
    void Cancel();

    bool downloading() const { return m_downloading; }
    // Whether the last StartDownLoad replaced SaveFile with a whole body.
    bool installed() const { return m_installed; }
    // SHA-256 and size of what the last whole StartDownLoad wrote.
    const release::FileDigest& written() const { return m_written; }

    // Bytes the network layer may hold ahead of the reads; keeps memory flat for any size.
    static constexpr qint64 kReadBufferBytes = 256 * 1024;
    static constexpr int kBlockBytes = 1024;

    static QString connectionFailedText();
    static QString fileInUseText(const QString& path);
    static QString incompleteText(const QString& path);
    static QString diskFullText(const QString& path);

    // A whole small file (a sum list, a signature) in memory: nullopt when the address cannot
    // be fetched, answers with an error status, or sends more than `maxBytes`. `reached` tells
    // whether the server answered at all.
    std::optional<QByteArray> fetchWhole(const QString& url, qint64 maxBytes, bool* reached);

signals:
    void GetData(qint64 Progress);
    void ErrMassage(const QString& Description);
    void DownLoadOver();
    // The address could not be opened: the progress window empties its pending list.
    void addressFailed();

private:
    void buildHeaderText();
    // Waits until `bytes` are buffered or the reply ended; false when the object went inactive.
    void waitForBody(qint64 bytes);
    bool bodyArrivedWhole(qint64 total) const;
    QString shownPath() const { return m_shownPath.isEmpty() ? m_saveFile : m_shownPath; }
    // The message for a save file that could not be written: a full disk says so.
    void failWrite(const QFileDevice& file);

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QString m_url;
    QString m_saveFile;
    QString m_shownPath;
    bool m_downloading = false;
    bool m_installed = false;
    release::FileDigest m_written;
    QString m_headers;
};
