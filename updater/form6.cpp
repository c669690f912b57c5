#include "updater/form6.h"

#include "centre.h"
#include "release/updatesession.h"
#include "twips.h"
#include "updater/controltable.h"
#include "updater/publisherkey.h"
#include "updater/updatermessages.h"
#include "updater/xp_progressbar.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include <climits>

namespace {

// Front to back, in twips. List1 lies below the client area on purpose: the
// pending list is bookkeeping, not something the user reads.
constexpr Control kControls[] = {
    {"List1", UpdaterUi::List, 120, 1680, 4335, 1500},
    {"Command1", UpdaterUi::Button, 3800, 1125, 1485, 465, "完成"},
    {"Update_files", UpdaterUi::Label, 240, 1320, 3450, 180},
    {"L", UpdaterUi::Label, 240, 1080, 3690, 180, "检测网络中..."},
    {"ProgressBar1", UpdaterUi::ProgressBar, 240, 600, 5055, 375},
    {"Label1", UpdaterUi::Label, 240, 240, 5055, 255, "从旧版本()升级到新版本()"},
};

constexpr quint32 rgb(int r, int g, int b) {
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

} // namespace

Form6::Form6(const QString& commandText, const QString& programFolder, QWidget* parent)
    : QWidget(parent)
    , session(new UpdateSession(commandText, programFolder, this)) {
    session->setPublicKey(builtInPublicKey());
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Tamberin"));
    setFixedSize(px(5580), px(1665));
    centreOnScreen(this);

    createControls(this, kControls);
    Label1 = findChild<QLabel*>(QStringLiteral("Label1"));
    ProgressBar1 = findChild<XP_ProgressBar*>(QStringLiteral("ProgressBar1"));
    ProgressBar1->setColor(rgb(40, 210, 43));
    L = findChild<QLabel*>(QStringLiteral("L"));
    Update_files = findChild<QLabel*>(QStringLiteral("Update_files"));
    Command1 = findChild<QPushButton*>(QStringLiteral("Command1"));
    Command1->setEnabled(false);
    List1 = findChild<QListWidget*>(QStringLiteral("List1"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Form6::Timer1_Timer);

    connect(session, &UpdateSession::pendingChanged, this, [this](const QStringList& pending) {
        List1->clear();
        List1->addItems(pending);
    });
    connect(session, &UpdateSession::fileStarted, this, [this](const QString& name) {
        Update_files->setText(QStringLiteral("升级组件:") + name);
    });
    connect(session, &UpdateSession::progress, this, &Form6::tg_GetData);
    connect(session, &UpdateSession::message, this, &Form6::tg_ErrMassage);
    connect(session, &UpdateSession::ended, this, &Form6::ended);
    Form_Load();
    Timer1->start();
}

void Form6::Form_Load() {
    List1->clear();
    List1->addItems(session->pending());
    ProgressBar1->setShowText(true);
    Label1->setText(QStringLiteral("从旧版本(") + session->installedVersion() +
                    QStringLiteral(")升级到新版本(") + session->newVersion() + u')');
}

void Form6::Timer1_Timer() {
    Timer1->stop();
    Command1_Click();
}

void Form6::Command1_Click() {
    session->run();
}

QString Form6::groupDigits(qint64 n) {
    if (n == 0)
        return {};
    static const QLocale grouping(QLocale::English, QLocale::UnitedStates);
    return grouping.toString(n);
}

void Form6::tg_GetData(qint64 Progress, qint64 total) {
    TotalSize = total;
    // Redrawing the label and bar for every 1 KB read would cost more than the transfer on a
    // fast line; a few dozen times a second looks the same. A new file and the end always show.
    constexpr qint64 kRefreshMs = 40;
    const bool due = !m_sinceShown.isValid() || m_sinceShown.elapsed() >= kRefreshMs ||
                     Progress <= m_lastProgress || Progress >= TotalSize;
    m_lastProgress = Progress;
    if (due)
        showProgress(Progress);
}

void Form6::showProgress(qint64 Progress) {
    m_sinceShown.start();
    L->setText(groupDigits(Progress) + u'/' + groupDigits(TotalSize) + QStringLiteral(" bytes"));
    // The bar counts in 32-bit steps; larger files are scaled down to fit.
    qint64 max = TotalSize, value = Progress;
    while (max > INT_MAX || value > INT_MAX) {
        max /= 1024;
        value /= 1024;
    }
    ProgressBar1->setMax(int(max));
    ProgressBar1->setValue(int(value));
}

void Form6::tg_ErrMassage(const QString& Description) {
    showUpdaterMessage(this, Description);
}

void Form6::closeEvent(QCloseEvent* event) {
    // Closing mid-transfer cancels it and installs nothing.
    Timer1->stop();
    session->stop();
    event->accept();
}
