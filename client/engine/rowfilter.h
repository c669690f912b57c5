#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

// Train classes by the class letter of the number (contract::classLetter); numbers without
// one are Other.
enum class TrainClass { G, C, D, Z, T, K, Other };
inline constexpr int kTrainClassCount = 7;

TrainClass trainClassOf(QStringView number);
// "G", "C", "D", "Z", "T", "K" and "其他": what the filter row offers.
QString trainClassLabel(TrainClass trainClass);

// What the filter row above the result lists lets through. Open by default: every class, the
// whole day.
struct RowFilter {
    std::array<bool, kTrainClassCount> classes{true, true, true, true, true, true, true};
    int fromMinute = 0; // departure window, inclusive; from > to runs past midnight
    int toMinute = kLastMinute;

    static constexpr int kLastMinute = 24 * 60 - 1;

    bool timeWindowIsOpen() const { return fromMinute == 0 && toMinute == kLastMinute; }
    void allow(TrainClass trainClass, bool allowed) { classes[int(trainClass)] = allowed; }

    // `row` is a result-list row: column 1 the number, column 6 the departure time. A row without
    // a departure time passes only while the time window is open.
    bool accepts(const QStringList& row) const;
};

// The filter row's count: how many of the scraped rows it shows.
QString filterSummary(qsizetype shown, qsizetype total);
