#include "trainlist.h"

#include "markers.h"
#include "module1.h"

#include "contract/pagecontract.h"

namespace {

// The points in which the three list scrapers differ; everything else is shared.
struct ListRules {
    markers::Marker rowMarker;
    bool filterRows;   // station lists drop their header row and incomplete rows
    int column9Piece;  // piece of "align=center>" for column 9; 0 leaves it empty
    int column10Piece; // piece of "align=center>" for column 10
    QStringView linkPrefix;
};

const ListRules& rulesFor(TrainList list) {
    static const ListRules trainRules{markers::Marker(contract::rows::trainRow), false, 4, 9,
                                      contract::displayPage};
    static const ListRules stationRules{markers::Marker(contract::rows::stationRow), true, 0, 4,
                                        u""};
    return list == TrainList::ListView1 ? trainRules : stationRules;
}

constexpr QStringView kCellEnd = u"</td>";

// The markers every row is cut at, prepared once.
struct RowMarkers {
    markers::Marker train{contract::rows::number};
    markers::Marker link{u"href="};
    markers::Marker origin{contract::rows::origin};
    markers::Marker terminus{contract::rows::terminus};
    markers::Marker trainClass{contract::rows::trainClass};
    markers::Marker centred{contract::rows::centred};
    markers::Marker strong{contract::rows::time};
};

const RowMarkers& rowMarkers() {
    static const RowMarkers instance;
    return instance;
}

QString trainField(QStringView row) {
    QString train = markers::cut(row, rowMarkers().train, 1, u"</a>").toString();
    Module1::StripTags(train);
    return train;
}

} // namespace

const QList<ListColumn>& trainListColumns(TrainList list) {
    static const QList<ListColumn> trainColumns{
        {u"序号", 540},      {u"车次", 1240},  {u"始发站", 1440}, {u"终点站", 1440},
        {u"列车类型", 1200}, {u"发 站", 1200}, {u"发时", 1000},   {u"到 站", 1200},
        {u"到时", 1040},     {u"历时", 800},   {u"里程", 1040},   {u"明细", 0},
    };
    static const QList<ListColumn> stationColumns{
        {u"序号", 540},      {u"车次", 1340}, {u"始发站点", 1440}, {u"终点站", 1440},
        {u"列车类型", 1440}, {u"发站", 1440}, {u"发车时间", 1000}, {u"到站", 1340},
        {u"到站时间", 1000}, {u"里程", 600},  {u"历时", 1000},     {u"明细", 0},
    };
    return list == TrainList::ListView1 ? trainColumns : stationColumns;
}

QString rowCountStatus(qsizetype rows) {
    return QStringLiteral("共查询到：") + QString::number(rows);
}

TrainListResult scrapeTrainList(QStringView page, TrainList list) {
    const ListRules& rules = rulesFor(list);
    TrainListResult result;

    const RowMarkers& m = rowMarkers();
    qsizetype at = rules.rowMarker.indexIn(page);
    if (at < 0)
        return result; // no candidate row: the status panel keeps its text

    while (at >= 0) {
        const qsizetype start = at + rules.rowMarker.size();
        const qsizetype next = rules.rowMarker.indexIn(page, start);
        const QStringView row = page.mid(start, (next < 0 ? page.size() : next) - start);
        at = next;

        const QString train = trainField(row);
        const QStringView link = markers::cut(row, m.link, 1, u" target=");
        const QStringView origin = markers::cut(row, m.origin, 1, kCellEnd);
        const QStringView terminus = markers::cut(row, m.terminus, 1, kCellEnd);

        if (rules.filterRows && (train.isEmpty() || terminus.isEmpty() || origin.isEmpty() ||
                                 origin == contract::rows::headerOrigin))
            continue;

        const markers::Pieces centred(row, m.centred);
        const markers::Pieces strong(row, m.strong);
        QStringList cells;
        cells.reserve(kTrainListColumns);
        cells << QString::number(result.rows.size() + 1) << train
              << markers::upTo(origin, u"-").toString() << terminus.toString()
              << markers::cut(row, m.trainClass, 2, kCellEnd).toString()
              << centred.cut(1, kCellEnd).toString() << strong.cut(1, u"</strong>").toString()
              << centred.cut(6, kCellEnd).toString() << strong.cut(2, u"</strong>").toString()
              << (rules.column9Piece ? centred.cut(rules.column9Piece, kCellEnd).toString()
                                     : QString())
              << centred.cut(rules.column10Piece, kCellEnd).toString()
              << (rules.linkPrefix.toString() += link);
        result.rows.append(std::move(cells));
    }
    // The panel is rewritten after every candidate row, so its last text is the final count.
    result.status = rowCountStatus(result.rows.size());
    return result;
}
