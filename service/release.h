#pragma once

#include "contract/pagecontract.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What the service offers to the client's update check. A release folder holds version.txt
// (the version on offer), notes.txt (release notes, optional) and the update files: every
// other regular file directly inside it.
struct Release {
    QString version;
    QString notes;
    QStringList files;    // names inside `folder`, sorted
    QString folder;       // empty: nothing to download
    QByteArray sumList;   // signed list of the files' sums (releasesignature.h)
    QByteArray signature; // of sumList; empty when the release is not signed
};

// The version this repository installs; offering it shows no prompt.
inline const QString kInstalledVersion = contract::version.toString();

Release installedRelease();
std::optional<Release> loadRelease(const QString& folder, QString* error);
// Lists the sums of the release's files and signs the list with `secretKey`.
bool signRelease(Release& release, const QByteArray& secretKey, QString* error);

// The manifest as the client reads it, in GB2312: version, base address, file list, five
// unused fields and the notes, joined by "|". `fileBase` is the address the names append to.
QByteArray manifestText(const Release& release, const QString& fileBase);

// The path of an offered file, or nullopt for a name the release does not hold.
std::optional<QString> releaseFilePath(const Release& release, const QString& name);
