#include "resultlists.h"

#include "rowexport.h"
#include "rowfilter.h"
#include "rowsort.h"
#include "stationindex.h"
#include "twips.h"

#include <QHeaderView>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr TrainList kLists[] = {TrainList::ListView1, TrainList::ListView2, TrainList::ListView3};

// Qt's header draws the ascending indicator as a downward arrow; users read an upward arrow
// as "smallest first".
class AscendingUpStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorHeaderArrow) {
            if (const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option)) {
                QStyleOptionHeader flipped(*header);
                if (header->sortIndicator == QStyleOptionHeader::SortDown)
                    flipped.sortIndicator = QStyleOptionHeader::SortUp;
                else if (header->sortIndicator == QStyleOptionHeader::SortUp)
                    flipped.sortIndicator = QStyleOptionHeader::SortDown;
                QProxyStyle::drawPrimitive(element, &flipped, painter, widget);
                return;
            }
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// The width a header section needs for its text and a sort indicator.
int headerRoom(const QTreeWidget* view, int column) {
    const QHeaderView* header = view->header();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.text = view->headerItem()->text(column);
    option.sortIndicator = QStyleOptionHeader::SortDown;
    option.section = column;
    return header->style()
        ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header)
        .width();
}

void setUp(QTreeWidget* view, TrainList list, QStyle* headerStyle) {
    const QList<ListColumn>& columns = trainListColumns(list);
    view->setColumnCount(int(columns.size()));
    QStringList headers;
    for (const ListColumn& column : columns)
        headers << QString::fromUtf16(column.header);
    view->setHeaderLabels(headers);
    for (int c = 1; c < view->columnCount(); ++c)
        view->headerItem()->setTextAlignment(c, Qt::AlignCenter);
    view->setColumnHidden(kDetailLinkColumn, true);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setAlternatingRowColors(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->header()->setStretchLastSection(false);
    view->setSortingEnabled(true);
    view->sortByColumn(0, Qt::AscendingOrder);
    view->setTextElideMode(Qt::ElideRight);
    view->header()->setStyle(headerStyle);
    // Room for the header text beside the sort indicator ("序号" is the narrowest).
    for (int c = 0; c < columns.size(); ++c)
        view->setColumnWidth(c, c < kDetailLinkColumn
                                    ? std::max(px(columns[c].widthTwips), headerRoom(view, c))
                                    : px(columns[c].widthTwips));
}

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

ResultLists::ResultLists(QTreeWidget* trains, QTreeWidget* between, QTreeWidget* station,
                         const StationIndex* stations)
    : m_views{trains, between, station}
    , m_stations(stations) {
    // Owned by the window, which outlives the lists' headers.
    auto* headerStyle = new AscendingUpStyle;
    headerStyle->setParent(trains->parentWidget());
    for (const TrainList list : kLists)
        setUp(view(list), list, headerStyle);
    show(TrainList::ListView1);
}

std::optional<TrainList> ResultLists::listOf(const QObject* widget) const {
    for (const TrainList list : kLists) {
        if (widget == view(list) || widget == view(list)->viewport())
            return list;
    }
    return std::nullopt;
}

void ResultLists::show(TrainList list) {
    m_onView = list;
    for (const TrainList each : kLists)
        view(each)->setVisible(each == list);
}

void ResultLists::fill(TrainList list, const QList<QStringList>& rows) {
    QTreeWidget* target = view(list);
    target->setUpdatesEnabled(false);
    target->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const QStringList& row : rows) {
        auto* item = new ResultItem(list, row, m_stations);
        for (int c = 1; c < row.size(); ++c)
            item->setTextAlignment(c, Qt::AlignCenter);
        items.append(item);
    }
    target->addTopLevelItems(items);
    // A new answer starts at its first row and column, whatever the last one was scrolled to.
    target->scrollToTop();
    target->horizontalScrollBar()->setValue(0);
    target->setUpdatesEnabled(true);
}

qsizetype ResultLists::applyFilter(const RowFilter& filter) {
    qsizetype onView = 0;
    for (const TrainList list : kLists) {
        qsizetype shown = 0;
        QTreeWidget* target = view(list);
        for (int i = 0; i < target->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = target->topLevelItem(i);
            const bool pass = filter.accepts(cellsOf(item));
            item->setHidden(!pass);
            shown += pass;
        }
        if (list == m_onView)
            onView = shown;
    }
    return onView;
}

QString ResultLists::selectionAsText() const {
    const QList<QStringList> rows = rowsWhere(view(m_onView), [](const QTreeWidgetItem* item) {
        return item->isSelected() && !item->isHidden();
    });
    return rows.isEmpty() ? QString() : rowsAsText(m_onView, rows);
}

QByteArray ResultLists::onViewAsCsv(qsizetype* count) const {
    const QList<QStringList> rows =
        rowsWhere(view(m_onView), [](const QTreeWidgetItem* item) { return !item->isHidden(); });
    *count = rows.size();
    return rowsAsCsv(m_onView, rows);
}
