// The scrapers on pages saved from the timetable service (tests/data/pages), read as the
// page-load step leaves them: decoded from GB2312, double quotes removed.
#include "detail.h"
#include "fare.h"
#include "module1.h"
#include "queries.h"
#include "transfer.h"

#include <QFile>
#include <QTest>

namespace {

QString savedPage(const QString& name) {
    QFile file(QStringLiteral(QUILLON_TEST_DATA "/pages/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing saved page %s", qPrintable(name));
    return Module1::DecodeBytes(file.readAll(), QStringLiteral("gb2312")).remove(u'"');
}

} // namespace

class SavedPagesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listPagesGiveRows_data();
    void listPagesGiveRows();
    void transferPageOffersCities();
    void framePageLeadsToStops();
    void farePageGivesHeaderAndStops();
};

void SavedPagesTest::listPagesGiveRows_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QueryKind>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("trains");
    QTest::addColumn<QStringList>("firstRow");
    QTest::newRow("train number") << "trainnumber-k7.html" << QueryKind::Train << ""
                                  << QStringList{"K7", "K71", "K72"}
                                  << QStringList{"1",     "K7",   "北京西",
                                                 "昆明",  "快速", "北京西",
                                                 "08:40", "昆明", "04:28",
                                                 "43:48", "2478", "show_train.asp?cc=K7"};
    QTest::newRow("between stations")
        << "between-beijingxi-kunming.html" << QueryKind::Between << "" << QStringList{"K7"}
        << QStringList{"1",     "K7",   "北京西", "昆明", "快速",  "北京西",
                       "08:40", "昆明", "04:28",  "2478", "43:48", "train.asp?cc=K7"};
    // The header row is dropped.
    QTest::newRow("station") << "station-huhehaote.html" << QueryKind::Station << ""
                             << QStringList{"K1363", "K72", "K71", "K1364"} << QStringList();
    QTest::newRow("unknown arrival") << "no-arrival.html" << QueryKind::Between << "到站不存在。"
                                     << QStringList() << QStringList();
}

void SavedPagesTest::listPagesGiveRows() {
    QFETCH(QString, page);
    QFETCH(QueryKind, kind);
    QFETCH(QString, message);
    QFETCH(QStringList, trains);
    QFETCH(QStringList, firstRow);
    const QString text = savedPage(page);
    const PageOutcome outcome = judgePage(kind, text);
    QCOMPARE(outcome.message, message);
    if (!message.isEmpty())
        return;
    QCOMPARE(outcome.action, PageOutcome::Scrape);
    const TrainListResult result = scrapeTrainList(text, outcome.list);
    QStringList got;
    for (const QStringList& row : result.rows)
        got << row.value(1);
    QCOMPARE(got, trains);
    QCOMPARE(result.status, rowCountStatus(trains.size()));
    if (!firstRow.isEmpty())
        QCOMPARE(result.rows.value(0), firstRow);
}

void SavedPagesTest::transferPageOffersCities() {
    const QString text = savedPage(QStringLiteral("transfer-lasa-shanghaihongqiao.html"));
    QCOMPARE(judgePage(QueryKind::Between, text).action, PageOutcome::Transfer);
    const TransferList list = scrapeTransferList(text);
    QCOMPARE(list.entries.size(), 1);
    QCOMPARE(list.entries[0].city, QStringLiteral("西宁"));
    QCOMPARE(list.entries[0].path, QStringLiteral("show_findresult.asp?CX_Type=ZZ&DZ=西宁"));
}

void SavedPagesTest::framePageLeadsToStops() {
    const QString base = QStringLiteral("http://127.0.0.1:9/");
    const DetailPageOutcome outcome =
        judgeDetailPage(base, savedPage(QStringLiteral("frame-k7.html")));
    QVERIFY(outcome.message.isEmpty());
    QCOMPARE(outcome.navigate, QByteArray("http://127.0.0.1:9/show_train.asp?cc=K7"));
}

void SavedPagesTest::farePageGivesHeaderAndStops() {
    QCOMPARE(judgeFarePage(savedPage(QStringLiteral("fare-unknown.html"))).message,
             QStringLiteral("信息目前暂不存在。"));
    const FarePageOutcome outcome = judgeFarePage(savedPage(QStringLiteral("fare-k7.html")));
    QVERIFY(outcome.message.isEmpty());
    const FareTable table = scrapeFareTable(outcome.buffer);
    QCOMPARE(table.labels.size(), kFareLabels);
    QCOMPARE(table.labels[0], QStringLiteral("K7"));
    QCOMPARE(table.labels[1], QStringLiteral("43:48"));
    QVERIFY(table.rows.size() >= 2);
    for (const QStringList& row : table.rows) {
        QCOMPARE(row.size(), kFareColumns);
        QCOMPARE(row[1], QStringLiteral("K7"));
    }
    QCOMPARE(table.rows.first()[2], QStringLiteral("北京西"));
    QCOMPARE(table.rows.last()[2], QStringLiteral("昆明"));
}

QTEST_GUILESS_MAIN(SavedPagesTest)
#include "tst_savedpages.moc"
