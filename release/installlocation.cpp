#include "release/installlocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

// Folders that the package manager or an administrator owns, even when the running user
// (root, say) could write them.
constexpr const char* kSystemPrefixes[] = {"/usr/", "/opt/",   "/bin/", "/sbin/",
                                           "/lib/", "/lib64/", "/snap/"};

} // namespace

bool isPerUserInstall(const QString& programFolder) {
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    if (canonical.isEmpty() || ::access(QFile::encodeName(canonical).constData(), W_OK | X_OK) != 0)
        return false;
    const QString withSlash = canonical + u'/';
    for (const char* prefix : kSystemPrefixes) {
        if (withSlash.startsWith(QLatin1String(prefix)))
            return false;
    }
    return true;
}

InstallLocation locateInstall(const QString& programFolder) {
    InstallLocation location;
    location.versionIniPath = QDir(programFolder).filePath(QStringLiteral("system.ini"));
    location.selfUpdate = isPerUserInstall(programFolder);
    location.iniPath =
        location.selfUpdate
            ? location.versionIniPath
            : QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                  .filePath(QStringLiteral("quillon/system.ini"));
    return location;
}
