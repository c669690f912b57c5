#include "release/updatesession.h"

#include "release/download.h"
#include "release/installjournal.h"
#include "release/manifest.h"
#include "release/profile.h"

#include <QDir>

UpdateSession::UpdateSession(const QString& commandText, const QString& programFolder,
                             QObject* parent)
    : QObject(parent)
    , m_download(new DownLoad(this))
    , m_programFolder(programFolder)
    , m_iniPath(QDir(programFolder).filePath(QStringLiteral("system.ini"))) {
    m_baseUrl = readProfileString(QStringLiteral("update"), QStringLiteral("http"), m_iniPath);
    const manifest::UpdaterCommand command = manifest::parseUpdaterArgument(commandText);
    m_newVersion = command.version;
    // An empty name (a trailing ",") stands for no file, so it is not pending.
    for (const QString& name : command.files) {
        if (!name.isEmpty())
            m_pending.append(name);
    }
    connect(m_download, &DownLoad::GetData, this, &UpdateSession::received);
    connect(m_download, &DownLoad::DownLoadOver, this,
            [this] { emit progress(m_lastReceived, m_total); });
    connect(m_download, &DownLoad::ErrMassage, this, &UpdateSession::message);
    // An address that cannot be opened ends the sequence after the current step.
    connect(m_download, &DownLoad::addressFailed, this, [this] { setPending({}); });
}

QString UpdateSession::installedVersion() const {
    return readProfileString(QStringLiteral("system"), QStringLiteral("Version"), m_iniPath);
}

void UpdateSession::setPending(const QStringList& pending) {
    m_pending = pending;
    emit pendingChanged(m_pending);
}

void UpdateSession::received(qint64 bytes) {
    if (bytes > 0 && !m_progressSeen) {
        m_progressSeen = true;
        install::checkpoint(); // part of the file is on disk
    }
    m_lastReceived = bytes;
    emit progress(bytes, m_total);
}

void UpdateSession::run() {
    if (m_running || m_finished)
        return;
    m_running = true;
    QStringList names = m_pending;
    names.removeDuplicates(); // one target, one staged copy
    if (names.isEmpty()) {
        // Nothing to fetch: say so and leave system.ini alone.
        emit message(QStringLiteral("没有需要升级的文件。"));
        finish(false);
        return;
    }
    release::SumList list;
    QString error;
    bool installed = checkNames(names);
    if (installed && !install::prepareStaging(m_programFolder, &error)) {
        emit message(error);
        installed = false;
    }
    installed = installed && fetchSignedList(names, &list) && downloadAll(names) &&
                verifyAll(names, list) && !m_stopped && installAll(names, list);
    if (!installed)
        install::discardStaging(m_programFolder);
    setPending({});
    finish(installed);
}

void UpdateSession::stop() {
    if (!m_running) {
        finish(false);
        return;
    }
    m_stopped = true;
    setPending({});
    m_download->Cancel();
}

bool UpdateSession::checkNames(const QStringList& names) {
    for (const QString& name : names) {
        if (!manifest::isSafeUpdateFileName(name)) {
            emit message(QStringLiteral("文件名“%1”不是程序文件夹中的文件,已拒绝,未安装任何文件。")
                             .arg(name));
            return false;
        }
    }
    if (const std::optional<QString> refused = install::refusedTarget(m_programFolder, names)) {
        emit message(DownLoad::fileInUseText(*refused));
        return false;
    }
    return true;
}

bool UpdateSession::fetchSignedList(const QStringList& names, release::SumList* list) {
    constexpr qint64 kMaxListBytes = 1024 * 1024;
    emit fileStarted(release::kSumListName);
    bool reached = false;
    const std::optional<QByteArray> sums =
        m_download->fetchWhole(m_baseUrl + release::kSumListName, kMaxListBytes, &reached);
    const std::optional<QByteArray> signature =
        sums ? m_download->fetchWhole(m_baseUrl + release::kSignatureName, kMaxListBytes, &reached)
             : std::nullopt;
    if (!reached) {
        emit message(DownLoad::connectionFailedText());
        return false;
    }
    if (const std::optional<QString> problem =
            release::checkSignedList(sums, signature, m_publicKey, m_newVersion, names, list)) {
        emit message(*problem);
        return false;
    }
    install::checkpoint();
    return true;
}

bool UpdateSession::downloadAll(const QStringList& names) {
    for (int i = 0; i < names.size(); ++i) {
        if (m_stopped || m_pending.isEmpty())
            return false;
        const QString& name = names.at(i);
        emit fileStarted(name);
        m_download->setURL(m_baseUrl + name);
        m_download->setSaveFile(install::stagedPath(m_programFolder, i));
        m_download->setShownPath(install::targetPath(m_programFolder, name));
        m_download->Execute();
        bool isNumber = false;
        const qint64 length =
            m_download->GetHeader(QStringLiteral("Content-Length")).toLongLong(&isNumber);
        if (isNumber)
            m_total = length;
        m_progressSeen = false;
        m_download->StartDownLoad();
        if (!m_download->installed())
            return false; // the download object has told why
        m_received.append(m_download->written());
        install::checkpoint();
        if (!m_pending.isEmpty())
            setPending(m_pending.mid(1));
    }
    return true;
}

bool UpdateSession::verifyAll(const QStringList& names, const release::SumList& list) {
    for (int i = 0; i < names.size(); ++i) {
        if (const std::optional<QString> problem =
                release::checkDigest(*list.find(names.at(i)), m_received.value(i))) {
            emit message(*problem);
            return false;
        }
        install::checkpoint();
    }
    return true;
}

bool UpdateSession::installAll(const QStringList& names, const release::SumList& list) {
    // Checked again: the files may have changed while the update downloaded.
    if (const std::optional<QString> refused = install::refusedTarget(m_programFolder, names)) {
        emit message(DownLoad::fileInUseText(*refused));
        return false;
    }
    QList<install::StagedFile> files;
    for (const QString& name : names)
        files.append({name, list.find(name)->mode});
    const install::Outcome outcome =
        install::installStaged(m_programFolder, files, m_newVersion, m_iniPath);
    if (!outcome.ok)
        emit message(outcome.error);
    return outcome.ok;
}

void UpdateSession::finish(bool allInstalled) {
    m_running = false;
    if (m_finished)
        return;
    m_finished = true;
    emit ended(allInstalled);
}
