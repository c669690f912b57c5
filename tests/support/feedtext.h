#pragma once

#include "gtfs/feedsource.h"

#include <QDir>
#include <QFile>
#include <QMap>

// A small feed written as one text: a line "== stops.txt" starts each table. The bytes of a
// table are kept exactly (BOM, CR, quotes), so tests can craft every CSV quirk.
inline QMap<QString, QByteArray> feedTables(const QByteArray& text) {
    QMap<QString, QByteArray> tables;
    QString current;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        end = end < 0 ? text.size() : end + 1;
        const QByteArray line = text.mid(pos, end - pos);
        if (line.startsWith("== "))
            current = QString::fromUtf8(line.mid(3).trimmed());
        else if (!current.isEmpty())
            tables[current] += line;
        pos = end;
    }
    return tables;
}

// The tables of `text` over those of `base`: a table named in both is replaced, and a table
// given as "== name" with no lines is left out.
inline gtfs::MemorySource feedSource(const QByteArray& base, const QByteArray& text = {}) {
    QMap<QString, QByteArray> tables = feedTables(base);
    const QMap<QString, QByteArray> changes = feedTables(text);
    for (auto it = changes.begin(); it != changes.end(); ++it)
        tables[it.key()] = it.value();
    for (const QByteArray& line : text.split('\n')) {
        const QString name = QString::fromUtf8(line.mid(3).trimmed());
        if (line.startsWith("== ") && !changes.contains(name))
            tables.remove(name);
    }
    return gtfs::MemorySource(tables);
}

inline bool writeFeedFolder(const QString& dir, const QByteArray& text) {
    const QMap<QString, QByteArray> tables = feedTables(text);
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        QFile file(QDir(dir).filePath(it.key()));
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return false;
    }
    return true;
}
