#pragma once

#include "servicedays.h"
#include "trainlist.h"

#include <QList>
#include <QStringList>
#include <QTreeWidgetItem>

#include <optional>

class QObject;
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

// The main window's three result lists in one place: which one is on view (and so which query
// panel), what each holds and for which day, the filter over them, and copy and export of the
// list on view. The window places them and routes their events.
class ResultLists {
public:
    // Takes the lists the window's table made, in TrainList order, and sets up their columns,
    // sorting and selection. Names sort in pinyin order by `stations`.
    ResultLists(QTreeWidget* trains, QTreeWidget* between, QTreeWidget* station,
                const StationIndex* stations);

    QTreeWidget* view(TrainList list) const { return m_views[int(list)]; }
    const QList<QTreeWidget*>& views() const { return m_views; }
    // Which list a widget (a list or its viewport) is.
    std::optional<TrainList> listOf(const QObject* widget) const;

    TrainList onView() const { return m_onView; }
    // Puts `list` on view and the others away.
    void show(TrainList list);

    // A new answer in `list`, shown from its first row and column.
    void fill(TrainList list, const QList<QStringList>& rows);
    // The day `list` shows: its detail links and fares ask for it.
    const DayBases& day(TrainList list) const { return m_days[int(list)]; }
    void setDay(TrainList list, const DayBases& day) { m_days[int(list)] = day; }

    // Hides the rows the filter refuses in every list; returns how many of the list on view
    // stay shown.
    qsizetype applyFilter(const RowFilter& filter);
    // The selected rows of the list on view with their header, tab-separated; empty without
    // a selection.
    QString selectionAsText() const;
    // The shown rows of the list on view as CSV; `count` takes how many rows it holds.
    QByteArray onViewAsCsv(qsizetype* count) const;

private:
    QList<QTreeWidget*> m_views;
    const StationIndex* m_stations;
    TrainList m_onView = TrainList::ListView1;
    DayBases m_days[3];
};
