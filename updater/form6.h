#pragma once

#include "release/releasesignature.h"

#include <QElapsedTimer>
#include <QWidget>

class DownLoad;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class XP_ProgressBar;

// The progress window: one second after it loads it fetches the release's signed sum list and
// every pending file into a staging folder, one after another, checks them against the list,
// and only then installs them all and records the new version (installjournal.h); any failure
// installs nothing. Then the program ends.
class Form6 : public QWidget {
    Q_OBJECT
public:
    // `commandText` is the program's arguments joined with one blank; `programFolder` is where
    // system.ini and the installed files live.
    Form6(const QString& commandText, const QString& programFolder, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    XP_ProgressBar* ProgressBar1 = nullptr;
    QLabel* L = nullptr;
    QLabel* Update_files = nullptr;
    QPushButton* Command1 = nullptr;
    QListWidget* List1 = nullptr;
    QTimer* Timer1 = nullptr;

    DownLoad* tg = nullptr;
    QString IniPath;
    QString NewVersion;
    QString BaseUrl;
    qint64 TotalSize = 0;

    // The key the release's signature must be made with; the built-in one unless changed.
    void setPublicKey(const QByteArray& key) { m_publicKey = key; }

    // "###,###": thousands grouped with commas, nothing at all for zero.
    static QString groupDigits(qint64 n);

signals:
    // The sequence is over; true when every listed file was installed and the version recorded.
    void ended(bool allInstalled);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load(const QString& commandText);
    void Timer1_Timer();
    void Command1_Click();
    void tg_GetData(qint64 Progress);
    void tg_ErrMassage(const QString& Description);
    void tg_DownLoadOver();
    void showProgress(qint64 Progress);
    void finish(bool allInstalled);
    // The steps of the sequence; each shows its one message and returns false on failure.
    bool checkNames(const QStringList& names);
    bool fetchSignedList(const QStringList& names, release::SumList* list);
    bool downloadAll(const QStringList& names);
    bool verifyAll(const QStringList& names, const release::SumList& list);
    bool installAll(const QStringList& names, const release::SumList& list);

    QString m_programFolder;
    QByteArray m_publicKey;
    bool m_progressSeen = false;
    qint64 m_lastProgress = 0;
    QElapsedTimer m_sinceShown;
    QList<release::FileDigest> m_received; // of each staged file, in list order
    bool m_running = false;
    bool m_finished = false;
    bool m_closeRequested = false;
};
