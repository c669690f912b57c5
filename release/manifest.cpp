#include "release/manifest.h"

namespace manifest {

QStringList cutManifest(const QString& body) {
    if (body.isEmpty())
        return {};
    return body.split(u'|');
}

QString manifestField(const QStringList& fields, int index) {
    return fields.value(index);
}

void applyManifest(const QStringList& fields, QString& newVersion, QString& updateFiles) {
    if (fields.size() > kVersionField)
        newVersion = fields.at(kVersionField);
    if (fields.size() > kFilesField)
        updateFiles = fields.at(kFilesField);
}

bool offersUpdate(const QString& newVersion, const QString& curVersion) {
    return !newVersion.isEmpty() && newVersion != curVersion &&
           newVersion.size() <= kMaxVersionLength;
}

QString updaterArgument(const QString& newVersion, const QString& updateFiles) {
    return newVersion + u'?' + updateFiles;
}

UpdaterCommand parseUpdaterArgument(const QString& text) {
    UpdaterCommand command;
    if (text.isEmpty())
        return command;
    const QStringList pieces = text.split(u'?');
    command.version = pieces.at(0);
    if (pieces.size() > 1 && !pieces.at(1).isEmpty())
        command.files = pieces.at(1).split(u',');
    return command;
}

bool isSafeUpdateFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return false;
    }
    return true;
}

} // namespace manifest
