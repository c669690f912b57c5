#include "fare.h"

#include "address.h"
#include "markers.h"
#include "module1.h"

#include "contract/pagecontract.h"

namespace {

// One header value: piece `piece` of the header text at `marker`, up to the cell's end.
struct LabelCut {
    const char16_t* marker;
    int piece;
};

constexpr LabelCut kLabelCuts[kFareLabels] = {
    {u"#ffffff>", 1}, {u"#ffffff>", 2}, {u"#e2e2e2>", 3}, {u"center>", 2},
    {u"center>", 3},  {u"#ffffff>", 3}, {u"center>", 4},  {u"center>", 5},
    {u"center>", 6},  {u"#ffffff>", 4}, {u"center>", 7},  {u"center>", 8},
    {u"#ffffff>", 5}, {u"#ffffff>", 6}, {u"#ffffff>", 7}, {u"#ffffff>", 8},
};

constexpr QStringView kCellEnd = u"</td>";
constexpr QStringView kAlignCenter = contract::rows::centred;

QString stripped(QStringView text) {
    QString s = text.toString();
    Module1::StripTags(s);
    return s;
}

} // namespace

QByteArray fareAddress(const QString& fareBase, const QString& trainNumber) {
    return encodeRelativePath(fareBase) + contract::fareQuery + encodeFieldText(trainNumber);
}

FarePageOutcome judgeFarePage(QStringView buffer) {
    if (markers::contains(buffer, contract::noFare.chopped(1)))
        return {kNoFareMessage.toString(), buffer.toString()};
    // Without the title the cut fails as a whole and the page is kept entire: a footer's
    // "<div align=center>" must not drop the rows after it.
    const auto details = markers::piece(buffer, contract::train::fareTitle, 1);
    if (!details)
        return {{}, buffer.toString()};
    return {{}, markers::upTo(*details, contract::train::fareEnd).toString()};
}

FareTable scrapeFareTable(QStringView buffer) {
    FareTable table;
    const QStringView header = markers::upTo(buffer, u"</table>");
    for (const LabelCut& c : kLabelCuts)
        table.labels << markers::cut(header, c.marker, c.piece, kCellEnd).toString();
    Module1::StripTags(table.labels[0]);
    table.labels[13].remove(QStringLiteral("\r\n"));

    // Pieces 6 to the last but one of the split at "</tr>" are the stops.
    const QList<QStringView> pieces = buffer.split(u"</tr>");
    for (qsizetype r = 6; r < pieces.size() - 1; ++r) {
        const QStringView row = pieces[r];
        QStringList cells{QString::number(table.rows.size() + 1),
                          markers::cut(row, contract::train::stopNumber, 1, kCellEnd).toString(),
                          stripped(markers::cut(row, kAlignCenter, 2, kCellEnd))};
        for (int k = 4; k <= 11; ++k)
            cells << markers::cut(row, kAlignCenter, k, kCellEnd).toString();
        for (int k = 1; k <= 3; ++k)
            cells << markers::cut(row, u"#ffffff>", k, kCellEnd).toString();
        table.rows << cells;
    }
    return table;
}

const QStringList& fareColumnHeaders() {
    static const QStringList headers{
        QStringLiteral("站序"),     QStringLiteral("车次"),         QStringLiteral("站名"),
        QStringLiteral("到达时间"), QStringLiteral("开车时间"),     QStringLiteral("运行时间"),
        QStringLiteral("天数"),     QStringLiteral("里程"),         QStringLiteral("硬座价"),
        QStringLiteral("软座价"),   QStringLiteral("硬卧上/中/下"), QStringLiteral("软卧上/下"),
        QStringLiteral("一等座"),   QStringLiteral("二等座")};
    return headers;
}
