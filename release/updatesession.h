#pragma once

#include "release/releasesignature.h"

#include <QObject>
#include <QStringList>

class DownLoad;

// One update of a program folder, without any window: the names are checked, the release's
// signed sum list is fetched and checked, every pending file is fetched into a staging folder one
// after another and verified, and only then are they all installed and the new version recorded
// (installjournal.h); any failure installs nothing. A window shows it through the signals; an
// unattended run prints them.
class UpdateSession : public QObject {
    Q_OBJECT
public:
    // `commandText` is "VERSION?FILE,FILE,..."; `programFolder` holds system.ini and the
    // installed files.
    UpdateSession(const QString& commandText, const QString& programFolder,
                  QObject* parent = nullptr);

    // The key the release's signature must be made with.
    void setPublicKey(const QByteArray& key) { m_publicKey = key; }
    const QString& newVersion() const { return m_newVersion; }
    QString installedVersion() const;
    // The files still to fetch, in command-line order.
    const QStringList& pending() const { return m_pending; }

    // Runs the whole sequence and returns when it is over; its waits run local event loops, so
    // windows keep painting. `ended` tells the outcome, once.
    void run();
    // Stops after the current step; nothing is installed.
    void stop();

signals:
    void pendingChanged(const QStringList& pending);
    void fileStarted(const QString& name);
    // Bytes of the current file on disk, of `total` (its Content-Length, else the last one known).
    void progress(qint64 received, qint64 total);
    // A failure for the user, in Chinese; the sequence waits while it is shown.
    void message(const QString& text);
    // True when every pending file was installed and the version recorded.
    void ended(bool allInstalled);

private:
    void setPending(const QStringList& pending);
    void received(qint64 bytes);
    void finish(bool allInstalled);
    // The steps of the sequence; each tells its one message and returns false on failure.
    bool checkNames(const QStringList& names);
    bool fetchSignedList(const QStringList& names, release::SumList* list);
    bool downloadAll(const QStringList& names);
    bool verifyAll(const QStringList& names, const release::SumList& list);
    bool installAll(const QStringList& names, const release::SumList& list);

    DownLoad* m_download;
    QString m_programFolder;
    QString m_iniPath;
    QString m_baseUrl;
    QString m_newVersion;
    QStringList m_pending;
    QByteArray m_publicKey;
    qint64 m_total = 0;
    qint64 m_lastReceived = 0;
    bool m_progressSeen = false;
    QList<release::FileDigest> m_received; // of each staged file, in list order
    bool m_running = false;
    bool m_stopped = false;
    bool m_finished = false;
};
