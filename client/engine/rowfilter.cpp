#include "rowfilter.h"

#include "rowsort.h"

#include <algorithm>

namespace {

constexpr int kNumberColumn = 1;
constexpr int kDepartureColumn = 6;
// The first letters of the numbers, in the order of TrainClass; any other is TrainClass::Other.
constexpr QStringView kClassLetters = u"GCDZTK";

} // namespace

TrainClass trainClassOf(QStringView number) {
    const QStringView trimmed = number.trimmed();
    if (trimmed.isEmpty())
        return TrainClass::Other;
    const qsizetype at = kClassLetters.indexOf(trimmed.front().toUpper());
    return at < 0 ? TrainClass::Other : TrainClass(at);
}

QString trainClassLabel(TrainClass trainClass) {
    return trainClass == TrainClass::Other ? QStringLiteral("其他")
                                           : QString(kClassLetters[int(trainClass)]);
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
