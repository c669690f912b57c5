#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The three result lists of the main window. Each holds twelve text columns; column 11 is the
// invisible detail link.
enum class TrainList {
    ListView1, // train-number results
    ListView2, // station-to-station results, also the transfer legs
    ListView3, // station results
};

inline constexpr int kTrainListColumns = 12;
inline constexpr int kDetailLinkColumn = 11;

struct ListColumn {
    const char16_t* header;
    int widthTwips;
};

// Headers and widths of a list's twelve columns, left to right.
const QList<ListColumn>& trainListColumns(TrainList list);

// What one scrape leaves behind: the list's new content (it is always emptied first) and the
// text of the first status panel, which is written only when the page held a row marker.
struct TrainListResult {
    QList<QStringList> rows;
    std::optional<QString> status;
};

// The row scraping scheme shared by the three lists. Pure: reads the
// page buffer (double quotes already removed) and nothing else.
TrainListResult scrapeTrainList(QStringView page, TrainList list);

// "共查询到：" and the count, as the first status panel shows it.
QString rowCountStatus(qsizetype rows);
