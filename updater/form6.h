#pragma once

#include <QWidget>

class DownLoad;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class XP_ProgressBar;

// The progress window: one second after it loads it fetches every pending file into the
// program folder, one after another, then records the new version, and the program ends.
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
    void tg_DownLoadOver() {}
    void finish(bool allInstalled);

    QString m_programFolder;
    bool m_running = false;
    bool m_finished = false;
    bool m_closeRequested = false;
};
