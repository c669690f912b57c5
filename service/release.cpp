#include "release.h"

#include "pages.h"
#include "release/releasesignature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString versionFile = QStringLiteral("version.txt");
const QString notesFile = QStringLiteral("notes.txt");

// Qt's permission flags (owner, user, group, other nibbles) as Unix permission bits.
int unixMode(int flags) {
    return ((flags >> 12) & 7) << 6 | ((flags >> 4) & 7) << 3 | (flags & 7);
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

Release installedRelease() {
    Release release;
    release.version = kInstalledVersion;
    return release;
}

std::optional<Release> loadRelease(const QString& folder, QString* error) {
    const QDir dir(folder);
    if (!dir.exists()) {
        *error = QStringLiteral("release folder %1 does not exist").arg(folder);
        return std::nullopt;
    }
    Release release;
    release.folder = dir.absolutePath();
    release.version = readText(dir.filePath(versionFile)).trimmed();
    if (release.version.isEmpty()) {
        *error = QStringLiteral("%1 holds no version").arg(dir.filePath(versionFile));
        return std::nullopt;
    }
    release.notes = readText(dir.filePath(notesFile));
    // The manifest is cut at "|" and the file list at ",", so such names cannot be offered.
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (name == versionFile || name == notesFile || name == release::kSumListName ||
            name == release::kSignatureName)
            continue;
        if (name.contains(u'|') || name.contains(u',') || name.contains(u'?')) {
            *error = QStringLiteral("file name %1 cannot be listed in a manifest").arg(name);
            return std::nullopt;
        }
        release.files.append(name);
    }
    return release;
}

QByteArray manifestText(const Release& release, const QString& fileBase) {
    const QStringList fields = {
        release.version, fileBase, release.files.join(u','), {}, {}, {}, {}, {}, release.notes};
    return pages::toGb(fields.join(u'|'));
}

bool signRelease(Release& release, const QByteArray& secretKey, QString* error) {
    release::SumList list;
    list.version = release.version;
    const QDir dir(release.folder);
    for (const QString& name : release.files) {
        const QString path = dir.filePath(name);
        const std::optional<release::FileDigest> digest = release::digestFile(path);
        if (!digest) {
            *error = QStringLiteral("cannot read %1").arg(path);
            return false;
        }
        // Only the permission bits travel; the updater gives them to files new to the folder.
        const int mode = int(QFileInfo(path).permissions() & 0x7777);
        list.files.append({name, digest->sha256, digest->size, unixMode(mode)});
    }
    release.sumList = release::sumListText(list);
    release.signature = release::signList(release.sumList, secretKey);
    return true;
}

std::optional<QString> releaseFilePath(const Release& release, const QString& name) {
    if (release.folder.isEmpty() || !release.files.contains(name))
        return std::nullopt;
    return QDir(release.folder).filePath(name);
}
