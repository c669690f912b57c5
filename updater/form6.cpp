#include "updater/form6.h"

#include "centre.h"
#include "updater/download.h"
#include "release/installjournal.h"
#include "release/manifest.h"
#include "release/profile.h"
#include "updater/publisherkey.h"
#include "updater/updatermessages.h"
#include "twips.h"
#include "updater/xp_progressbar.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include <climits>

namespace {

// Front to back, in twips. List1 lies below the client area on purpose: the pending list is
// bookkeeping, not something the user reads.
constexpr Placement kControls[] = {
    {"Label1", 240, 240, 5055, 255},     {"ProgressBar1", 240, 600, 5055, 375},
    {"L", 240, 1080, 3690, 180},         {"Update_files", 240, 1320, 3450, 180},
    {"Command1", 3800, 1125, 1485, 465}, {"List1", 120, 1680, 4335, 1500},
};

constexpr quint32 rgb(int r, int g, int b) {
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

} // namespace

Form6::Form6(const QString& commandText, const QString& programFolder, QWidget* parent)
    : QWidget(parent)
    , m_programFolder(programFolder)
    , m_publicKey(builtInPublicKey()) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Tamberin"));
    setFixedSize(px(5580), px(1665));
    centreOnScreen(this);

    Label1 = new QLabel(QStringLiteral("从旧版本()升级到新版本()"), this);
    ProgressBar1 = new XP_ProgressBar(this);
    ProgressBar1->setColor(rgb(40, 210, 43));
    L = new QLabel(QStringLiteral("检测网络中..."), this);
    Update_files = new QLabel(this);
    Command1 = new QPushButton(QStringLiteral("完成"), this);
    Command1->setEnabled(false);
    List1 = new QListWidget(this);
    const QList<QWidget*> widgets = {Label1, ProgressBar1, L, Update_files, Command1, List1};
    for (qsizetype i = 0; i < widgets.size(); ++i)
        place(widgets[i], kControls[i]);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Form6::Timer1_Timer);

    Form_Load(commandText);
    Timer1->start();
}

void Form6::Form_Load(const QString& commandText) {
    IniPath = QDir(m_programFolder).filePath(QStringLiteral("system.ini"));
    tg = new DownLoad(this);
    connect(tg, &DownLoad::GetData, this, &Form6::tg_GetData);
    connect(tg, &DownLoad::ErrMassage, this, &Form6::tg_ErrMassage);
    connect(tg, &DownLoad::DownLoadOver, this, &Form6::tg_DownLoadOver);
    connect(tg, &DownLoad::addressFailed, List1, &QListWidget::clear);
    BaseUrl = readProfileString(QStringLiteral("update"), QStringLiteral("http"), IniPath);
    List1->clear();
    const manifest::UpdaterCommand command = manifest::parseUpdaterArgument(commandText);
    NewVersion = command.version;
    // An empty name (a trailing ",") stands for no file, so it is not pending.
    for (const QString& name : command.files) {
        if (!name.isEmpty())
            List1->addItem(name);
    }
    ProgressBar1->setShowText(true);
    Label1->setText(
        QStringLiteral("从旧版本(") +
        readProfileString(QStringLiteral("system"), QStringLiteral("Version"), IniPath) +
        QStringLiteral(")升级到新版本(") + NewVersion + u')');
}

void Form6::Timer1_Timer() {
    Timer1->stop();
    Command1_Click();
}

void Form6::Command1_Click() {
    if (m_running || m_finished)
        return;
    m_running = true;
    QStringList names;
    for (int i = 0; i < List1->count(); ++i)
        names.append(List1->item(i)->text());
    names.removeDuplicates(); // one target, one staged copy
    if (names.isEmpty()) {
        // Nothing to fetch: say so and leave system.ini alone.
        tg_ErrMassage(QStringLiteral("没有需要升级的文件。"));
        finish(false);
        return;
    }
    release::SumList list;
    QString error;
    bool installed = checkNames(names);
    if (installed && !install::prepareStaging(m_programFolder, &error)) {
        tg_ErrMassage(error);
        installed = false;
    }
    installed = installed && fetchSignedList(names, &list) && downloadAll(names) &&
                verifyAll(names, list) && !m_closeRequested && installAll(names, list);
    if (!installed)
        install::discardStaging(m_programFolder);
    List1->clear();
    finish(installed);
}

bool Form6::checkNames(const QStringList& names) {
    for (const QString& name : names) {
        if (!manifest::isSafeUpdateFileName(name)) {
            tg_ErrMassage(QStringLiteral("文件名“%1”不是程序文件夹中的文件,已拒绝,未安装任何文件。")
                              .arg(name));
            return false;
        }
    }
    if (const std::optional<QString> refused = install::refusedTarget(m_programFolder, names)) {
        tg_ErrMassage(DownLoad::fileInUseText(*refused));
        return false;
    }
    return true;
}

bool Form6::fetchSignedList(const QStringList& names, release::SumList* list) {
    constexpr qint64 kMaxListBytes = 1024 * 1024;
    Update_files->setText(QStringLiteral("升级组件:") + release::kSumListName);
    QCoreApplication::processEvents();
    bool reached = false;
    const std::optional<QByteArray> sums =
        tg->fetchWhole(BaseUrl + release::kSumListName, kMaxListBytes, &reached);
    const std::optional<QByteArray> signature =
        sums ? tg->fetchWhole(BaseUrl + release::kSignatureName, kMaxListBytes, &reached)
             : std::nullopt;
    if (!reached) {
        tg_ErrMassage(DownLoad::connectionFailedText());
        return false;
    }
    if (const std::optional<QString> problem =
            release::checkSignedList(sums, signature, m_publicKey, NewVersion, names, list)) {
        tg_ErrMassage(*problem);
        return false;
    }
    install::checkpoint();
    return true;
}

bool Form6::downloadAll(const QStringList& names) {
    for (int i = 0; i < names.size(); ++i) {
        if (m_closeRequested || List1->count() == 0)
            return false;
        List1->setCurrentRow(0);
        const QString& name = names.at(i);
        Update_files->setText(QStringLiteral("升级组件:") + name);
        tg->setURL(BaseUrl + name);
        tg->setSaveFile(install::stagedPath(m_programFolder, i));
        tg->setShownPath(QDir(m_programFolder).filePath(name));
        QCoreApplication::processEvents();
        tg->Execute();
        bool isNumber = false;
        const qint64 length = tg->GetHeader(QStringLiteral("Content-Length")).toLongLong(&isNumber);
        if (isNumber)
            TotalSize = length;
        QCoreApplication::processEvents();
        m_progressSeen = false;
        tg->StartDownLoad();
        if (!tg->installed())
            return false; // the download object has shown why
        m_received.append(tg->written());
        install::checkpoint();
        if (List1->count() > 0)
            delete List1->takeItem(0);
    }
    return true;
}

bool Form6::verifyAll(const QStringList& names, const release::SumList& list) {
    for (int i = 0; i < names.size(); ++i) {
        if (const std::optional<QString> problem =
                release::checkDigest(*list.find(names.at(i)), m_received.value(i))) {
            tg_ErrMassage(*problem);
            return false;
        }
        install::checkpoint();
    }
    return true;
}

bool Form6::installAll(const QStringList& names, const release::SumList& list) {
    // Checked again: the files may have changed while the update downloaded.
    if (const std::optional<QString> refused = install::refusedTarget(m_programFolder, names)) {
        tg_ErrMassage(DownLoad::fileInUseText(*refused));
        return false;
    }
    QList<install::StagedFile> files;
    for (const QString& name : names)
        files.append({name, list.find(name)->mode});
    const install::Outcome outcome =
        install::installStaged(m_programFolder, files, NewVersion, IniPath);
    if (!outcome.ok)
        tg_ErrMassage(outcome.error);
    return outcome.ok;
}

QString Form6::groupDigits(qint64 n) {
    if (n == 0)
        return {};
    static const QLocale grouping(QLocale::English, QLocale::UnitedStates);
    return grouping.toString(n);
}

void Form6::tg_GetData(qint64 Progress) {
    if (Progress > 0 && !m_progressSeen) {
        m_progressSeen = true;
        install::checkpoint(); // part of the file is on disk
    }
    // Redrawing the label and bar for every 1 KB read would cost more than the transfer on a
    // fast line; a few dozen times a second looks the same. A new file and the end always show.
    constexpr qint64 kRefreshMs = 40;
    const bool due = !m_sinceShown.isValid() || m_sinceShown.elapsed() >= kRefreshMs ||
                     Progress <= m_lastProgress || Progress >= TotalSize;
    m_lastProgress = Progress;
    if (due)
        showProgress(Progress);
}

void Form6::tg_DownLoadOver() {
    showProgress(m_lastProgress);
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

void Form6::finish(bool allInstalled) {
    m_running = false;
    if (m_finished)
        return;
    m_finished = true;
    emit ended(allInstalled);
}

void Form6::closeEvent(QCloseEvent* event) {
    // Closing mid-transfer cancels it and installs nothing.
    Timer1->stop();
    if (m_running) {
        m_closeRequested = true;
        List1->clear();
        tg->Cancel();
    } else {
        finish(false);
    }
    event->accept();
}
