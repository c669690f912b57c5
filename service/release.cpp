#include "release.h"

#include "pages.h"

#include <QDir>
#include <QFile>

namespace {

const QString versionFile = QStringLiteral("version.txt");
const QString notesFile = QStringLiteral("notes.txt");

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

Release installedRelease() {
    return Release{kInstalledVersion, {}, {}, {}};
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
        if (name == versionFile || name == notesFile)
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

std::optional<QString> releaseFilePath(const Release& release, const QString& name) {
    if (release.folder.isEmpty() || !release.files.contains(name))
        return std::nullopt;
    return QDir(release.folder).filePath(name);
}
