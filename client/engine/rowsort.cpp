#include "rowsort.h"

#include "stationindex.h"

#include <QCollator>
#include <QLocale>
#include <QRegularExpression>

namespace {

template <typename T> int compareOptional(const std::optional<T>& a, const std::optional<T>& b) {
    if (a && b)
        return *a < *b ? -1 : (*b < *a ? 1 : 0);
    return int(!a) - int(!b); // no value sorts last
}

int compareTrains(QStringView a, QStringView b) {
    auto split = [](QStringView number) {
        qsizetype letters = 0;
        while (letters < number.size() && !number[letters].isDigit())
            ++letters;
        return std::pair{number.first(letters).toString().toUpper(),
                         numberOf(number.sliced(letters))};
    };
    const auto [lettersA, numA] = split(a);
    const auto [lettersB, numB] = split(b);
    if (const int c = lettersA.compare(lettersB))
        return c;
    if (const int c = compareOptional(numA, numB))
        return c;
    return a.compare(b);
}

const QCollator& chineseCollator() {
    static const QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    return collator;
}

int compareNames(const QString& a, const QString& b, const StationIndex& stations) {
    const QString pinyinA = stations.pinyinOf(a);
    const QString pinyinB = stations.pinyinOf(b);
    // Known before unknown keeps the order consistent when only some names are in the list.
    if (pinyinA.isNull() != pinyinB.isNull())
        return pinyinA.isNull() ? 1 : -1;
    if (!pinyinA.isNull()) {
        if (const int c = pinyinA.compare(pinyinB))
            return c;
    } else if (const int c = chineseCollator().compare(a, b)) {
        return c;
    }
    return a.compare(b);
}

} // namespace

CellOrder cellOrder(TrainList list, int column) {
    const bool numberList = list == TrainList::ListView1;
    switch (column) {
    case 0:
        return CellOrder::Count;
    case 1:
        return CellOrder::Train;
    case 2:
    case 3:
    case 5:
    case 7:
        return CellOrder::Name;
    case 6:
    case 8:
        return CellOrder::Clock;
    case 9:
        return numberList ? CellOrder::Duration : CellOrder::Distance;
    case 10:
        return numberList ? CellOrder::Distance : CellOrder::Duration;
    default:
        return CellOrder::Text;
    }
}

std::optional<int> minutesOf(QStringView cell) {
    static const QRegularExpression clock(QStringLiteral("(\\d{1,3}):(\\d{2})"));
    const QRegularExpressionMatch m = clock.match(cell);
    if (!m.hasMatch())
        return std::nullopt;
    const int minutes = m.capturedView(2).toInt();
    if (minutes > 59)
        return std::nullopt;
    return m.capturedView(1).toInt() * 60 + minutes;
}

std::optional<double> numberOf(QStringView cell) {
    static const QRegularExpression number(QStringLiteral("\\d+(?:\\.\\d+)?"));
    const QRegularExpressionMatch m = number.match(cell);
    if (!m.hasMatch())
        return std::nullopt;
    return m.capturedView().toDouble();
}

int compareCells(TrainList list, int column, const QString& a, const QString& b,
                 const StationIndex& stations) {
    switch (cellOrder(list, column)) {
    case CellOrder::Count:
    case CellOrder::Distance:
        if (const int c = compareOptional(numberOf(a), numberOf(b)))
            return c;
        break;
    case CellOrder::Clock:
    case CellOrder::Duration:
        if (const int c = compareOptional(minutesOf(a), minutesOf(b)))
            return c;
        break;
    case CellOrder::Train:
        return compareTrains(a, b);
    case CellOrder::Name:
        return compareNames(a, b, stations);
    case CellOrder::Text:
        break;
    }
    return a.compare(b);
}
