#include "release/installjournal.h"

#include "release/manifest.h"
#include "release/profile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace install {

namespace {

const QString kJournalName = QStringLiteral("journal");
const QByteArray kJournalHeader = QByteArrayLiteral("quillon-install 1");

// The journal's states. "installing": the staged set is complete and verified, so a restart
// carries the install through. "rolling-back": an install step failed, so a restart finishes
// putting the old set back. "installed": the new set and version are in; only clean-up is left.
enum class State { Installing, RollingBack, Installed };
constexpr const char* kStateNames[] = {"installing", "rolling-back", "installed"};

struct Entry {
    int index = 0;
    int mode = 0;
    bool hadOld = false;
    QString name;
};

struct Journal {
    State state = State::Installing;
    QString version;
    QString oldVersion;
    QList<Entry> entries;
};

std::function<void()>& checkpointHook() {
    static std::function<void()> hook;
    return hook;
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

bool present(const QString& path) {
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0;
}

bool syncPath(const QString& path, bool folder) {
    const int fd = ::open(native(path).constData(), O_RDONLY | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString journalPath(const QString& programFolder) {
    return QDir(stagingFolder(programFolder)).filePath(kJournalName);
}

QString targetPath(const QString& programFolder, const Entry& e) {
    return install::targetPath(programFolder, e.name);
}

QString oldCopyPath(const QString& programFolder, const Entry& e) {
    return stagedPath(programFolder, e.index) + QStringLiteral(".old");
}

QByteArray journalText(const Journal& journal) {
    QByteArray text = kJournalHeader + '\n';
    text += QByteArray("state ") + kStateNames[int(journal.state)] + '\n';
    text += "version " + QUrl::toPercentEncoding(journal.version) + '\n';
    text += "old-version " + QUrl::toPercentEncoding(journal.oldVersion) + '\n';
    for (const Entry& e : journal.entries) {
        text += "file " + QByteArray::number(e.index) + ' ' + QByteArray::number(e.mode, 8) + ' ' +
                (e.hadOld ? '1' : '0') + ' ' + QUrl::toPercentEncoding(e.name) + '\n';
    }
    return text;
}

std::optional<Journal> parseJournal(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 5 || lines[0] != kJournalHeader)
        return std::nullopt;
    Journal journal;
    const QByteArray state = lines[1].mid(6);
    bool known = false;
    for (int s = 0; s < 3; ++s) {
        if (state == kStateNames[s]) {
            journal.state = State(s);
            known = true;
        }
    }
    if (!known || !lines[2].startsWith("version ") || !lines[3].startsWith("old-version "))
        return std::nullopt;
    journal.version = QUrl::fromPercentEncoding(lines[2].mid(8));
    journal.oldVersion = QUrl::fromPercentEncoding(lines[3].mid(12));
    for (qsizetype i = 4; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> parts = lines[i].split(' ');
        bool indexOk = false, modeOk = false;
        Entry e;
        if (parts.size() != 5 || parts[0] != "file")
            return std::nullopt;
        e.index = parts[1].toInt(&indexOk);
        e.mode = parts[2].toInt(&modeOk, 8);
        e.hadOld = parts[3] == "1";
        e.name = QUrl::fromPercentEncoding(parts[4]);
        // A journal names files directly inside the program folder and nothing else: a damaged
        // one must not move files elsewhere.
        if (!indexOk || !modeOk || e.index < 0 || !manifest::isSafeUpdateFileName(e.name))
            return std::nullopt;
        journal.entries.append(e);
    }
    return journal;
}

// Replaces the journal atomically and durably: the rename is the step that counts.
bool writeJournal(const QString& programFolder, const Journal& journal) {
    const QString path = journalPath(programFolder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(journalText(journal));
    return file.commit() && syncPath(stagingFolder(programFolder), true);
}

bool moveFile(const QString& from, const QString& to) {
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

// The old copy is a second name for the installed file, so the target is never missing: the
// rename that follows swaps the new file in atomically. A crash between the two must not leave
// the folder without its client, the program that would finish the install at its next start.
// Only a file system without hard links falls back to moving the file aside.
bool keepOldCopy(const QString& target, const QString& old) {
    return ::link(native(target).constData(), native(old).constData()) == 0 ||
           moveFile(target, old);
}

bool recordVersion(const QString& iniPath, const QString& version) {
    const QString section = QStringLiteral("system"), key = QStringLiteral("Version");
    return readProfileString(section, key, iniPath) == version ||
           writeProfileString(section, key, version, iniPath);
}

Outcome failure(const QString& text) {
    return Outcome{false, text};
}

Outcome cleanUp(const QString& programFolder, const Journal& journal) {
    for (const Entry& e : journal.entries) {
        const QString old = oldCopyPath(programFolder, e);
        if (present(old)) {
            if (::unlink(native(old).constData()) != 0)
                return failure(QStringLiteral("无法删除旧文件%1:%2").arg(old, systemError()));
            checkpoint();
        }
    }
    QFile::remove(journalPath(programFolder));
    discardStaging(programFolder);
    checkpoint();
    if (present(stagingFolder(programFolder)))
        return failure(QStringLiteral("无法删除临时文件夹%1").arg(stagingFolder(programFolder)));
    return {};
}

// Puts the old set and the old version back. Idempotent, so a restart after a crash in the
// middle of it simply runs it again.
Outcome rollBack(const QString& programFolder, const QString& iniPath, Journal journal) {
    journal.state = State::RollingBack;
    if (!writeJournal(programFolder, journal))
        return failure(QStringLiteral("无法在%1中写入升级记录").arg(stagingFolder(programFolder)));
    for (qsizetype i = journal.entries.size() - 1; i >= 0; --i) {
        const Entry& e = journal.entries.at(i);
        const QString target = targetPath(programFolder, e);
        const QString old = oldCopyPath(programFolder, e);
        const bool newIsIn = !present(stagedPath(programFolder, e.index));
        if (present(old)) {
            if (!moveFile(old, target))
                return failure(QStringLiteral("无法恢复文件%1:%2").arg(target, systemError()));
        } else if (!e.hadOld && newIsIn && present(target)) {
            if (::unlink(native(target).constData()) != 0)
                return failure(QStringLiteral("无法删除文件%1:%2").arg(target, systemError()));
        }
    }
    syncPath(programFolder, true);
    if (!recordVersion(iniPath, journal.oldVersion))
        return failure(QStringLiteral("无法恢复%1中的版本号").arg(iniPath));
    discardStaging(programFolder);
    return {};
}

// Carries the install through from wherever it stopped; each step checks what is done.
Outcome rollForward(const QString& programFolder, const QString& iniPath, Journal journal) {
    for (const Entry& e : journal.entries) {
        const QString staged = stagedPath(programFolder, e.index);
        if (!present(staged))
            continue; // already moved in
        const QString target = targetPath(programFolder, e);
        const QString old = oldCopyPath(programFolder, e);
        if (e.hadOld && !present(old) && present(target)) {
            if (!keepOldCopy(target, old))
                return failure(QStringLiteral("无法替换文件%1:%2").arg(target, systemError()));
            checkpoint();
        }
        if (!moveFile(staged, target))
            return failure(QStringLiteral("无法替换文件%1:%2").arg(target, systemError()));
        checkpoint();
    }
    if (!syncPath(programFolder, true))
        return failure(QStringLiteral("无法写入程序文件夹%1:%2").arg(programFolder, systemError()));
    if (!recordVersion(iniPath, journal.version))
        return failure(QStringLiteral("无法记录新版本:%1").arg(iniPath));
    checkpoint();
    journal.state = State::Installed;
    if (!writeJournal(programFolder, journal))
        return failure(QStringLiteral("无法在%1中写入升级记录").arg(stagingFolder(programFolder)));
    checkpoint();
    return {};
}

// Forward, or back when forward fails; the old set is what an unfinished install falls back to.
Recovery finish(const QString& programFolder, const QString& iniPath, const Journal& journal,
                QString* error) {
    if (journal.state == State::RollingBack) {
        const Outcome back = rollBack(programFolder, iniPath, journal);
        *error = back.error;
        return back.ok ? Recovery::RolledBack : Recovery::Failed;
    }
    if (journal.state == State::Installing) {
        const Outcome forward = rollForward(programFolder, iniPath, journal);
        if (!forward.ok) {
            const Outcome back = rollBack(programFolder, iniPath, journal);
            if (!back.ok) {
                *error = forward.error + u';' + back.error;
                return Recovery::Failed;
            }
            *error = forward.error + QStringLiteral(",已恢复为原来的版本。");
            return Recovery::RolledBack;
        }
    } else if (!recordVersion(iniPath, journal.version)) {
        *error = QStringLiteral("无法记录新版本:%1").arg(iniPath);
        return Recovery::Failed;
    }
    const Outcome clean = cleanUp(programFolder, journal);
    *error = clean.error;
    return clean.ok ? Recovery::Completed : Recovery::Failed;
}

bool userMayReplace(const QString& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return false;
    // The super-user passes every access check, so a file nobody may write counts as protected.
    if (::geteuid() == 0)
        return (st.st_mode & 0222) != 0;
    return ::access(native(path).constData(), W_OK) == 0;
}

} // namespace

QString stagingFolder(const QString& programFolder) {
    return QDir(programFolder).filePath(kStagingFolderName);
}

QString targetPath(const QString& programFolder, const QString& name) {
    return programFolder + u'/' + name;
}

QString stagedPath(const QString& programFolder, int index) {
    return QDir(stagingFolder(programFolder)).filePath(QString::number(index));
}

bool prepareStaging(const QString& programFolder, QString* error) {
    discardStaging(programFolder);
    if (!QDir().mkpath(stagingFolder(programFolder))) {
        *error = QStringLiteral("无法在程序文件夹%1中建立临时文件夹,未安装任何文件。")
                     .arg(programFolder);
        return false;
    }
    return true;
}

void discardStaging(const QString& programFolder) {
    QDir(stagingFolder(programFolder)).removeRecursively();
}

std::optional<QString> refusedTarget(const QString& programFolder, const QStringList& names) {
    if (::access(native(programFolder).constData(), W_OK | X_OK) != 0)
        return programFolder;
    for (const QString& name : names) {
        const QString target = targetPath(programFolder, name);
        struct stat st;
        if (::lstat(native(target).constData(), &st) == 0 && !userMayReplace(target, st))
            return target;
    }
    return std::nullopt;
}

Outcome installStaged(const QString& programFolder, const QList<StagedFile>& files,
                      const QString& version, const QString& iniPath) {
    Journal journal;
    journal.version = version;
    journal.oldVersion =
        readProfileString(QStringLiteral("system"), QStringLiteral("Version"), iniPath);
    for (int i = 0; i < files.size(); ++i) {
        Entry e{i, files[i].newMode, false, files[i].name};
        struct stat st;
        if (::lstat(native(targetPath(programFolder, e)).constData(), &st) == 0) {
            e.hadOld = true;
            e.mode = int(st.st_mode & 07777); // an executable stays executable
        }
        const QString staged = stagedPath(programFolder, i);
        if (::chmod(native(staged).constData(), mode_t(e.mode)) != 0 || !syncPath(staged, false)) {
            discardStaging(programFolder);
            return failure(QStringLiteral("无法写入临时文件%1:%2,未安装任何文件。")
                               .arg(staged, systemError()));
        }
        journal.entries.append(e);
    }
    if (!writeJournal(programFolder, journal)) {
        discardStaging(programFolder);
        return failure(QStringLiteral("无法在%1中写入升级记录,未安装任何文件。")
                           .arg(stagingFolder(programFolder)));
    }
    checkpoint();
    QString error;
    const Recovery result = finish(programFolder, iniPath, journal, &error);
    return Outcome{result == Recovery::Completed, error};
}

RecoveryOutcome recoverInterruptedInstall(const QString& programFolder, const QString& iniPath) {
    const QString staging = stagingFolder(programFolder);
    if (!present(staging))
        return {};
    QFile file(journalPath(programFolder));
    if (!file.exists()) {
        discardStaging(programFolder);
        if (present(staging))
            return {Recovery::Failed, QStringLiteral("无法删除临时文件夹%1").arg(staging)};
        return {Recovery::DroppedDownload, {}};
    }
    std::optional<Journal> journal;
    if (file.open(QIODevice::ReadOnly))
        journal = parseJournal(file.readAll());
    if (!journal)
        return {Recovery::Failed, QStringLiteral("升级记录%1无法读取").arg(file.fileName())};
    QString error;
    const Recovery result = finish(programFolder, iniPath, *journal, &error);
    return {result, error};
}

void setCheckpointHook(std::function<void()> hook) {
    checkpointHook() = std::move(hook);
}

void checkpoint() {
    if (checkpointHook())
        checkpointHook()();
}

} // namespace install
