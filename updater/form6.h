#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class UpdateSession;
class XP_ProgressBar;

// The progress window: shows an update session (release/updatesession.h), which it starts one
// second after it loads. Then the program ends.
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
    QListWidget* List1 = nullptr; // the session's pending files
    QTimer* Timer1 = nullptr;

    UpdateSession* session = nullptr;
    qint64 TotalSize = 0;

    // "###,###": thousands grouped with commas, nothing at all for zero.
    static QString groupDigits(qint64 n);

signals:
    // The sequence is over; true when every listed file was installed and the version recorded.
    void ended(bool allInstalled);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Timer1_Timer();
    void Command1_Click();
    void tg_GetData(qint64 Progress, qint64 total);
    void tg_ErrMassage(const QString& Description);
    void showProgress(qint64 Progress);

    qint64 m_lastProgress = 0;
    QElapsedTimer m_sinceShown;
};
