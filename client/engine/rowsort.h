#pragma once

#include "trainlist.h"

#include <QString>
#include <QStringView>

#include <optional>

class StationIndex;

// How a column of a result list is ordered when its header is clicked.
enum class CellOrder {
    Count,    // the row number the scrape gave
    Train,    // class letters, then the number as a number: G2 before G12
    Text,     // as written
    Name,     // station names in pinyin order
    Clock,    // "9:05" before "13:10"
    Duration, // hours unbounded: "9:05" before "43:48"
    Distance, // a number, whatever unit follows
};

CellOrder cellOrder(TrainList list, int column);

// Minutes of "H:MM" or "HH:MM" (markup around it allowed); nullopt when the cell holds none.
std::optional<int> minutesOf(QStringView cell);
// The first number in a cell ("1234", "1234公里", "12.5"); nullopt when it holds none.
std::optional<double> numberOf(QStringView cell);

// Negative, zero or positive as cell `a` sorts before, with or after `b` in `column`, ascending.
// Cells without a value sort after those with one. Names use the station list's pinyin where
// both are known; otherwise names the list knows come first, the rest in Chinese collation.
int compareCells(TrainList list, int column, const QString& a, const QString& b,
                 const StationIndex& stations);
