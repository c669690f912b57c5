#include "faults.h"

namespace gtfs {

void Faults::add(const QString& kind, const QString& table, int line) {
    for (Kind& k : m_kinds) {
        if (k.kind == kind) {
            ++k.count;
            return;
        }
    }
    m_kinds.push_back({kind, table, line, 1});
}

int Faults::count() const {
    int n = 0;
    for (const Kind& k : m_kinds)
        n += k.count;
    return n;
}

int Faults::count(const QString& kind) const {
    for (const Kind& k : m_kinds) {
        if (k.kind == kind)
            return k.count;
    }
    return 0;
}

QStringList Faults::summary() const {
    QStringList lines;
    for (const Kind& k : m_kinds) {
        lines << QStringLiteral("%1 %2 skipped: %3 (first at %4:%5)")
                     .arg(k.count)
                     .arg(k.count == 1 ? QStringLiteral("row") : QStringLiteral("rows"), k.kind,
                          k.table)
                     .arg(k.line);
    }
    return lines;
}

} // namespace gtfs
