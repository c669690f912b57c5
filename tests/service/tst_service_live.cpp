// The live source against a replay of the railway site on 127.0.0.1: what a user would see
// for each kind of answer the site gives, good or bad.
#include "live/livesource.h"
#include "live/siteformat.h"
#include "pages.h"
#include "server.h"
#include "replaysite.h"
#include "testfiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
        QCOMPARE(m_site->hits(u"wrongPath"_s), 1);
        QCOMPARE(m_site->hits(u"queryZ"_s), 1);
        // Asked again: from the cache, nothing more goes to the site.
        const int before = live->requestCount();
        live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QCOMPARE(live->requestCount(), before);
    }

    // The shapes the site's between-stations answers have come in, made up here: what is read.
    void ticketAnswerShapes_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("read"); // "CODE FROM-TO DEP ARR DURATION NO SEATS"
        QTest::addColumn<QString>("redirect");
        const QString row49 = ReplaySite::row(u"G7"_s, u"BNQ"_s, u"SQQ"_s, u"BNQ"_s, u"SQQ"_s,
                                              u"07:05"_s, u"11:40"_s, u"04:35"_s, 49);
        const QStringList g7{u"G7 BNQ-SQQ 07:05 11:40 04:35 5a000G701 OM9"_s};
        QTest::newRow("49 fields, encoded secret")
            << ReplaySite::ticketAnswer({row49}, {}) << g7 << QString();
        QString broken = ReplaySite::row(u"G7"_s, u"BNQ"_s, u"SQQ"_s, u"BNQ"_s, u"SQQ"_s,
                                         u"07:05"_s, u"11:40"_s, u"04:35"_s, 58);
        broken.replace(QStringLiteral("c2VjcmV0%0A"), QStringLiteral("c2Vj\ncmV0+/=\n"));
        QTest::newRow("58 fields, decoded secret with line breaks")
            << ReplaySite::ticketAnswer({broken}, {}) << g7 << QString();
        QTest::newRow("row encoded whole")
            << ReplaySite::ticketAnswer({QString::fromLatin1(row49.toUtf8().toPercentEncoding())},
                                        {})
            << g7 << QString();
        QTest::newRow("pretty-printed")
            << QJsonDocument::fromJson(ReplaySite::ticketAnswer({row49}, {}))
                   .toJson(QJsonDocument::Indented)
            << g7 << QString();
        const QByteArray named = R"({"validateMessagesShowId":"_validatorMessage","status":true,
            "data":[{"queryLeftNewDTO":{"train_no":"5a0000K7070A","station_train_code":"K707",
            "start_station_telecode":"AAQ","start_station_name":"甲","end_station_telecode":"BBQ",
            "from_station_telecode":"AAQ","to_station_telecode":"BBQ","start_time":"21:07",
            "arrive_time":"06:30","lishi":"33:23","start_train_date":"20160101",
            "from_station_no":"01","to_station_no":"09","seat_types":"1413","yz_num":"有"},
            "secretStr":"MjAx%3D","buttonTextInfo":"预订"},
            {"queryLeftNewDTO":{"station_train_code":"K709","start_time":"9:00"}}],
            "messages":[],"validateMessages":{}})";
        QTest::newRow("named fields before the pipe rows")
            << named << QStringList{u"K707 AAQ-BBQ 21:07 06:30 33:23 5a0000K7070A 1413"_s}
            << QString();
        for (const char* body :
             {R"({"status":false,"c_url":"leftTicket/queryT","c_name":"CLeftTicketUrl"})",
              R"({"c_url":"leftTicket/queryT","c_name":"CLeftTicketUrl","status":false})",
              R"({"c_url":"leftTicket/queryT"})", R"({"c_url":"/otn/leftTicket/queryT"})"})
            QTest::newRow(body) << QByteArray(body) << QStringList() << "leftTicket/queryT";
    }
    void ticketAnswerShapes() {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, read);
        QFETCH(QString, redirect);
        const live::site::TicketAnswer answer = live::site::parseTicketAnswer(body);
        QCOMPARE(answer.fault, live::site::Fault::None);
        QCOMPARE(answer.redirectPath, redirect);
        QStringList got;
        for (const live::site::TicketRow& r : answer.rows)
            got << QStringLiteral("%1 %2-%3 %4 %5 %6 %7 %8")
                       .arg(r.code, r.fromCode, r.toCode, r.departure, r.arrival, r.duration,
                            r.trainNo, r.seatTypes);
        QCOMPARE(got, read);
        if (body.contains("K709")) {
            QCOMPARE(answer.skipped, 1);
            QCOMPARE(answer.names.value(QStringLiteral("AAQ")), QStringLiteral("甲"));
        }
    }

    // Stop lists of both interfaces, fares and the init pages' paths, in the site's shapes.
    void otherAnswerShapes() {
        using namespace live::site;
        const QByteArray byEnds = R"({
            "validateMessagesShowId" : "_validatorMessage", "status" : true,
            "data" : { "data" : [
                { "start_station_name" : "甲", "arrive_time" : "----", "station_name" : "甲",
                  "train_class_name" : "快速", "start_time" : "21:07", "stopover_time" : "----",
                  "station_no" : "01", "isEnabled" : true },
                { "arrive_time" : "23:50", "station_name" : "乙", "start_time" : "23:52",
                  "stopover_time" : "2分钟", "station_no" : "02", "isEnabled" : true },
                { "arrive_time" : "06:30", "station_name" : "丙", "start_time" : "06:30",
                  "stopover_time" : "----", "station_no" : "03", "isEnabled" : true } ] } })";
        const QByteArray bare =
            R"({"data":[{"arrive_day_str":"当日到达","station_name":"甲","arrive_time":"----",
            "arrive_day_diff":"0","start_time":"21:07","station_no":"01","running_time":"00:00"},
            {"arrive_day_str":"次日到达","station_name":"丙","arrive_time":"06:30","OT":[],
            "arrive_day_diff":"1","start_time":"06:30","station_no":"02","running_time":"09:23"}]})";
        auto shown = [](const StopAnswer& a) {
            QStringList out;
            for (const StopRow& s : a.stops)
                out << QStringLiteral("%1 %2 %3 %4")
                           .arg(s.station, s.arrival, s.departure)
                           .arg(s.dayOffset);
            return out;
        };
        const StopAnswer first = parseStopList(byEnds);
        QCOMPARE(first.trainClass, QStringLiteral("快速"));
        QCOMPARE(shown(first),
                 (QStringList{u"甲  21:07 -1"_s, u"乙 23:50 23:52 -1"_s, u"丙 06:30 06:30 -1"_s}));
        QCOMPARE(shown(parseStopList(bare)),
                 (QStringList{u"甲  21:07 0"_s, u"丙 06:30 06:30 1"_s}));

        const FareAnswer fares = parseFares(R"({"status":true,"data":{"9":"12340","OT":[],
            "WZ":"¥61.5","M":"¥98.0","A9":"¥123.4","O":"¥61.5","train_no":"5a000G701"},
            "messages":[],"validateMessages":{}})");
        QCOMPARE(fares.fault, Fault::None);
        QCOMPARE(fares.yuan, (QHash<QString, QString>{{u"O"_s, u"61.5"_s},
                                                      {u"M"_s, u"98.0"_s},
                                                      {u"A9"_s, u"123.4"_s},
                                                      {u"WZ"_s, u"61.5"_s}}));

        QCOMPARE(leftTicketPathIn("var CLeftTicketUrl = null;\n var isTestFlow = null;"),
                 QString());
        QCOMPARE(leftTicketPathIn("var CLeftTicketUrl = 'leftTicket/queryG';"),
                 QStringLiteral("leftTicket/queryG"));
        QCOMPARE(leftTicketPathIn(
                     "var ctx =\\'/otn/\\';\\n var CLeftTicketUrl = \\'leftTicket/queryU\\';"),
                 QStringLiteral("leftTicket/queryU"));
        QCOMPARE(transferPathIn("var lc_search_url = '/lcquery/queryG';"),
                 QStringLiteral("/lcquery/queryG"));
        QCOMPARE(
            transferUrl(QStringLiteral("/lcquery/queryG"), QDate(2030, 1, 1), u"AAQ"_s, u"BBQ"_s)
                .path(),
            QStringLiteral("/lcquery/queryG"));
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
            << u"g101"_s
            << QStringList{u"北京南 -1 420"_s, u"济南西 510 512"_s, u"南京南 620 622"_s,
                           u"上海虹桥 690 -1"_s}
            << QStringList{u"--"_s, u"--"_s, u"--"_s, u"--"_s, u"930.0"_s, u"553.5"_s};
        QTest::newRow("night train past midnight")
            << u"K511"_s
            << QStringList{u"青岛北 -1 1215"_s, u"北京 1780 1810"_s, u"南京南 2290 2300"_s,
                           u"上海 2575 -1"_s}
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

    // A train of the list that left its origin the day before is filed by the site under
    // that day: its stops and fares are asked for it, the list's day stays the user's.
    void trainOfTheListIsAskedByItsStartDay() {
        QStringList f =
            ReplaySite::row(QStringLiteral("G101"), QStringLiteral("BNQ"), QStringLiteral("SQQ"),
                            QStringLiteral("BNQ"), QStringLiteral("NNQ"), QStringLiteral("07:00"),
                            QStringLiteral("10:05"), QStringLiteral("03:05"))
                .split(u'|');
        f[13] = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        m_site->between.insert(QStringLiteral("BNQ-NNQ"),
                               {200, ReplaySite::ticketAnswer({f.join(u'|')}, {})});
        m_site->start();
        auto live = liveSource();
        QCOMPARE(live->trainsBetween(tomorrow(), QStringLiteral("北京南"), QStringLiteral("南京南"))
                     .value.rows.size(),
                 1);
        QVERIFY(live->train(tomorrow(), QStringLiteral("G101")).value.has_value());
        QVERIFY(live->fares(tomorrow(), QStringLiteral("G101")).value.has_value());
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(m_site->lastDate(QStringLiteral("stops")), today);
        QCOMPARE(m_site->lastDate(QStringLiteral("price")), today);
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
        // A day outside the sale window still goes to the site; only its empty answer is
        // put down to the window.
        const QDate far = QDate::currentDate().addDays(LiveSource::saleDays + 5);
        const auto answer =
            live->trainsBetween(far, QStringLiteral("北京"), QStringLiteral("长沙南"));
        QVERIFY(answer.failure.reason.contains(far.toString(Qt::ISODate)));
        QVERIFY(live->requestCount() > 0);
        const auto shown =
            live->trainsBetween(far, QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QVERIFY2(!shown.failure.isFailure(), qPrintable(shown.failure.reason));
        QCOMPARE(shown.value.rows.size(), 3);
    }

    // An answer for a day long past, as recorded answers are: the rows, then each row's stops
    // and fares from what its row names, with no train search.
    void pastDayRowsOpenTheirTrains() {
        const QJsonObject named{{u"train_no"_s, u"5a000G10101"_s},
                                {u"station_train_code"_s, u"G101"_s},
                                {u"start_station_telecode"_s, u"BNQ"_s},
                                {u"start_station_name"_s, u"北京南"_s},
                                {u"end_station_telecode"_s, u"XHQ"_s},
                                {u"end_station_name"_s, u"徐州东"_s},
                                {u"from_station_telecode"_s, u"BNQ"_s},
                                {u"to_station_telecode"_s, u"JXQ"_s},
                                {u"start_time"_s, u"07:00"_s},
                                {u"arrive_time"_s, u"08:30"_s},
                                {u"lishi"_s, u"01:30"_s},
                                {u"start_train_date"_s, u"20221028"_s},
                                {u"from_station_no"_s, u"01"_s},
                                {u"to_station_no"_s, u"02"_s},
                                {u"seat_types"_s, u"OM9"_s}};
        const QJsonObject answer{
            {u"status"_s, true},
            {u"data"_s, QJsonArray{QJsonObject{{u"queryLeftNewDTO"_s, named},
                                               {u"secretStr"_s, u"eA%3D%3D"_s}}}}};
        m_site->between.insert(QStringLiteral("BJQ-JXQ"),
                               {200, QJsonDocument(answer).toJson(QJsonDocument::Indented)});
        m_site->between.insert(QStringLiteral("BJQ-NNQ"), {302, {}});
        m_site->start();
        auto live = liveSource();
        const QDate day(2022, 10, 28);
        const auto rows =
            live->trainsBetween(day, QStringLiteral("北京"), QStringLiteral("济南西"));
        QVERIFY2(!rows.failure.isFailure(), qPrintable(rows.failure.reason));
        QCOMPARE(rows.value.rows.size(), 1);
        QCOMPARE(rows.value.rows[0].terminus, QStringLiteral("徐州东")); // named by the answer
        const auto train = live->train(day, QStringLiteral("G101"));
        QVERIFY2(train.value.has_value(), qPrintable(train.failure.reason));
        QCOMPARE(train.value->stops.size(), 4);
        const auto fares = live->fares(day, QStringLiteral("G101"));
        QVERIFY2(fares.value.has_value(), qPrintable(fares.failure.reason));
        QCOMPARE(fares.value->cells.last().secondClass, QStringLiteral("553.5"));
        QCOMPARE(m_site->hits(u"search"_s), 0);
        const auto byNumber = live->trainsByNumber(day, QStringLiteral("g101"));
        QVERIFY(!byNumber.value.isEmpty());
        QCOMPARE(byNumber.value.first().fromTime, QStringLiteral("07:00"));
        // A past day the site has nothing for: its answer, and why that may be.
        const auto none =
            live->trainsBetween(day, QStringLiteral("北京"), QStringLiteral("长沙南"));
        QVERIFY(none.failure.reason.contains(QStringLiteral("2022-10-28 不在")));
        // The site turns such a day away as it turns away a distrusted visitor: told, but
        // neither a new visit nor a pause for the days it does sell.
        const auto turnedAway =
            live->trainsBetween(day, QStringLiteral("北京"), QStringLiteral("南京南"));
        QVERIFY2(turnedAway.failure.reason.contains(QStringLiteral("没有答复这一天")) &&
                     turnedAway.failure.reason.contains(QStringLiteral("2022-10-28 不在")),
                 qPrintable(turnedAway.failure.reason));
        QCOMPARE(m_site->hits(u"init"_s), 1);
        const auto sold =
            live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QVERIFY2(!sold.failure.isFailure(), qPrintable(sold.failure.reason));
    }

    // The init page's path, or none; the site's wrong-path answer with or without a redirect
    // status: the rows are found either way.
    void wrongPathIsFollowed_data() {
        QTest::addColumn<QByteArray>("initPage");
        QTest::addColumn<int>("status");
        QTest::newRow("named path, plain answer") << QByteArray() << 200;
        QTest::newRow("named path, redirect status") << QByteArray() << 302;
        QTest::newRow("no path named")
            << QByteArray("<script>var ctx ='/otn/';\n var CLeftTicketUrl = null;</script>") << 302;
    }
    void wrongPathIsFollowed() {
        QFETCH(QByteArray, initPage);
        QFETCH(int, status);
        if (!initPage.isEmpty())
            m_site->initPage = initPage;
        m_site->wrongPathStatus = status;
        m_site->start();
        auto live = liveSource();
        const auto answer =
            live->trainsBetween(tomorrow(), QStringLiteral("北京"), QStringLiteral("上海虹桥"));
        QVERIFY2(!answer.failure.isFailure(), qPrintable(answer.failure.reason));
        QCOMPARE(answer.value.rows.size(), 3);
        QCOMPARE(m_site->hits(u"wrongPath"_s), 1);
        QCOMPARE(m_site->hits(u"queryZ"_s), 1);
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
                                << QStringList{u"青岛北"_s, u"20:15"_s, u"05:40"_s, u"上海"_s,
                                               u"<td>--</td>"_s};
        QTest::newRow("fare") << d + u"fare/chaxun/resultc.asp?txtcheci=G101"_s
                              << QStringList{u"553.5"_s, u"930.0"_s, u"全程票价"_s, u"单位：元<"_s};
        QTest::newRow("outside the sale window, nothing found")
            << u"/d/"_s + QDate::currentDate().addDays(40).toString(QStringLiteral("yyyyMMdd")) +
                   u"/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=X9"_s
            << QStringList{pages::noTrainPhrase, u"不在铁路官方网站可查询的日期内"_s};
        QTest::newRow("outside the sale window, answered")
            << u"/d/20221028/show_findresult.asp?CX_Type=ZZ&FZ=北京&DZ=上海&CC=&CZ="_s
            << QStringList{u"K511"_s, u"G103"_s, u"G101"_s};
        QTest::newRow("every row's train has its detail")
            << d + u"show_train.asp?cc=G103"_s
            << QStringList{u"北京南"_s, u"06:45"_s, u"10:05"_s, u"上海虹桥"_s};
        QTest::newRow("station list names the source")
            << d + u"stations.txt"_s << QStringList{u"\tsource live\n"_s};
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
