#include "resultlists.h"

#include "rowfilter.h"
#include "rowsort.h"
#include "stationindex.h"

#include <QTreeWidget>

namespace {

QStringList cellsOf(const QTreeWidgetItem* item) {
    QStringList cells;
    for (int c = 0; c < item->columnCount(); ++c)
        cells << item->text(c);
    return cells;
}

// The cells of the rows `keep` takes, in the list's order.
template <typename Keep> QList<QStringList> rowsWhere(const QTreeWidget* view, Keep keep) {
    QList<QStringList> rows;
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = view->topLevelItem(i);
        if (keep(item))
            rows << cellsOf(item);
    }
    return rows;
}

} // namespace

ResultItem::ResultItem(TrainList list, const QStringList& cells, const StationIndex* stations)
    : QTreeWidgetItem(cells)
    , m_list(list)
    , m_stations(stations) {}

bool ResultItem::operator<(const QTreeWidgetItem& other) const {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    static const StationIndex none;
    const int order = compareCells(m_list, column, text(column), other.text(column),
                                   m_stations ? *m_stations : none);
    if (order != 0)
        return order < 0;
    // Equal cells keep the scraped order.
    return compareCells(m_list, 0, text(0), other.text(0), none) < 0;
}

QList<QStringList> rowsOnView(const QTreeWidget* view) {
    return rowsWhere(view, [](const QTreeWidgetItem* item) { return !item->isHidden(); });
}

QList<QStringList> selectedRows(const QTreeWidget* view) {
    return rowsWhere(
        view, [](const QTreeWidgetItem* item) { return item->isSelected() && !item->isHidden(); });
}

qsizetype applyFilter(QTreeWidget* view, const RowFilter& filter) {
    qsizetype shown = 0;
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = view->topLevelItem(i);
        const bool pass = filter.accepts(cellsOf(item));
        item->setHidden(!pass);
        shown += pass;
    }
    return shown;
}
