#include "trainlist.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Cells {
    QString train = QStringLiteral("<b>K7</b>");
    QString link = QStringLiteral("train.asp?cc=K7");
    QString origin = QStringLiteral("北京西");
    QString terminus = QStringLiteral("拉萨");
    int alignCenterCells = 9;
};

// One row as the service writes it, double quotes already removed by the page-load step.
QString row(const QString& marker, const Cells& c = {}) {
    QString r = marker + QStringLiteral(" align=center class=bt><a href=%1 target=_blank>"
                                        "<span class=blue1>%2</span></a></td>")
                             .arg(c.link, c.train);
    if (!c.origin.isNull())
        r += QStringLiteral("<td><img src=qi.gif align=absbottom />%1</td>").arg(c.origin);
    if (!c.terminus.isNull())
        r += QStringLiteral("<td><img src=zhong.gif align=absmiddle />%1</td>").arg(c.terminus);
    r += QStringLiteral("<td class=bt>快速</td>");
    const QStringList centre{QStringLiteral("西安"),
                             QStringLiteral("<strong>08:00</strong>"),
                             QStringLiteral("3"),
                             QStringLiteral("30:10"),
                             QStringLiteral("2"),
                             QStringLiteral("拉萨"),
                             QStringLiteral("<strong>14:10</strong>"),
                             QStringLiteral("12"),
                             QStringLiteral("2815")};
    for (int i = 0; i < c.alignCenterCells; ++i)
        r += QStringLiteral("<td align=center>%1</td>").arg(centre[i]);
    return r + QStringLiteral("</tr><tr>");
}

QString page(const QString& body) {
    return QStringLiteral("<html><body><table>") + body + QStringLiteral("</table></body></html>");
}

QString stationHeader() {
    Cells header;
    header.train = QString();
    header.origin = QStringLiteral("始发站");
    header.terminus = QStringLiteral("终点站");
    QString r = row(QStringLiteral("<td width=75"), header);
    return r.replace(QStringLiteral("<span class=blue1></span>"), QStringLiteral("车次"));
}

} // namespace

class TrainListTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fillsColumnsPerList_data();
    void fillsColumnsPerList();
    void pageWithoutRowMarkerLeavesStatusAlone_data();
    void pageWithoutRowMarkerLeavesStatusAlone();
    void numbersTrainRowsAndCountsThem();
    void trainListKeepsPiecesThatAreNotTrains();
    void stationListsSkipHeaderAndIncompleteRows_data();
    void stationListsSkipHeaderAndIncompleteRows();
    void shortRowLeavesDistanceEmpty();
    void headersMatchTheirColumns();
};

void TrainListTest::fillsColumnsPerList_data() {
    QTest::addColumn<TrainList>("list");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QStringList>("expected");
    const QStringList trainRow{u"1"_s,     u"K7"_s,    u"北京西"_s, u"拉萨"_s,
                               u"快速"_s,  u"西安"_s,  u"08:00"_s,  u"拉萨"_s,
                               u"14:10"_s, u"30:10"_s, u"2815"_s,   u"show_train.asp?cc=K7"_s};
    QTest::newRow("ListView1") << TrainList::ListView1 << "<td width=75" << trainRow;
    // The train-number list's marker is the bare attribute, whatever cell carries it.
    QTest::newRow("ListView1, bare width=75") << TrainList::ListView1 << "<th width=75" << trainRow;
    for (const TrainList list : {TrainList::ListView2, TrainList::ListView3}) {
        QTest::newRow(list == TrainList::ListView2 ? "ListView2" : "ListView3")
            << list << u"<td width=75"_s
            << QStringList{u"1"_s,     u"K7"_s,   u"北京西"_s, u"拉萨"_s,
                           u"快速"_s,  u"西安"_s, u"08:00"_s,  u"拉萨"_s,
                           u"14:10"_s, u"2815"_s, u"30:10"_s,  u"train.asp?cc=K7"_s};
    }
}

void TrainListTest::fillsColumnsPerList() {
    QFETCH(TrainList, list);
    QFETCH(QString, marker);
    QFETCH(QStringList, expected);
    Cells cells;
    cells.origin = QStringLiteral("北京西-拉萨"); // only the part before "-" is the origin
    cells.train = QStringLiteral("<font color=red><b>K7</b></font>");
    const TrainListResult result = scrapeTrainList(page(row(marker, cells)), list);
    QCOMPARE(result.rows.size(), 1);
    QCOMPARE(result.rows[0], expected);
    QCOMPARE(result.status, QStringLiteral("共查询到：1"));
}

void TrainListTest::pageWithoutRowMarkerLeavesStatusAlone_data() {
    QTest::addColumn<TrainList>("list");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty page, ListView1") << TrainList::ListView1 << QString();
    QTest::newRow("error page, ListView2")
        << TrainList::ListView2 << page(QStringLiteral("不存在所查询的车次信息。"));
    // "width=75" alone is not the station lists' marker.
    QTest::newRow("bare width=75, ListView3")
        << TrainList::ListView3 << page(row(QStringLiteral("<th width=75")));
}

void TrainListTest::pageWithoutRowMarkerLeavesStatusAlone() {
    QFETCH(TrainList, list);
    QFETCH(QString, text);
    const TrainListResult result = scrapeTrainList(text, list);
    QVERIFY(result.rows.isEmpty());
    QVERIFY(!result.status);
}

void TrainListTest::numbersTrainRowsAndCountsThem() {
    const QString marker = QStringLiteral("<td width=75");
    const TrainListResult result =
        scrapeTrainList(page(row(marker) + row(marker) + row(marker)), TrainList::ListView1);
    QCOMPARE(result.rows.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(result.rows[i][0], QString::number(i + 1));
    QCOMPARE(result.status, QStringLiteral("共查询到：3"));
}

void TrainListTest::trainListKeepsPiecesThatAreNotTrains() {
    const TrainListResult result =
        scrapeTrainList(page(QStringLiteral("<td width=75>footer</td>")), TrainList::ListView1);
    QCOMPARE(result.rows.size(), 1);
    QStringList expected(12);
    expected[0] = QStringLiteral("1");
    expected[11] = QStringLiteral("show_");
    QCOMPARE(result.rows[0], expected);
}

void TrainListTest::stationListsSkipHeaderAndIncompleteRows_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("trains");
    QTest::addColumn<QString>("status");

    const QString m = QStringLiteral("<td width=75");
    auto train = [&](const QString& number) {
        Cells c;
        c.train = number;
        return c;
    };
    Cells noTerminus = train(QStringLiteral("T8"));
    noTerminus.terminus = QString();
    Cells noOrigin = train(QStringLiteral("T9"));
    noOrigin.origin = QString();
    Cells noNumber = train(QStringLiteral("<b></b>"));
    Cells originLikeHeader = train(QStringLiteral("K9"));
    originLikeHeader.origin = QStringLiteral("始发站X");

    QTest::newRow("header then two trains")
        << stationHeader() + row(m, train(u"T7"_s)) + row(m, train(u"Z19"_s))
        << QStringList{u"T7"_s, u"Z19"_s} << "共查询到：2";
    QTest::newRow("row without terminus skipped, next judged alone")
        << row(m, noTerminus) + row(m, train(u"K7"_s)) << QStringList{u"K7"_s} << u"共查询到：1"_s;
    QTest::newRow("row without origin skipped")
        << row(m, noOrigin) << QStringList{} << "共查询到：0";
    QTest::newRow("train number only markup skipped")
        << row(m, noNumber) + row(m, train(u"D1"_s)) << QStringList{u"D1"_s} << u"共查询到：1"_s;
    QTest::newRow("only the exact header origin is skipped")
        << stationHeader() + row(m, originLikeHeader) << QStringList{u"K9"_s} << u"共查询到：1"_s;
}

void TrainListTest::stationListsSkipHeaderAndIncompleteRows() {
    QFETCH(QString, body);
    QFETCH(QStringList, trains);
    QFETCH(QString, status);
    for (const TrainList list : {TrainList::ListView2, TrainList::ListView3}) {
        const TrainListResult result = scrapeTrainList(page(body), list);
        QStringList got;
        for (qsizetype i = 0; i < result.rows.size(); ++i) {
            QCOMPARE(result.rows[i][0], QString::number(i + 1));
            got << result.rows[i][1];
        }
        QCOMPARE(got, trains);
        QCOMPARE(result.status, status);
    }
}

void TrainListTest::shortRowLeavesDistanceEmpty() {
    Cells cells;
    cells.alignCenterCells = 8;
    const TrainListResult result =
        scrapeTrainList(page(row(QStringLiteral("<td width=75"), cells)), TrainList::ListView1);
    QCOMPARE(result.rows.size(), 1);
    QCOMPARE(result.rows[0][10], QString());
    QCOMPARE(result.rows[0][9], QStringLiteral("30:10"));
    QCOMPARE(result.rows[0][7], QStringLiteral("拉萨"));
}

void TrainListTest::headersMatchTheirColumns() {
    // Travelling time sits under "历时" in every list; the columns 9 and 10 swap headers.
    QCOMPARE(QString::fromUtf16(trainListColumns(TrainList::ListView1)[9].header),
             QStringLiteral("历时"));
    QCOMPARE(QString::fromUtf16(trainListColumns(TrainList::ListView2)[10].header),
             QStringLiteral("历时"));
    for (const TrainList list :
         {TrainList::ListView1, TrainList::ListView2, TrainList::ListView3}) {
        QCOMPARE(trainListColumns(list).size(), kTrainListColumns);
        QCOMPARE(trainListColumns(list)[kDetailLinkColumn].widthTwips, 0);
    }
}

QTEST_GUILESS_MAIN(TrainListTest)
#include "tst_trainlist.moc"
