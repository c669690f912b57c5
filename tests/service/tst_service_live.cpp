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
                            "K511 青岛北 上海 北京 06:10 上海 18:55 12:45",
                            "G103 北京南 上海虹桥 北京南 06:45 上海虹桥 11:20 04:35",
                            "G101 北京南 上海虹桥 北京南 07:00 上海虹桥 11:30 04:30",
                        }));
        QCOMPARE(answer.value.rows.first().link, QStringLiteral("train.asp?cc=K511"));
        QCOMPARE(live->skippedRows(), 3 + 1); // three bad rows, one bad station entry
        // The stale path of the init page was corrected by the site's redirect answer once.
        QCOMPARE(m_site->hits("wrongPath"), 1);
        QCOMPARE(m_site->hits("queryZ"), 1);
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
        const QString row49 =
            ReplaySite::row("G7", "BNQ", "SQQ", "BNQ", "SQQ", "07:05", "11:40", "04:35", 49);
        const QStringList g7{"G7 BNQ-SQQ 07:05 11:40 04:35 5a000G701 OM9"};
        QTest::newRow("49 fields, encoded secret")
            << ReplaySite::ticketAnswer({row49}, {}) << g7 << QString();
        QString broken =
            ReplaySite::row("G7", "BNQ", "SQQ", "BNQ", "SQQ", "07:05", "11:40", "04:35", 58);
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
            << named << QStringList{"K707 AAQ-BBQ 21:07 06:30 33:23 5a0000K7070A 1413"}
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
                 (QStringList{"甲  21:07 -1", "乙 23:50 23:52 -1", "丙 06:30 06:30 -1"}));
        QCOMPARE(shown(parseStopList(bare)), (QStringList{"甲  21:07 0", "丙 06:30 06:30 1"}));

        const FareAnswer fares = parseFares(R"({"status":true,"data":{"9":"12340","OT":[],
            "WZ":"¥61.5","M":"¥98.0","A9":"¥123.4","O":"¥61.5","train_no":"5a000G701"},
            "messages":[],"validateMessages":{}})");
        QCOMPARE(fares.fault, Fault::None);
        QCOMPARE(fares.yuan, (QHash<QString, QString>{
                                 {"O", "61.5"}, {"M", "98.0"}, {"A9", "123.4"}, {"WZ", "61.5"}}));

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
            transferUrl(QStringLiteral("/lcquery/queryG"), QDate(2030, 1, 1), "AAQ", "BBQ").path(),
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
        QCOMPARE(m_site->hits("init"), 2); // the first visit and one new visitor
        QCOMPARE(m_site->hits("queryZ"), 2);
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
        QCOMPARE(answer.value.cities, (QStringList{"西宁", "广州南"}));
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
            << QStringList{"北京南 -1 420", "济南西 510 512", "南京南 620 622", "上海虹桥 690 -1"}
            << QStringList{"--", "--", "--", "--", "930.0", "553.5"};
        QTest::newRow("night train past midnight")
            << "K511"
            << QStringList{"青岛北 -1 1215", "北京 1780 1810", "南京南 2290 2300", "上海 2575 -1"}
            << QStringList{"156.5", "--", "283.5", "441.0", "--", "--"};
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
        const QJsonObject named{{"train_no", "5a000G10101"},
                                {"station_train_code", "G101"},
                                {"start_station_telecode", "BNQ"},
                                {"start_station_name", "北京南"},
                                {"end_station_telecode", "XHQ"},
                                {"end_station_name", "徐州东"},
                                {"from_station_telecode", "BNQ"},
                                {"to_station_telecode", "JXQ"},
                                {"start_time", "07:00"},
                                {"arrive_time", "08:30"},
                                {"lishi", "01:30"},
                                {"start_train_date", "20221028"},
                                {"from_station_no", "01"},
                                {"to_station_no", "02"},
                                {"seat_types", "OM9"}};
        const QJsonObject answer{{"status", true},
                                 {"data", QJsonArray{QJsonObject{{"queryLeftNewDTO", named},
                                                                 {"secretStr", "eA%3D%3D"}}}}};
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
        QCOMPARE(m_site->hits("search"), 0);
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
        QCOMPARE(m_site->hits("init"), 1);
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
        QCOMPARE(m_site->hits("wrongPath"), 1);
        QCOMPARE(m_site->hits("queryZ"), 1);
    }

    // Through the service's own pages, as the client reads them: rows, transfer, detail and
    // fare pages, and the reason line where the site gave no answer.
    void pagesOfTheService_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("shown");
        const QString day = tomorrow().toString(QStringLiteral("yyyyMMdd"));
        const QString d = QStringLiteral("/d/") + day + QStringLiteral("/");
        QTest::newRow("city to city")
            << d + "show_findresult.asp?CX_Type=ZZ&FZ=北京&DZ=上海&CC=&CZ="
            << QStringList{"K511", "G103", "G101", "青岛北"};
        QTest::newRow("transfer") << d + "show_findresult.asp?CX_Type=ZZ&FZ=拉萨&DZ=三亚&CC=&CZ="
                                  << QStringList{pages::transferPhrase, "西宁", "广州南"};
        QTest::newRow("refused") << d + "show_findresult.asp?CX_Type=ZZ&FZ=北京&DZ=南京南&CC=&CZ="
                                 << QStringList{pages::noTrainPhrase,
                                                "<p class=reason>铁路官方网站拒绝了查询"};
        QTest::newRow("station query") << d + "show_findresult.asp?CX_Type=CZ&FZ=&DZ=&CC=&CZ=北京"
                                       << QStringList{"<p class=reason>实时来源不提供车站查询"};
        QTest::newRow("detail") << d + "show_train.asp?cc=K511"
                                << QStringList{"青岛北", "20:15", "05:40", "上海", "<td>--</td>"};
        QTest::newRow("fare") << d + "fare/chaxun/resultc.asp?txtcheci=G101"
                              << QStringList{"553.5", "930.0", "全程票价", "单位：元<"};
        QTest::newRow("outside the sale window, nothing found")
            << "/d/" + QDate::currentDate().addDays(40).toString("yyyyMMdd") +
                   "/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=X9"
            << QStringList{pages::noTrainPhrase, "不在铁路官方网站可查询的日期内"};
        QTest::newRow("outside the sale window, answered")
            << "/d/20221028/show_findresult.asp?CX_Type=ZZ&FZ=北京&DZ=上海&CC=&CZ="
            << QStringList{"K511", "G103", "G101"};
        QTest::newRow("every row's train has its detail")
            << d + "show_train.asp?cc=G103" << QStringList{"北京南", "06:45", "10:05", "上海虹桥"};
        QTest::newRow("station list names the source")
            << d + "stations.txt" << QStringList{"\tsource live\n"};
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
        QCOMPARE(m_site->hits("stations"), 1);
        QCOMPARE(readAll(file) == served, expected == 13);
        // A refused refresh is not tried again at once; a fresh copy on disk is used as it is.
        live->stations(tomorrow());
        QCOMPARE(m_site->hits("stations"), 1);
        auto again = liveSource();
        again->stations(tomorrow());
        QCOMPARE(m_site->hits("stations"), expected == 13 ? 1 : 2);
    }
};

QTEST_GUILESS_MAIN(TestLive)
#include "tst_service_live.moc"
