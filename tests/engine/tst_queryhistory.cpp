#include "queryhistory.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class QueryHistoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keepsTenDistinctNewestFirst();
    void survivesARestartInTheConfigFolder();
    void letterCaseMakesNoNewEntry();
    void keepsOnlyQueriesThatFoundSomething_data();
    void keepsOnlyQueriesThatFoundSomething();
};

void QueryHistoryTest::letterCaseMakesNoNewEntry() {
    QTemporaryDir dir;
    QueryHistory history(dir.filePath(QStringLiteral("history.ini")));
    history.add(QueryKind::Train, {QStringLiteral("K7")});
    history.add(QueryKind::Train, {QStringLiteral("T8")});
    history.add(QueryKind::Train, {QStringLiteral("k7")});
    QCOMPARE(history.entries(QueryKind::Train), (QList<QStringList>{{u"k7"_s}, {u"T8"_s}}));
}

void QueryHistoryTest::keepsOnlyQueriesThatFoundSomething_data() {
    QTest::addColumn<bool>("rows");      // one row found
    QTest::addColumn<bool>("transfers"); // one transfer city offered
    QTest::addColumn<bool>("message");
    QTest::addColumn<bool>("error");
    QTest::addColumn<bool>("kept");
    QTest::newRow("rows") << true << false << false << false << true;
    QTest::newRow("transfer cities") << false << true << false << false << true;
    QTest::newRow("an empty list") << false << false << false << false << false;
    QTest::newRow("the service's message") << false << false << true << false << false;
    QTest::newRow("a failed fetch") << false << false << false << true << false;
}

void QueryHistoryTest::keepsOnlyQueriesThatFoundSomething() {
    QFETCH(bool, rows);
    QFETCH(bool, transfers);
    QFETCH(bool, message);
    QFETCH(bool, error);
    QueryReport report;
    report.rows = rows ? QList<QStringList>{{QStringLiteral("1"), QStringLiteral("K7")}}
                       : QList<QStringList>{};
    if (transfers)
        report.transfers = QList<TransferEntry>{TransferEntry{}};
    if (message)
        report.message = QStringLiteral("不存在所查询的车次信息。");
    if (error)
        report.error = QStringLiteral("Connection refused");
    QTEST(isWorthKeeping(report), "kept");
}

void QueryHistoryTest::keepsTenDistinctNewestFirst() {
    QTemporaryDir dir;
    QueryHistory history(dir.filePath(QStringLiteral("history.ini")));
    for (int i = 0; i < 12; ++i)
        history.add(QueryKind::Train, {QStringLiteral("K%1").arg(i)});
    history.add(QueryKind::Train, {QStringLiteral("K5")}); // again: moves to the front
    history.add(QueryKind::Train, {QString()});
    history.add(QueryKind::Between, {QStringLiteral("西安"), QStringLiteral("北京北")});
    history.add(QueryKind::Between, {QStringLiteral("西安")}); // not a pair: not kept

    const QList<QStringList> trains = history.entries(QueryKind::Train);
    QCOMPARE(trains.size(), 10);
    QCOMPARE(trains[0], QStringList{u"K5"_s});
    QCOMPARE(trains[1], QStringList{u"K11"_s});
    QCOMPARE(trains.count(QStringList{u"K5"_s}), 1);
    QVERIFY(!trains.contains(QStringList{u"K1"_s})); // the oldest went
    QCOMPARE(history.entries(QueryKind::Between),
             (QList<QStringList>{{QStringLiteral("西安"), QStringLiteral("北京北")}}));
    QVERIFY(history.entries(QueryKind::Station).isEmpty());
}

void QueryHistoryTest::survivesARestartInTheConfigFolder() {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("quillon"));
    const QString file = QueryHistory::defaultFile();
    QVERIFY(file.startsWith(config.path()));
    QVERIFY(!file.contains(QStringLiteral("system.ini")));
    QueryHistory().add(QueryKind::Station, {QStringLiteral("西安")});
    // A new store reads what the last run wrote.
    QCOMPARE(QueryHistory().entries(QueryKind::Station), QList<QStringList>{{u"西安"_s}});
    qunsetenv("XDG_CONFIG_HOME");
}

QTEST_GUILESS_MAIN(QueryHistoryTest)
#include "tst_queryhistory.moc"
