#include "rowfilter.h"

#include "rowsort.h"

#include "contract/pagecontract.h"

namespace {

constexpr int kNumberColumn = 1;
constexpr int kDepartureColumn = 6;

} // namespace

TrainClass trainClassOf(QStringView number) {
    const QChar letter = contract::classLetter(number);
    return letter.isNull() ? TrainClass::Other : TrainClass(contract::classLetters.indexOf(letter));
}

QString trainClassLabel(TrainClass trainClass) {
    return trainClass == TrainClass::Other ? QStringLiteral("其他")
                                           : QString(contract::classLetters[int(trainClass)]);
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
