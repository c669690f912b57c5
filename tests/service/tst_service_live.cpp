// The live source against a replay of the railway site on 127.0.0.1: what a user would see
// for each kind of answer the site gives, good or bad.
#include "live/livesource.h"
#include "live/siteformat.h"
#include "pages.h"
#include "server.h"
#include "replaysite.h"
#include "testfiles.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

using live::LiveSource;
using Outcome = source::Between::Outcome;

class TestLive : public QObject {
    Q_OBJECT

    std::unique_ptr<ReplaySite> m_site;
    std::unique_ptr<QTemporaryDir> m_cache;

    std::unique_ptr<LiveSource> liveSource(const QString& base = QString()) {
        live::LiveOptions options;
        options.base = QUrl(base.isEmpty() ? m_site->base() : base);
        options.interval = std::chrono::milliseconds(0);
        options.cacheDir = m_cache->path();
        return std::make_unique<LiveSource>(options);
    }
    static QDate tomorrow() { return QDate::currentDate().addDays(1); }

private slots:
    void init() {
        m_site = std::make_unique<ReplaySite>();
        m_cache = std::make_unique<QTemporaryDir>();
        QVERIFY(m_cache->isValid());
    }
    void cleanup() { m_site.reset(); }

    void betweenStationsReadsTheSiteRows() {
        m_site->start();
        auto live = liveSource();
        const auto answer =
            live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QVERIFY2(!answer.failure.isFailure(), qPrintable(answer.failure.reason));
        QCOMPARE(answer.value.outcome, Outcome::Trains);
        // Rows of 49, 37 and 58 fields, by departure; the origin missing from the station
        // list is named from the answer's own map.
        QStringList shown;
        for (const TrainListRow& r : answer.value.rows)
            shown << QStringList{r.train,    r.origin,    r.terminus, r.fromStation,
                                 r.fromTime, r.toStation, r.toTime,   r.duration}
                         .join(u' ');
        QCOMPARE(shown, (QStringList{
                            u"K511 青岛北 上海 北京 06:10 上海 18:55 12:45"_s,
                            u"G103 北京南 上海虹桥 北京南 06:45 上海虹桥 11:20 04:35"_s,
                            u"G101 北京南 上海虹桥 北京南 07:00 上海虹桥 11:30 04:30"_s,
                        }));
        QCOMPARE(answer.value.rows.first().link, QStringLiteral("train.asp?cc=K511"));
        QCOMPARE(live->skippedRows(), 3 + 1); // three bad rows, one bad station entry
        // The stale path of the init page was corrected by the site's redirect answer once.
        QCOMPARE(m_site->hits(u"queryA"_s), 1);
        QCOMPARE(m_site->hits(u"queryZ"_s), 1);
        // Asked again: from the cache, nothing more goes to the site.
        const int before = live->requestCount();
        live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QCOMPARE(live->requestCount(), before);
    }

    void failuresAreToldNotShownAsNoTrains_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("redirect to the error page") << 302 << QByteArray() << "拒绝";
        QTest::newRow("html where json was expected")
            << 200 << QByteArray("<!DOCTYPE html><html><body>系统忙</body></html>") << "格式";
        QTest::newRow("data as a string")
            << 200 << QByteArray(R"({"data":"","httpstatus":200,"status":true})") << "格式";
        QTest::newRow("rows all unreadable")
            << 200 << ReplaySite::ticketAnswer({QStringLiteral("a|b|c"), QStringLiteral("x|y")}, {})
            << "2 行";
        QTest::newRow("the site declines")
            << 200
            << QByteArray(R"({"status":false,"messages":["选择的日期不在预售期内"],"data":null})")
            << "预售期";
        QTest::newRow("server fault") << 500 << QByteArray("oops") << "HTTP 500";
    }
    void failuresAreToldNotShownAsNoTrains() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, reasonPart);
        m_site->between.insert(QStringLiteral("BJQ-NNQ"), {status, body});
        m_site->start();
        auto live = liveSource();
        const auto answer =
            live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("南京南"));
        QVERIFY2(answer.failure.reason.contains(reasonPart), qPrintable(answer.failure.reason));
        QVERIFY(answer.value.rows.isEmpty());
    }

    void refusalStartsAfreshOnceThenBacksOff() {
        m_site->between.insert(QStringLiteral("BJQ-NNQ"), {302, {}});
        m_site->start();
        auto live = liveSource();
        live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("南京南"));
        QCOMPARE(m_site->hits(u"init"_s), 2); // the first visit and one new visitor
        QCOMPARE(m_site->hits(u"queryZ"_s), 2);
        // Backing off: the next question is answered at once, without asking the site.
        const int before = live->requestCount();
        const auto next =
            live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QVERIFY(next.failure.reason.contains(QStringLiteral("秒后再试")));
        QCOMPARE(live->requestCount(), before);
    }

    void noNetworkOpensTheCircuit() {
        m_site->start();
        const QString closed = m_site->base();
        m_site.reset(); // nothing listens there any more
        auto live = liveSource(closed);
        const auto first = live->trainsByNumber(tomorrow(), QStringLiteral("G101"));
        QVERIFY2(first.failure.reason.contains(QStringLiteral("无法连接")),
                 qPrintable(first.failure.reason));
        for (int i = 0; i < 3; ++i)
            live->trainsByNumber(tomorrow(), QStringLiteral("G101"));
        const int before = live->requestCount();
        const auto later = live->trainsByNumber(tomorrow(), QStringLiteral("G101"));
        QVERIFY(later.failure.reason.contains(QStringLiteral("暂停")));
        QCOMPARE(live->requestCount(), before);
    }

    void transferCitiesAndTheirLeg() {
        m_site->start();
        auto live = liveSource();
        const auto answer =
            live->trainsBetween(tomorrow(), QStringLiteral("拉萨"), QStringLiteral("三亚"));
        QCOMPARE(answer.value.outcome, Outcome::Transfer);
        QCOMPARE(answer.value.cities, (QStringList{u"西宁"_s, u"广州南"_s}));
        const auto leg =
            live->legTrains(tomorrow(), QStringLiteral("拉萨"), QStringLiteral("西宁"));
        QCOMPARE(leg.value.size(), 1);
        QCOMPARE(leg.value.first().duration, QStringLiteral("21:15"));
        QVERIFY(live->legTrains(tomorrow(), QString(), QStringLiteral("西宁")).failure.isFailure());
        // No train and no transfer: the plain "no train" outcome, nothing to excuse.
        const auto none =
            live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("长沙南"));
        QCOMPARE(none.value.outcome, Outcome::NoTrain);
        QVERIFY(!none.failure.isFailure());
        const auto unknown =
            live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("不存在"));
        QCOMPARE(unknown.value.outcome, Outcome::NoArrival);
    }

    void trainStopsAndFares_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("stops");
        QTest::addColumn<QStringList>("fareAtTerminus");
        QTest::newRow("day train")
            << "g101"
            << QStringList{u"北京南 -1 420"_s, u"济南西 510 512"_s, u"南京南 620 622"_s,
                           u"上海虹桥 690 -1"_s}
            << QStringList{u"--"_s, u"--"_s, u"--"_s, u"--"_s, u"930.0"_s, u"553.5"_s};
        QTest::newRow("night train past midnight")
            << "K511"
            << QStringList{u"青岛北 -1 1215"_s, u"济南西 1420 1432"_s, u"南京南 1750 1760"_s,
                           u"上海 1985 -1"_s}
            << QStringList{u"156.5"_s, u"--"_s, u"283.5"_s, u"441.0"_s, u"--"_s, u"--"_s};
    }
    void trainStopsAndFares() {
        QFETCH(QString, number);
        QFETCH(QStringList, stops);
        QFETCH(QStringList, fareAtTerminus);
        m_site->start();
        auto live = liveSource();
        const auto train = live->train(tomorrow(), number);
        QVERIFY2(train.value.has_value(), qPrintable(train.failure.reason));
        QStringList shown;
        for (const TrainStop& s : train.value->stops)
            shown << QStringLiteral("%1 %2 %3").arg(s.station).arg(s.arrival).arg(s.departure);
        QCOMPARE(shown, stops);
        const auto fares = live->fares(tomorrow(), number);
        QVERIFY2(fares.value.has_value(), qPrintable(fares.failure.reason));
        QCOMPARE(fares.value->cells.size(), stops.size());
        const fares::Cells& c = fares.value->cells.last();
        QCOMPARE((QStringList{c.hardSeat, c.softSeat, c.hardSleeper, c.softSleeper, c.firstClass,
                              c.secondClass}),
                 fareAtTerminus);
        QCOMPARE(live->trainsByNumber(tomorrow(), number).value.first().train, number.toUpper());
    }

    void numberQueryListsTheOthersWithoutTimes() {
        m_site->start();
        auto live = liveSource();
        const auto rows = live->trainsByNumber(tomorrow(), QStringLiteral("G101"));
        QCOMPARE(rows.value.size(), 2);
        QCOMPARE(rows.value[0].fromTime, QStringLiteral("07:00"));
        QCOMPARE(rows.value[1].train, QStringLiteral("G1011"));
        QCOMPARE(rows.value[1].fromTime, QStringLiteral("--"));
        QVERIFY(live->trainsByNumber(tomorrow(), QStringLiteral("X9")).value.isEmpty());
    }

    void honestAboutWhatItCannotAnswer() {
        m_site->start();
        auto live = liveSource();
        QVERIFY(live->trainsAtStation(tomorrow(), QStringLiteral("北京")).failure.isFailure());
        const QDate far = QDate::currentDate().addDays(LiveSource::saleDays + 5);
        const auto answer =
            live->trainsBetween(far, QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QVERIFY(answer.failure.reason.contains(far.toString(Qt::ISODate)));
        QCOMPARE(live->requestCount(), 0);
    }

    // Through the service's own pages, as the client reads them: rows, transfer, detail and
    // fare pages, and the reason line where the site gave no answer.
    void pagesOfTheService_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("shown");
        const QString day = tomorrow().toString(QStringLiteral("yyyyMMdd"));
        const QString d = QStringLiteral("/d/") + day + QStringLiteral("/");
        QTest::newRow("city to city")
            << d + u"show_findresult.asp?CX_Type=ZZ&FZ=北京&DZ=上海&CC=&CZ="_s
            << QStringList{u"K511"_s, u"G103"_s, u"G101"_s, u"青岛北"_s};
        QTest::newRow("transfer") << d + u"show_findresult.asp?CX_Type=ZZ&FZ=拉萨&DZ=三亚&CC=&CZ="_s
                                  << QStringList{pages::transferPhrase, u"西宁"_s, u"广州南"_s};
        QTest::newRow("refused")
            << d + u"show_findresult.asp?CX_Type=ZZ&FZ=北京&DZ=南京南&CC=&CZ="_s
            << QStringList{pages::noTrainPhrase, u"<p class=reason>铁路官方网站拒绝了查询"_s};
        QTest::newRow("station query")
            << d + u"show_findresult.asp?CX_Type=CZ&FZ=&DZ=&CC=&CZ=北京"_s
            << QStringList{u"<p class=reason>实时来源不提供车站查询"_s};
        QTest::newRow("detail") << d + u"show_train.asp?cc=K511"_s
                                << QStringList{u"青岛北"_s, u"20:15"_s, u"05:10"_s, u"上海"_s};
        QTest::newRow("fare") << d + u"fare/chaxun/resultc.asp?txtcheci=G101"_s
                              << QStringList{u"553.5"_s, u"930.0"_s, u"全程票价"_s, u"单位：元<"_s};
        QTest::newRow("outside the sale window")
            << u"/d/"_s + QDate::currentDate().addDays(40).toString(u"yyyyMMdd"_s) +
                   u"/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=G101"_s
            << QStringList{pages::noTrainPhrase, u"不在铁路官方网站可查询的日期内"_s};
    }
    void pagesOfTheService() {
        QFETCH(QString, path);
        QFETCH(QStringList, shown);
        m_site->between.insert(QStringLiteral("BJQ-NNQ"), {302, {}});
        m_site->start();
        TimetableServer server{std::shared_ptr<source::TimetableSource>(liveSource())};
        const int port = server.bind(QStringLiteral("127.0.0.1"), 0);
        std::thread serving([&] { server.serve(); });
        httplib::Client client("127.0.0.1", port);
        const QByteArray encoded = pages::toGb(path).toPercentEncoding("/?&=.");
        const auto res = client.Get(encoded.toStdString());
        server.stop();
        serving.join();
        QVERIFY(res);
        const QString page = pages::fromGb(QByteArray::fromStdString(res->body)).remove(u'"');
        for (const QString& text : shown)
            QVERIFY2(page.contains(text), qPrintable(text + QStringLiteral(" not in ") + page));
    }

    void stationListRefresh_data() {
        QTest::addColumn<QByteArray>("served");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty answer refused") << QByteArray("var station_names ='';") << 12;
        QTest::newRow("much shorter refused")
            << QByteArray("var station_names ='@aaq|甲|AAQ|jia|j|0|0001|甲|||';") << 12;
        QTest::newRow("html refused") << QByteArray("<html>busy</html>") << 12;
        QTest::newRow("full list taken")
            << (ReplaySite::defaultStations().replace("';", "@ccq|丙|CCQ|bing|b|13|0012|丙|||';"))
            << 13;
    }
    void stationListRefresh() {
        QFETCH(QByteArray, served);
        QFETCH(int, expected);
        // A copy from more than a week ago is due for a refresh.
        const QString file = m_cache->filePath(QStringLiteral("station_name.js"));
        QVERIFY(writeFile(file, ReplaySite::defaultStations()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addDays(-8),
                              QFileDevice::FileModificationTime));
        f.close();
        m_site->stationScript = served;
        m_site->start();
        auto live = liveSource();
        const auto list = live->stations(tomorrow());
        QVERIFY(!list.failure.isFailure());
        QCOMPARE(int(list.value.size()), expected);
        QCOMPARE(m_site->hits(u"stations"_s), 1);
        QCOMPARE(readAll(file) == served, expected == 13);
        // A refused refresh is not tried again at once; a fresh copy on disk is used as it is.
        live->stations(tomorrow());
        QCOMPARE(m_site->hits(u"stations"_s), 1);
        auto again = liveSource();
        again->stations(tomorrow());
        QCOMPARE(m_site->hits(u"stations"_s), expected == 13 ? 1 : 2);
    }
};

QTEST_GUILESS_MAIN(TestLive)
#include "tst_service_live.moc"
