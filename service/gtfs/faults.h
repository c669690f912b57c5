#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace gtfs {

// Rows skipped while loading, counted by kind with the first place each kind was seen.
class Faults {
public:
    void add(const QString& kind, const QString& table, int line);
    int count() const;
    int count(const QString& kind) const;
    // One line per kind: "3 rows skipped: bad time (first at stop_times.txt:12)".
    QStringList summary() const;

private:
    struct Kind {
        QString kind, table;
        int line = 0;
        int count = 0;
    };
    std::vector<Kind> m_kinds;
};

} // namespace gtfs
