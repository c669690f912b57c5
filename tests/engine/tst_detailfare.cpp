#include "detail.h"
#include "fare.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kBase = QStringLiteral("http://127.0.0.1:9/");

// A fare page as the fare service writes it, quotes removed: six "</tr>" before the first
// stop, then `stops` rows, then the footer piece.
QString farePage(int stops) {
    QString page = QStringLiteral(
        "<html>详<br>细<br>情<br>况<table>"
        "<td bgcolor=#ffffff><b>K7</b></td><td bgcolor=#ffffff>30:10</td>"
        "<td bgcolor=#e2e2e2>a</td><td bgcolor=#e2e2e2>b</td><td bgcolor=#e2e2e2>单位：元</td>"
        "<td align=center>x</td><td align=center>北京西</td><td align=center>拉萨</td>"
        "<td bgcolor=#ffffff>300</td><td align=center>550</td><td align=center>21:30</td>"
        "<td align=center>14:10</td><td bgcolor=#ffffff>500/520/540</td>"
        "<td align=center>快速</td><td align=center>3757公里</td><td bgcolor=#ffffff>800/830</td>"
        "<td bgcolor=#ffffff>备\r\n注</td><td bgcolor=#ffffff>--</td><td bgcolor=#ffffff>--</td>"
        "</table></tr></tr></tr></tr></tr></tr>");
    for (int i = 0; i < stops; ++i) {
        page +=
            QStringLiteral(
                "<td height=18>K7</td><td align=center>%1</td><td align=center><a href=x>站%1</a>"
                "</td><td align=center>-</td><td align=center>08:0%1</td><td align=center>"
                "08:1%1</td><td align=center>1:00</td><td align=center>0</td><td align=center>"
                "%2</td><td align=center>20</td><td align=center>40</td><td align=center>"
                "60/62/64</td><td bgcolor=#ffffff>90/95</td><td bgcolor=#ffffff>--</td>"
                "<td bgcolor=#ffffff>--</td></tr>")
                .arg(i + 1)
                .arg((i + 1) * 100);
    }
    return page + QStringLiteral("<div align=center>footer</div>");
}

} // namespace

class DetailFareTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void detailLinkOpensDirectlyOnlyWithShow_data();
    void detailLinkOpensDirectlyOnlyWithShow();
    void detailPageLeadsToFrame_data();
    void detailPageLeadsToFrame();
    void fareAddressAndRefusal();
    void fareRowsComeFromPiecesSixToLastButOne_data();
    void fareRowsComeFromPiecesSixToLastButOne();
    void fareLabelsTakeTheirCuts();
};

void DetailFareTest::detailLinkOpensDirectlyOnlyWithShow_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("direct");
    QTest::newRow("train-number row") << "show_train.asp?cc=K7" << true;
    QTest::newRow("show_ in the middle") << "train.asp?x=show_1" << true;
    QTest::newRow("station row") << "train.asp?cc=K7" << false;
    QTest::newRow("empty link") << "" << false;
}

void DetailFareTest::detailLinkOpensDirectlyOnlyWithShow() {
    QFETCH(QString, link);
    QFETCH(bool, direct);
    QCOMPARE(opensDirectly(link), direct);
    QCOMPARE(detailAddress(kBase, link), kBase.toLatin1() + link.toLatin1());
}

void DetailFareTest::detailPageLeadsToFrame_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("navigate");

    QTest::newRow("frame between the table pictures")
        << "<iframe src=ad.asp name=x>Img/Tab_Mid.gif<iframe src=show_train.asp?cc=K7 "
           "name=detail></iframe>Img/Tab_Bottom.gif<iframe src=other name=y>"
        << ""
        << "show_train.asp?cc=K7";
    QTest::newRow("no Tab_Mid: the whole page") << "<iframe src=stops.asp name=d>"
                                                << ""
                                                << "stops.asp";
    QTest::newRow("frame without name runs to the next frame")
        << "Img/Tab_Mid.gif<iframe src=a.asp></iframe><iframe src=b>"
        << ""
        << "a.asp></iframe>";
    QTest::newRow("no frame: nothing to open") << "Img/Tab_Mid.gif<p>stops</p>"
                                               << ""
                                               << "";
    QTest::newRow("frame marker at the very end") << "x<iframe src="
                                                  << ""
                                                  << "";
    QTest::newRow("missing parameters") << "参数丢失<iframe src=a name=b>"
                                        << "参数丢失。"
                                        << "";
}

void DetailFareTest::detailPageLeadsToFrame() {
    QFETCH(QString, page);
    QFETCH(QString, message);
    QFETCH(QString, navigate);
    const DetailPageOutcome outcome = judgeDetailPage(kBase, page);
    QCOMPARE(outcome.message, message);
    QCOMPARE(outcome.navigate.has_value(), !navigate.isEmpty());
    if (outcome.navigate)
        QCOMPARE(QString::fromLatin1(*outcome.navigate), kBase + navigate);
}

void DetailFareTest::fareAddressAndRefusal() {
    QCOMPARE(fareAddress(kBase, QStringLiteral("K7")),
             QByteArray("http://127.0.0.1:9/chaxun/resultc.asp?txtcheci=K7"));
    QCOMPARE(judgeFarePage(u"x信息目前暂不存在y").message, QStringLiteral("信息目前暂不存在。"));
    QCOMPARE(judgeFarePage(u"信息目前暂不存在。").message, QStringLiteral("信息目前暂不存在。"));
    const FarePageOutcome cut =
        judgeFarePage(u"head详<br>细<br>情<br>况BODY<div align=center>foot");
    QCOMPARE(cut.message, QString());
    QCOMPARE(cut.buffer, QStringLiteral("BODY"));
    // No title: the page is kept whole, rows after a centred footer too.
    QCOMPARE(judgeFarePage(u"no title<div align=center>x</tr>y").buffer,
             QStringLiteral("no title<div align=center>x</tr>y"));
}

void DetailFareTest::fareRowsComeFromPiecesSixToLastButOne_data() {
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<int>("rows");
    QTest::newRow("7 pieces: no row") << QStringLiteral("</tr>").repeated(6) << 0;
    QTest::newRow("8 pieces: one row, from piece 6")
        << QStringLiteral("</tr>").repeated(6) + u"<td height=18>K7</td></tr>tail"_s << 1;
    QTest::newRow("empty buffer") << QString() << 0;
}

void DetailFareTest::fareRowsComeFromPiecesSixToLastButOne() {
    QFETCH(QString, buffer);
    QFETCH(int, rows);
    const FareTable table = scrapeFareTable(buffer);
    QCOMPARE(table.rows.size(), rows);
    QCOMPARE(table.labels.size(), kFareLabels);
    if (rows == 1) {
        QCOMPARE(table.rows[0].size(), kFareColumns);
        QCOMPARE(table.rows[0][0], QStringLiteral("1"));
        QCOMPARE(table.rows[0][1], QStringLiteral("K7"));
    }
}

void DetailFareTest::fareLabelsTakeTheirCuts() {
    const FareTable table = scrapeFareTable(judgeFarePage(farePage(3)).buffer);
    const QStringList labels{u"K7"_s,      u"30:10"_s,       u"单位：元"_s, u"北京西"_s,
                             u"拉萨"_s,    u"300"_s,         u"550"_s,      u"21:30"_s,
                             u"14:10"_s,   u"500/520/540"_s, u"快速"_s,     u"3757公里"_s,
                             u"800/830"_s, u"备注"_s,        u"--"_s,       u"--"_s};
    QCOMPARE(table.labels, labels);
    QCOMPARE(table.rows.size(), 3);
    // Numbered by the list, the station name without its link, fares from "#ffffff>".
    QCOMPARE(table.rows[2], (QStringList{u"3"_s, u"K7"_s, u"站3"_s, u"08:03"_s, u"08:13"_s,
                                         u"1:00"_s, u"0"_s, u"300"_s, u"20"_s, u"40"_s,
                                         u"60/62/64"_s, u"90/95"_s, u"--"_s, u"--"_s}));
}

QTEST_GUILESS_MAIN(DetailFareTest)
#include "tst_detailfare.moc"
