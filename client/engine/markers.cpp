#include "markers.h"

namespace markers {

std::optional<QStringView> piece(QStringView text, QStringView marker, qsizetype k) {
    if (marker.isEmpty())
        return k == 0 ? std::optional<QStringView>(text) : std::nullopt;
    qsizetype start = 0;
    for (qsizetype i = 0; i < k; ++i) {
        const qsizetype at = text.indexOf(marker, start);
        if (at < 0)
            return std::nullopt;
        start = at + marker.size();
    }
    const qsizetype next = text.indexOf(marker, start);
    return text.mid(start, next < 0 ? text.size() - start : next - start);
}

QStringView upTo(QStringView text, QStringView end) {
    const qsizetype at = end.isEmpty() ? -1 : text.indexOf(end);
    return at < 0 ? text : text.first(at);
}

QStringView cut(QStringView row, QStringView a, qsizetype k, QStringView b) {
    return cut(row, Marker(a), k, b);
}

QStringView cut(QStringView row, const Marker& a, qsizetype k, QStringView b) {
    if (a.size() == 0)
        return {};
    qsizetype start = 0;
    for (qsizetype i = 0; i < k; ++i) {
        const qsizetype at = a.indexIn(row, start);
        if (at < 0)
            return {};
        start = at + a.size();
    }
    const qsizetype next = a.indexIn(row, start);
    return upTo(row.sliced(start, (next < 0 ? row.size() : next) - start), b);
}

bool contains(QStringView text, QStringView phrase) {
    return !phrase.isEmpty() && text.contains(phrase);
}

} // namespace markers

namespace markers {

Pieces::Pieces(QStringView row, const Marker& marker)
    : m_row(row)
    , m_markerSize(marker.size()) {
    qsizetype from = 0;
    while (m_markerSize > 0 && m_found <= kMaxPiece) {
        const qsizetype at = marker.indexIn(row, from);
        if (at < 0)
            break;
        m_at[m_found++] = at;
        from = at + m_markerSize;
    }
}

QStringView Pieces::cut(qsizetype k, QStringView end) const {
    Q_ASSERT(k >= 1 && k <= kMaxPiece);
    if (k > m_found)
        return {};
    const qsizetype start = m_at[k - 1] + m_markerSize;
    const qsizetype stop = k < m_found ? m_at[k] : m_row.size();
    return upTo(m_row.sliced(start, stop - start), end);
}

} // namespace markers
