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
    switch (trimmed.front().toUpper().unicode()) {
    case u'G':
        return TrainClass::G;
    case u'C':
        return TrainClass::C;
    case u'D':
        return TrainClass::D;
    case u'Z':
        return TrainClass::Z;
    case u'T':
        return TrainClass::T;
    case u'K':
        return TrainClass::K;
    default:
        return TrainClass::Other;
    }
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
