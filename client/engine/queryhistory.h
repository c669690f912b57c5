#pragma once

#include "queries.h"
#include "queryrunner.h"

#include <QList>
#include <QString>
#include <QStringList>

// The queries a user ran lately, per kind, newest first; the boxes offer them again. Kept are
// train queries (one text, the number), station-to-station queries (two texts) and station
// queries (one text); the other kinds are not.

// Kept through QSettings in an INI file of the user's configuration folder (never beside the
// program in system.ini). Every change is written at once, so a crash loses nothing.
class QueryHistory {
public:
    // The default file: "history.ini" in the XDG configuration folder of the program.
    QueryHistory();
    explicit QueryHistory(const QString& file);

    static QString defaultFile();
    QString file() const { return m_file; }

    QList<QStringList> entries(QueryKind kind) const;
    // Puts `texts` first; an earlier entry equal but for letter case goes, and only the
    // newest kLimit stay.
    // Entries with an empty text are not kept.
    void add(QueryKind kind, const QStringList& texts);

    static constexpr qsizetype kLimit = 10;

private:
    QString m_file;
};

// A query goes into the history when it found something: rows or transfer cities, without a
// message or a failed fetch.
bool isWorthKeeping(const QueryReport& report);
