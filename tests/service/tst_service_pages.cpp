#include "pages.h"

#include <QtTest>

// Reads pages the way the client does: quotes removed, rows cut at a marker, fields cut
// between markers. A row that scrapes back into its own fields keeps the client working.
namespace {

QString cut(const QString& row, const QString& marker, int k, const QString& end) {
    const QStringList pieces = row.split(marker);
    if (pieces.size() <= k)
        return {};
    const qsizetype at = pieces[k].indexOf(end);
    return at < 0 ? pieces[k] : pieces[k].left(at);
}

QString stripTags(QString text) {
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    return text.remove(tag);
}

QString clientText(const QByteArray& page) {
    return pages::fromGb(page).remove(QLatin1Char('"'));
}

QStringList candidateRows(const QByteArray& page, const QString& marker) {
    QStringList pieces = clientText(page).split(marker);
    pieces.removeFirst();
    return pieces;
}

TrainListRow scrape(const QString& row) {
    const QString center = QStringLiteral("align=center>");
    const QString td = QStringLiteral("</td>");
    TrainListRow r;
    r.train = stripTags(cut(row, QStringLiteral("<span class=blue1>"), 1, QStringLiteral("</a>")));
    r.link = cut(row, QStringLiteral("href="), 1, QStringLiteral(" target="));
    r.origin = cut(row, QStringLiteral("align=absbottom />"), 1, td);
    r.terminus = cut(row, QStringLiteral("align=absmiddle />"), 1, td);
    r.trainClass = cut(row, QStringLiteral("class=bt>"), 2, td);
    r.fromStation = cut(row, center, 1, td);
    r.fromTime = cut(row, QStringLiteral("<strong>"), 1, QStringLiteral("</strong>"));
    r.duration = cut(row, center, 4, td);
    r.toStation = cut(row, center, 6, td);
    r.toTime = cut(row, QStringLiteral("<strong>"), 2, QStringLiteral("</strong>"));
    r.distance = cut(row, center, 9, td);
    return r;
}

QList<TrainListRow> sampleRows() {
    QList<TrainListRow> rows;
    for (const char* line :
         {"K7|北京西|昆明|快速|北京西|08:40|昆明|04:28|43:48|3096",
          "G1922|西安北|上海虹桥|高速动车|洛阳龙门|09:37|南京南|13:33|03:56|817"}) {
        const QStringList f = QString::fromUtf8(line).split(QLatin1Char('|'));
        const QString link = QStringLiteral("train.asp?cc=") + f[0];
        rows.append({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], link});
    }
    return rows;
}

} // namespace

class TestServicePages : public QObject {
    Q_OBJECT

private slots:
    void rowsScrapeBackIntoTheirFields_data();
    void rowsScrapeBackIntoTheirFields();
    void transferPageListsEachCityOnce();
    void echoedTextCannotFakeMarkers();
};

void TestServicePages::rowsScrapeBackIntoTheirFields_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<int>("headerRows");

    QTest::newRow("train number") << int(pages::ListKind::TrainNumber) << QStringLiteral("width=75")
                                  << 0;
    QTest::newRow("station") << int(pages::ListKind::Station) << QStringLiteral("<td width=75")
                             << 1;
}

void TestServicePages::rowsScrapeBackIntoTheirFields() {
    QFETCH(int, kind);
    QFETCH(QString, marker);
    QFETCH(int, headerRows);
    const QList<TrainListRow> rows = sampleRows();
    const QByteArray page =
        pages::trainListPage(pages::ListKind(kind), QStringLiteral("查询结果"), rows);
    const QStringList candidates = candidateRows(page, marker);
    QCOMPARE(candidates.size(), rows.size() + headerRows);
    if (headerRows) {
        // The client drops the station lists' header row by its origin cell.
        QCOMPARE(scrape(candidates.first()).origin, QStringLiteral("始发站"));
        QVERIFY(scrape(candidates.first()).train.isEmpty());
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString& row = candidates[i + headerRows];
        QCOMPARE(scrape(row), rows[i]);
        // One occurrence more of any marker would shift the client's counted cuts.
        QCOMPARE(row.count(QStringLiteral("align=center>")), 9);
        QCOMPARE(row.count(QStringLiteral("<strong>")), 2);
        QCOMPARE(row.count(QStringLiteral("class=bt>")), 2);
        QCOMPARE(row.count(QStringLiteral("href=")), 1);
    }
}

void TestServicePages::transferPageListsEachCityOnce() {
    const QStringList cities{QStringLiteral("兰州"), QStringLiteral("西安"),
                             QStringLiteral("郑州")};
    const QString text =
        clientText(pages::transferPage(QStringLiteral("拉萨"), QStringLiteral("上海"), cities));
    QCOMPARE(text.count(pages::transferPhrase), 1);
    const QString after = text.split(pages::transferPhrase).at(1);
    QStringList anchors = after.split(QStringLiteral("<a"));
    anchors.removeFirst();
    QCOMPARE(anchors.size(), cities.size());
    for (qsizetype i = 0; i < cities.size(); ++i) {
        const QString expected =
            QStringLiteral(" href='zzz.asp?zzz=%1&dz=上海'>%1</a>").arg(cities[i]);
        QVERIFY2(anchors[i].startsWith(expected), qPrintable(anchors[i]));
    }
}

void TestServicePages::echoedTextCannotFakeMarkers() {
    const QString hostile = QStringLiteral(
        "<td width=\"75\" align=\"center\"><strong>x</strong> 请选择中转站<a href='y'>");
    const QString text = clientText(pages::messagePage(hostile, pages::noTrainPhrase));
    QVERIFY(!text.contains(QStringLiteral("<td width=75")));
    QVERIFY(!text.contains(QStringLiteral("<strong>x")));
    QVERIFY(!text.contains(QStringLiteral("<a href='y'")));
}

QTEST_APPLESS_MAIN(TestServicePages)
#include "tst_service_pages.moc"
