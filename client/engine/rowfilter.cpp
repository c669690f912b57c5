#include "rowfilter.h"

#include "rowsort.h"

#include <algorithm>

namespace {

constexpr int kNumberColumn = 1;
constexpr int kDepartureColumn = 6;

} // namespace

TrainClass trainClassOf(QStringView number) {
    const QStringView trimmed = number.trimmed();
    if (trimmed.isEmpty())
        return TrainClass::Other;
    // The letters in the order of TrainClass.
    const qsizetype at = QStringView(u"GCDZTK").indexOf(trimmed.front().toUpper());
    return at < 0 ? TrainClass::Other : TrainClass(at);
}

QString trainClassLabel(TrainClass trainClass) {
    static const char16_t* const labels[kTrainClassCount] = {u"G", u"C", u"D",   u"Z",
                                                             u"T", u"K", u"其他"};
    return QString::fromUtf16(labels[int(trainClass)]);
}

bool RowFilter::isOpen() const {
    return timeWindowIsOpen() &&
           std::all_of(classes.begin(), classes.end(), [](bool b) { return b; });
}

bool RowFilter::accepts(const QStringList& row) const {
    if (!classes[int(trainClassOf(row.value(kNumberColumn)))])
        return false;
    if (timeWindowIsOpen())
        return true;
    const std::optional<int> departure = minutesOf(row.value(kDepartureColumn));
    if (!departure)
        return false;
    const int m = *departure % (24 * 60);
    return fromMinute <= toMinute ? (m >= fromMinute && m <= toMinute)
                                  : (m >= fromMinute || m <= toMinute);
}

QString filterSummary(qsizetype shown, qsizetype total) {
    return QStringLiteral("显示 %1 / %2 条").arg(shown).arg(total);
}
