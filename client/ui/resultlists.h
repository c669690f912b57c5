#pragma once

#include "trainlist.h"

#include <QList>
#include <QStringList>
#include <QTreeWidgetItem>

class QTreeWidget;
class StationIndex;
struct RowFilter;

// A result row that sorts by the value of its cells: times by the clock, distances as numbers,
// names in pinyin order. Column 0 keeps the number the scrape gave it.
class ResultItem : public QTreeWidgetItem {
public:
    ResultItem(TrainList list, const QStringList& cells, const StationIndex* stations);
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    TrainList m_list;
    const StationIndex* m_stations;
};

// The cells of rows as the list shows them, top to bottom: every row not filtered out, or
// only the selected ones.
QList<QStringList> rowsOnView(const QTreeWidget* view);
QList<QStringList> selectedRows(const QTreeWidget* view);

// Hides the rows the filter does not let through; returns how many stay shown.
qsizetype applyFilter(QTreeWidget* view, const RowFilter& filter);
