#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// An update replaces several files of the program folder and records the new version in
// system.ini; it must do all of that or none of it, even when the process dies at any instant.
//
// Every file is first downloaded into a staging folder inside the program folder (same file
// system, so the moves below are atomic renames), under a short name made of its index, so a
// target name of any legal length still fits. Once every file is there and verified, a journal
// is written (atomically, synced) naming each target; then each installed file is moved aside
// into the staging folder and the new one moved in, the version is written, the journal is
// marked done and the old copies and the staging folder are removed.
//
// recoverInterruptedInstall() reads what a dead process left: no journal means the download
// never finished and the staging folder is dropped (the old set was never touched); a journal
// means the staged set was complete and verified, so the install is carried through (or, if
// that fails, rolled back to the old files and the old version).
namespace install {

inline const QString kStagingFolderName = QStringLiteral(".quillon-staging");

QString stagingFolder(const QString& programFolder);
// The staged copy of the file at `index` of the update.
QString stagedPath(const QString& programFolder, int index);

// Starts a fresh, empty staging folder; false (with the reason) when the folder cannot be made.
bool prepareStaging(const QString& programFolder, QString* error);
// Removes the staging folder and all it holds.
void discardStaging(const QString& programFolder);

// The first target of `names` the running user cannot replace: an existing folder, or a file
// without write permission (renaming only needs the folder's write bit, so this is checked
// here). The program folder itself is checked as well.
std::optional<QString> refusedTarget(const QString& programFolder, const QStringList& names);

struct StagedFile {
    QString name;    // target name inside the program folder
    int newMode = 0; // permission bits when the program folder holds no such file yet
};

struct Outcome {
    bool ok = true;
    QString error; // for the user, in Chinese
};

// Installs the staged files (index i of `files` staged at stagedPath(i)) and records `version`
// as [system] Version of `iniPath`. On failure the old files and version are back in place.
Outcome installStaged(const QString& programFolder, const QList<StagedFile>& files,
                      const QString& version, const QString& iniPath);

enum class Recovery { Nothing, DroppedDownload, Completed, RolledBack, Failed };
struct RecoveryOutcome {
    Recovery what = Recovery::Nothing;
    QString error;
};
// Finishes or undoes whatever an interrupted update left in `programFolder`. Both programs call
// it first thing at start.
RecoveryOutcome recoverInterruptedInstall(const QString& programFolder, const QString& iniPath);

// A hook called after every durable step of an update (download, verification, install and
// clean-up), so tests can stop the process at each of them.
void setCheckpointHook(std::function<void()> hook);
void checkpoint();

} // namespace install
