// The scrapers on pages saved from the timetable service (tests/data/pages), read as the
// page-load step leaves them: decoded from GB2312, double quotes removed.
#include "detail.h"
#include "fare.h"
#include "module1.h"
#include "queries.h"
#include "transfer.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

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
                                  << QStringList{u"K7"_s, u"K71"_s, u"K72"_s}
                                  << QStringList{u"1"_s,     u"K7"_s,   u"北京西"_s,
                                                 u"昆明"_s,  u"快速"_s, u"北京西"_s,
                                                 u"08:40"_s, u"昆明"_s, u"04:28"_s,
                                                 u"43:48"_s, u"2478"_s, u"show_train.asp?cc=K7"_s};
    QTest::newRow("between stations")
        << u"between-beijingxi-kunming.html"_s << QueryKind::Between << u""_s
        << QStringList{u"K7"_s}
        << QStringList{u"1"_s,     u"K7"_s,     u"北京西"_s, u"昆明"_s,
                       u"快速"_s,  u"北京西"_s, u"08:40"_s,  u"昆明"_s,
                       u"04:28"_s, u"2478"_s,   u"43:48"_s,  u"train.asp?cc=K7"_s};
    // The header row is dropped.
    QTest::newRow("station") << "station-huhehaote.html" << QueryKind::Station << ""
                             << QStringList{u"K1363"_s, u"K72"_s, u"K71"_s, u"K1364"_s}
                             << QStringList();
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
