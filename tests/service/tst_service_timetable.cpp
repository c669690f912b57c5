#include "timetable.h"

#include "feedtext.h"
#include "gtfs/feed.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Small enough to check by hand. Stations lie on the equator and one meridian, 100 km to a
// step where the numbers say so: 甲 0, 乙 100, 丙 400, 丁 700 km east; 戊 230 km and 己 430 km
// north of 丙. K9 runs overnight and leaves 乙 after midnight, K90 shares its prefix, 甲→戊
// needs a change at 乙 or 丙, 甲→己 has no way at all.
const QByteArray fixture =
    "== stops.txt\n"
    "stop_id,stop_name,stop_lat,stop_lon\n"
    "j,甲,0,0\ny,乙,0,0.899320\nb,丙,0,3.597281\nd,丁,0,6.295243\n"
    "w,戊,2.068437,3.597281\nq,己,3.867078,3.597281\n"
    "== routes.txt\n"
    "route_id,route_short_name,route_type\nr,,2\n"
    "== calendar.txt\n"
    "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date\n"
    "all,1,1,1,1,1,1,1,20240101,20261231\n"
    "== trips.txt\n"
    "route_id,service_id,trip_id,trip_short_name\n"
    "r,all,k90,K90\nr,all,k9,K9\nr,all,g9,G9\nr,all,d5,D5\n"
    "== stop_times.txt\n"
    "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
    "k90,07:00:00,07:00:00,d,1\nk90,15:00:00,15:10:00,b,2\nk90,23:00:00,23:00:00,j,3\n"
    "k9,22:00:00,22:00:00,j,1\nk9,23:50:00,24:10:00,y,2\nk9,29:00:00,29:05:00,b,3\n"
    "k9,36:30:00,36:30:00,d,4\n"
    "g9,08:00:00,08:00:00,y,1\ng9,09:00:00,09:02:00,b,2\ng9,10:00:00,10:00:00,w,3\n"
    "d5,06:00:00,06:00:00,w,1\nd5,07:00:00,07:00:00,q,2\n";

const QDate someDay(2025, 6, 2);

Timetable timetable(const QByteArray& changes = {}, QDate day = someDay,
                    gtfs::Faults* faults = nullptr) {
    const gtfs::MemorySource source = feedSource(fixture, changes);
    gtfs::Feed feed;
    QString error;
    if (!gtfs::readFeed(source, feed, &error))
        qFatal("fixture does not load: %s", qPrintable(error));
    Timetable t = Timetable::build(feed, day, &feed.faults);
    if (faults)
        *faults = feed.faults;
    return t;
}

// Rows as "train|origin|terminus|class|from|time|to|time|duration|distance", link checked apart.
QString text(const QList<TrainListRow>& rows) {
    QStringList out;
    for (const TrainListRow& r : rows) {
        out << QStringList{r.train,    r.origin,    r.terminus, r.trainClass, r.fromStation,
                           r.fromTime, r.toStation, r.toTime,   r.duration,   r.distance}
                   .join(QLatin1Char('|'));
        if (r.link != QStringLiteral("train.asp?cc=") + r.train)
            out << QStringLiteral("bad link ") + r.link;
    }
    return out.join(QLatin1Char(';'));
}

std::optional<Timetable> sample() {
    QString error;
    std::optional<Timetable> data = Timetable::loadBuiltIn(&error);
    if (!data)
        qWarning("%s", qPrintable(error));
    return data;
}

QList<TrainListRow> ask(const Timetable& data, const QString& query, const QString& a,
                        const QString& b) {
    if (query == QLatin1String("number"))
        return data.trainsByNumber(a);
    if (query == QLatin1String("between"))
        return data.trainsBetween(a, b);
    if (query == QLatin1String("station"))
        return data.trainsAtStation(a);
    return data.legTrains(a, b);
}

} // namespace

class TestServiceTimetable : public QObject {
    Q_OBJECT

private slots:
    void mapsFeedAndAnswersQueries_data();
    void mapsFeedAndAnswersQueries();
    void findsTransferCities_data();
    void findsTransferCities();
    void sampleCoversTheAdvertisedNetwork();
};

#define K9 "K9|甲|丁|快速|"
#define K90 "K90|丁|甲|快速|"
#define G9 "G9|乙|戊|高速动车|"

void TestServiceTimetable::mapsFeedAndAnswersQueries_data() {
    QTest::addColumn<QByteArray>("changes");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("rows");
    const QByteArray times =
        "== stop_times.txt\ntrip_id,arrival_time,departure_time,stop_id,stop_sequence\n";
    const QByteArray oneTrip = times + "d5,06:00:00,06:00:00,w,1\nd5,07:00:00,07:00:00,q,2\n";
    const QByteArray d5Row = "D5|戊|己|动车组|戊|06:00|己|07:00|01:00|200";
    const struct {
        const char* name;
        QByteArray changes;
        QDate day;
        const char *query, *a, *b;
        QByteArray rows;
    } cases[] = {
        // The fixture as it is.
        {"number: exact first", "", someDay, "number", "K9", "",
         K9 "甲|22:00|丁|12:30|14:30|700;" K90 "丁|07:00|甲|23:00|16:00|700"},
        {"number: any case", "", someDay, "number", "k90", "", K90 "丁|07:00|甲|23:00|16:00|700"},
        {"number: prefix by number", "", someDay, "number", "K", "",
         K9 "甲|22:00|丁|12:30|14:30|700;" K90 "丁|07:00|甲|23:00|16:00|700"},
        {"number: trailing blank", "", someDay, "number", "K9 ", "", ""},
        {"between: leaves after midnight", "", someDay, "between", "乙", "丁",
         K9 "乙|00:10|丁|12:30|12:20|600"},
        {"between: by departure clock", "", someDay, "between", "乙", "丙",
         K9 "乙|00:10|丙|05:00|04:50|300;" G9 "乙|08:00|丙|09:00|01:00|300"},
        {"between: wrong direction", "", someDay, "between", "丁", "乙", ""},
        {"between: unknown station", "", someDay, "between", "庚", "乙", ""},
        {"station: terminus and origin", "", someDay, "station", "丁", "",
         K90 "丁|07:00|甲|23:00|16:00|700;" K9 "甲|22:00|丁|12:30|14:30|700"},
        {"station: trailing blank", "", someDay, "station", "乙 ", "", ""},
        {"leg: from each origin", "", someDay, "leg", "", "丙",
         K90 "丁|07:00|丙|15:00|08:00|300;" G9 "乙|08:00|丙|09:00|01:00|300;" K9
             "甲|22:00|丙|05:00|07:00|400"},
        {"leg: city is an origin", "", someDay, "leg", "", "戊",
         "D5|戊|己|动车组|戊|06:00|戊|06:00|00:00|0;" G9 "乙|08:00|戊|10:00|02:00|530"},
        {"leg: from remembered departure", "", someDay, "leg", "甲", "丙",
         K9 "甲|22:00|丙|05:00|07:00|400"},
        // Which trips run on the day.
        {"calendar: outside its dates", oneTrip, QDate(2027, 1, 4), "number", "D5", "", ""},
        {"calendar: weekday off",
         oneTrip + "== calendar.txt\nservice_id,monday,tuesday,wednesday,thursday,friday,"
                   "saturday,sunday,start_date,end_date\nall,1,1,1,1,1,0,0,20240101,20261231\n",
         QDate(2025, 6, 1), "number", "D5", "", ""},
        {"calendar_dates: removed day",
         oneTrip + "== calendar_dates.txt\nservice_id,date,exception_type\nall,20250602,2\n",
         someDay, "number", "D5", "", ""},
        {"calendar_dates: only there",
         oneTrip + "== calendar.txt\n== calendar_dates.txt\nservice_id,date,exception_type\n"
                   "all,20250602,1\n",
         someDay, "number", "D5", "", d5Row},
        {"calendar_dates: added day off the calendar",
         oneTrip + "== calendar_dates.txt\nservice_id,date,exception_type\nall,20270104,1\n",
         QDate(2027, 1, 4), "number", "D5", "", d5Row},
        // Platforms count as their station; entrances are never stations.
        {"platform under its station",
         oneTrip + "== stops.txt\nstop_id,stop_name,location_type,parent_station,stop_lat,"
                   "stop_lon\nW,戊站,1,,2.068437,3.597281\nw,戊 3站台,0,W,,\n"
                   "q,己,,,3.867078,3.597281\nqq,己东口,2,q,,\n",
         someDay, "station", "戊站", "", "D5|戊站|己|动车组|戊站|06:00|己|07:00|01:00|200"},
        // The number and class a train shows.
        {"number from the route",
         oneTrip + "== trips.txt\nroute_id,service_id,trip_id\nr,all,d5\n"
                   "== routes.txt\nroute_id,route_short_name,route_long_name,route_type\n"
                   "r,S7,Airport Line,3\n",
         someDay, "number", "S7", "", "S7|戊|己|汽车|戊|06:00|己|07:00|01:00|200"},
        {"number from the route's long name",
         oneTrip + "== trips.txt\nroute_id,service_id,trip_id\nr,all,d5\n"
                   "== routes.txt\nroute_id,route_long_name,route_type\nr,Harbour,4\n",
         someDay, "number", "harbour", "", "Harbour|戊|己|轮渡|戊|06:00|己|07:00|01:00|200"},
        {"number from the trip id, class from an extended type",
         times + "x,06:00:00,06:00:00,w,1\nx,07:00:00,07:00:00,q,2\n"
                 "== trips.txt\nroute_id,service_id,trip_id\nr,all,x\n"
                 "== routes.txt\nroute_id,route_type\nr,109\n",
         someDay, "number", "x", "", "x|戊|己|铁路|戊|06:00|己|07:00|01:00|200"},
        {"letter without digits is no train class",
         oneTrip + "== trips.txt\nroute_id,service_id,trip_id,trip_short_name\nr,all,d5,Tram\n"
                   "== routes.txt\nroute_id,route_type\nr,0\n",
         someDay, "number", "Tram", "", "Tram|戊|己|有轨电车|戊|06:00|己|07:00|01:00|200"},
        // Times.
        {"empty arrival or departure takes the other",
         times + "d5,,06:00:00,w,1\nd5,07:00:59,,q,2\n", someDay, "number", "D5", "", d5Row},
        {"stops without times placed by distance",
         times + "k9,08:00:00,08:00:00,j,1\nk9,,,y,2\nk9,12:00:00,12:00:00,b,3\n", someDay,
         "station", "乙", "", "K9|甲|丙|快速|乙|09:00|丙|12:00|03:00|300"},
        {"set off after midnight of the service day",
         times + "d5,25:10:00,25:10:00,w,1\nd5,49:20:00,49:20:00,q,2\n", someDay, "number", "D5",
         "", "D5|戊|己|动车组|戊|01:10|己|01:20|24:10|200"},
        {"frequencies: runs until the end, offsets only",
         oneTrip + "== frequencies.txt\ntrip_id,start_time,end_time,headway_secs\n"
                   "d5,08:00:00,09:00:00,1800\n",
         someDay, "number", "D5", "",
         "D5|戊|己|动车组|戊|08:00|己|09:00|01:00|200;D5|戊|己|动车组|戊|08:30|己|09:30|01:00|200"},
        // A trip calling twice at one station.
        {"loop: first call there, first later call at the arrival",
         times + "g9,08:00:00,08:00:00,y,1\ng9,09:00:00,09:00:00,b,2\ng9,10:00:00,10:00:00,y,3\n"
                 "g9,11:00:00,11:00:00,b,4\n",
         someDay, "between", "乙", "丙", "G9|乙|丙|高速动车|乙|08:00|丙|09:00|01:00|300"},
        {"a pair of stations passed again measures the same",
         times + "g9,08:00:00,08:00:00,y,1\ng9,09:00:00,09:00:00,b,2\ng9,10:00:00,10:00:00,y,3\n"
                 "g9,11:00:00,11:00:00,b,4\n",
         someDay, "station", "乙", "", "G9|乙|丙|高速动车|乙|08:00|丙|11:00|03:00|900"},
        {"loop: listed once at the station",
         times + "g9,08:00:00,08:00:00,y,1\ng9,09:00:00,09:00:00,b,2\ng9,10:00:00,10:00:00,y,3\n",
         someDay, "station", "乙", "", "G9|乙|乙|高速动车|乙|08:00|乙|10:00|02:00|600"},
        // Names the client's cuts would split.
        {"marker characters become fullwidth",
         oneTrip + "== stops.txt\nstop_id,stop_name\nw,满洲里-口岸\nq,\"A&B <\"\"x'>\"\n", someDay,
         "station", "满洲里-口岸", "",
         "D5|满洲里－口岸|A＆B ＜＂x＇＞|动车组|满洲里－口岸|06:00|"
         "A＆B ＜＂x＇＞|07:00|01:00|0"},
        {"fullwidth spelling finds it too",
         oneTrip + "== stops.txt\nstop_id,stop_name\nw,满洲里-口岸\nq,己\n", someDay, "between",
         "满洲里－口岸", "己", "D5|满洲里－口岸|己|动车组|满洲里－口岸|06:00|己|07:00|01:00|0"},
    };
    for (const auto& c : cases) {
        QTest::newRow(c.name) << c.changes << c.day << QString::fromUtf8(c.query)
                              << QString::fromUtf8(c.a) << QString::fromUtf8(c.b)
                              << QString::fromUtf8(c.rows);
    }
}

void TestServiceTimetable::mapsFeedAndAnswersQueries() {
    QFETCH(QByteArray, changes);
    QFETCH(QDate, day);
    QFETCH(QString, query);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, rows);
    QCOMPARE(text(ask(timetable(changes, day), query, a, b)), rows);
}

#undef K9
#undef K90
#undef G9

void TestServiceTimetable::findsTransferCities_data() {
    QTest::addColumn<bool>("useSample");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("cities");

    const struct {
        const char* name;
        bool useSample;
        const char *from, *to;
        QStringList cities;
    } cases[] = {
        // Both changes end on the same G9, so they take as long and go by name.
        {"change at two places, waiting overnight", false, "甲", "戊", {u"丙"_s, u"乙"_s}},
        {"no way at all", false, "甲", "己", {}},
        {"through train exists", false, "甲", "丙", {}},
        {"unknown departure", false, "庚", "戊", {}},
        // 上海 is a city here: 上海 and 上海虹桥, so the changes for 上海虹桥 count too.
        {"sample 拉萨 to 上海",
         true,
         "拉萨",
         "上海",
         {u"西宁"_s, u"洛阳"_s, u"西安"_s, u"郑州"_s, u"兰州"_s, u"天水"_s, u"宝鸡"_s, u"株洲"_s}},
        {"sample 拉萨 to 上海虹桥", true, "拉萨", "上海虹桥", {u"西宁"_s}},
        {"sample 银川 to 上海虹桥", true, "银川", "上海虹桥", {u"西安北"_s}},
        {"sample 哈尔滨西 to 拉萨", true, "哈尔滨西", "拉萨", {}},
    };
    for (const auto& c : cases)
        QTest::newRow(c.name) << c.useSample << QString::fromUtf8(c.from) << QString::fromUtf8(c.to)
                              << c.cities;
}

void TestServiceTimetable::findsTransferCities() {
    QFETCH(bool, useSample);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, cities);
    const std::optional<Timetable> data = useSample ? sample() : timetable();
    QVERIFY(data);
    QCOMPARE(data->transferCities(from, to), cities);
    for (const QString& city : cities) {
        QVERIFY(!data->legTrains(from, city).isEmpty());
        QVERIFY(!data->trainsBetween(city, to).isEmpty());
    }
}

void TestServiceTimetable::sampleCoversTheAdvertisedNetwork() {
    const std::optional<Timetable> data = sample();
    QVERIFY(data);
    QCOMPARE(data->trains().size(), 1174);
    QSet<QChar> classes;
    for (const Train& t : data->trains())
        classes.insert(t.number.front());
    QCOMPARE(data->stations().size(), 284);
    QCOMPARE(classes, (QSet<QChar>{u'G', u'C', u'D', u'Z', u'T', u'K'}));
    // The client's default station pair must answer with trains.
    QVERIFY(!data->trainsBetween(QStringLiteral("西安"), QStringLiteral("北京北")).isEmpty());
    QCOMPARE(data->trainsByNumber(QStringLiteral("K7")).value(0).train, QStringLiteral("K7"));
    // What a newcomer asks first finds a day's worth of trains, both ways.
    const char* pairs[][2] = {{"北京南", "上海虹桥"}, {"广州南", "深圳北"}, {"成都东", "重庆北"},
                              {"深圳北", "北京南"},   {"北京西", "深圳北"}, {"广州东", "深圳"},
                              {"上海虹桥", "杭州东"}, {"西安北", "郑州东"}};
    for (const auto& pair : pairs) {
        const QString a = QString::fromUtf8(pair[0]), b = QString::fromUtf8(pair[1]);
        const qsizetype out = data->trainsBetween(a, b).size(),
                        back = data->trainsBetween(b, a).size();
        QVERIFY2(out >= 4 && back >= 4, qPrintable(a + u'-' + b));
    }
    QVERIFY(data->trainsBetween(QStringLiteral("北京南"), QStringLiteral("上海虹桥")).size() >= 50);
}

QTEST_APPLESS_MAIN(TestServiceTimetable)
#include "tst_service_timetable.moc"
