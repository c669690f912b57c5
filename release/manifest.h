#pragma once

#include <QString>
#include <QStringList>

// The update manifest the client reads and the command line it hands to the updater.
namespace manifest {

// Field numbers of the manifest, cut at "|".
inline constexpr int kVersionField = 0;
inline constexpr int kBaseAddressField = 1;
inline constexpr int kFilesField = 2;
inline constexpr int kNotesField = 8;

// A version longer than this is never offered: a body without "|" is one field, and an error
// page is far longer.
inline constexpr int kMaxVersionLength = 7;

// The manifest body cut at every "|", nothing trimmed. An empty body (a failed fetch) has no
// fields at all.
QStringList cutManifest(const QString& body);

// Field `index`, or the empty text when there is none.
QString manifestField(const QStringList& fields, int index);

// Lays the manifest over the program-wide values: a field that is missing leaves its value
// as it was.
void applyManifest(const QStringList& fields, QString& newVersion, QString& updateFiles);

// Whether the client offers `newVersion`: a difference test, not an ordering, so an older
// version is offered too.
bool offersUpdate(const QString& newVersion, const QString& curVersion);

// The updater's one argument: version, "?", comma-separated file names.
QString updaterArgument(const QString& newVersion, const QString& updateFiles);

struct UpdaterCommand {
    QString version;
    QStringList files; // in command-line order, empty names included
};

// The updater's reading of its argument text: cut at "?", then the file list at ",". Missing
// pieces read as an empty version or no files; pieces after the second are ignored.
UpdaterCommand parseUpdaterArgument(const QString& text);

// The updater writes only directly inside its program folder: a name that is empty, "." or
// "..", or holds a path separator or a NUL, is refused.
bool isSafeUpdateFileName(const QString& name);

} // namespace manifest
