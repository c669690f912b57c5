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
    const auto p = piece(row, a, k);
    return p ? upTo(*p, b) : QStringView();
}

bool contains(QStringView text, QStringView phrase) {
    return !phrase.isEmpty() && text.contains(phrase);
}

} // namespace markers
