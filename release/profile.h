#pragma once

#include <QString>

// INI files with the platform's profile semantics: section and key names match without regard
// to case, values come back with surrounding blanks removed, the first match wins, and a
// missing file, section or key reads as the empty text. UTF-8 on disk.
QString readProfileString(const QString& section, const QString& key, const QString& file);

// Sets one key, keeping every other line as it was; creates the file and the section when
// missing. The file is replaced atomically (a temporary file in the same folder, flushed and
// renamed over), so a crash never leaves a truncated file. Line breaks in the value are
// dropped, since they would split it into other keys. False when the file cannot be written.
bool writeProfileString(const QString& section, const QString& key, const QString& value,
                        const QString& file);
