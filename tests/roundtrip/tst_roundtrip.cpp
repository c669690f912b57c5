// The client's queries against the bundled service: what the lists show must be the
// timetable, cell by cell, for every train, station pair and station. Run on the built-in
// sample, on a third-party feed and on a feed whose names hold the client's cut markers.
#include "feedtext.h"
#include "gtfs/feed.h"
#include "inprocessservice.h"

#include "pagefetcher.h"
#include "queries.h"
#include "queryrunner.h"

#include <QTest>

namespace {

QList<QStringList> expectedRows(const QList<TrainListRow>& rows, TrainList list) {
    QList<QStringList> table;
    for (const TrainListRow& r : rows) {
        const QString n = QString::number(table.size() + 1);
        if (list == TrainList::ListView1) {
            table << QStringList{n,          r.train,      r.origin,
                                 r.terminus, r.trainClass, r.fromStation,
                                 r.fromTime, r.toStation,  r.toTime,
                                 r.duration, r.distance,   QStringLiteral("show_") + r.link};
        } else {
            table << QStringList{
                n,          r.train,     r.origin, r.terminus, r.trainClass, r.fromStation,
                r.fromTime, r.toStation, r.toTime, r.distance, r.duration,   r.link};
        }
    }
    return table;
}

QStringList stationNames(const Timetable& data) {
    QStringList names;
    for (const Train& train : data.trains()) {
        for (const TrainStop& stop : train.stops) {
            if (!names.contains(stop.station))
                names << stop.station;
        }
    }
    return names;
}

// An evenly spread set of at most `most` stations: every pair of the whole sample would take
// minutes, and a spread set still meets through trains, transfers and no way at all.
QStringList spread(const QStringList& names, qsizetype most) {
    if (names.size() <= most)
        return names;
    QStringList picked;
    for (qsizetype i = 0; i < most; ++i)
        picked << names[i * names.size() / most];
    return picked;
}

// Names the client cuts pages at, as a feed may spell them; the pages show them fullwidth.
const QByteArray markerNames =
    "== stops.txt\nstop_id,stop_name,stop_lat,stop_lon\n"
    "m,满洲里-口岸,49.6,117.4\nh,海拉尔 <东>,49.2,119.7\nq,\"Q&A \"\"北\"\"\",46.6,124.9\n"
    "o,O'Hare,45.8,126.5\n"
    "== routes.txt\nroute_id,route_type\nr,2\n"
    "== calendar.txt\nservice_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
    "start_date,end_date\nall,1,1,1,1,1,1,1,20240101,20261231\n"
    "== trips.txt\nroute_id,service_id,trip_id,trip_short_name\nr,all,a,K7-1\nr,all,b,T8\n"
    "== stop_times.txt\ntrip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
    "a,08:00:00,08:00:00,m,1\na,10:00:00,10:05:00,h,2\na,16:00:00,16:00:00,q,3\n"
    "b,23:00:00,23:00:00,q,1\nb,26:10:00,26:10:00,o,2\n";

// Which timetable a run serves.
enum class Feed { BuiltIn, ThirdParty, MarkerNames };

std::optional<Timetable> timetableFor(Feed feed, QString* error) {
    if (feed == Feed::BuiltIn)
        return Timetable::loadBuiltIn(error);
    if (feed == Feed::ThirdParty)
        return Timetable::load(QStringLiteral(QUILLON_SAMPLE_FEED), QDate(2019, 6, 4), nullptr,
                               error);
    const gtfs::MemorySource source = feedSource(markerNames);
    gtfs::Feed tables;
    if (!gtfs::readFeed(source, tables, error))
        return std::nullopt;
    return Timetable::build(tables, QDate(2025, 6, 2));
}

} // namespace

class RoundTripTest : public QObject {
    Q_OBJECT
public:
    explicit RoundTripTest(Feed feed)
        : m_feed(feed) {}

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_service.reset(); }
    void everyTrainNumber();
    void everyStation();
    void everyStationPair();
    void unknownStationsAndTrains_data();
    void unknownStationsAndTrains();

private:
    QueryReport run(const QueryPlan& plan) { return runQuery(PageFetcher::shared(), plan); }

    Feed m_feed;
    std::optional<Timetable> m_data;
    std::unique_ptr<InProcessService> m_service;
};

void RoundTripTest::initTestCase() {
    QString error;
    m_data = timetableFor(m_feed, &error);
    QVERIFY2(m_data, qPrintable(error));
    QVERIFY(m_data->trains().size() >= (m_feed == Feed::BuiltIn ? 40 : 2));
    m_service = std::make_unique<InProcessService>(*m_data);
    QVERIFY(m_service->isListening());
}

void RoundTripTest::everyTrainNumber() {
    for (const Train& train : m_data->trains()) {
        const QueryReport report = run(planTrainQuery(m_service->base(), train.number));
        QVERIFY2(!report.error && !report.message, qPrintable(train.number));
        QCOMPARE(report.list, TrainList::ListView1);
        const QList<QStringList> expected =
            expectedRows(m_data->trainsByNumber(train.number), TrainList::ListView1);
        QCOMPARE(*report.rows, expected);
        QCOMPARE(report.rows->first()[1], train.number); // the exact match comes first
        QCOMPARE(report.status, rowCountStatus(expected.size()));
    }
}

void RoundTripTest::everyStation() {
    for (const QString& station : stationNames(*m_data)) {
        const QueryReport report = run(planStationQuery(m_service->base(), station, {}, false));
        QVERIFY2(!report.error && !report.message, qPrintable(station));
        QCOMPARE(*report.rows,
                 expectedRows(m_data->trainsAtStation(station), TrainList::ListView3));
        QCOMPARE(report.status, rowCountStatus(report.rows->size()));
    }
}

void RoundTripTest::everyStationPair() {
    const QStringList stations = spread(stationNames(*m_data), 70);
    int through = 0, transfers = 0, none = 0;
    for (const QString& from : stations) {
        for (const QString& to : stations) {
            if (from == to)
                continue;
            const QueryReport report = run(planStationQuery(m_service->base(), from, to, true));
            const QString pair = from + u'>' + to;
            QVERIFY2(!report.error, qPrintable(pair));
            const QList<TrainListRow> trains = m_data->trainsBetween(from, to);
            if (!trains.isEmpty()) {
                ++through;
                QVERIFY2(report.rows, qPrintable(pair));
                QCOMPARE(*report.rows, expectedRows(trains, TrainList::ListView2));
                continue;
            }
            const QStringList cities = m_data->transferCities(from, to);
            if (cities.isEmpty()) {
                ++none;
                QCOMPARE(report.message, QStringLiteral("不存在所查询的车次信息。"));
                continue;
            }
            ++transfers;
            QVERIFY2(report.transfers, qPrintable(pair));
            QCOMPARE(report.caption, transferCaption(cities.size()));
            QStringList offered;
            for (const TransferEntry& entry : *report.transfers) {
                offered << entry.city;
                // Each leg runs in the session the station-to-station query opened.
                const QueryReport leg = run(planLegQuery(m_service->base(), entry.path));
                QVERIFY2(leg.rows, qPrintable(pair + u'>' + entry.city));
                QCOMPARE(*leg.rows,
                         expectedRows(m_data->legTrains(from, entry.city), TrainList::ListView2));
            }
            QCOMPARE(offered, cities);
        }
    }
    qInfo("%d pairs with through trains, %d with transfers, %d without", through, transfers, none);
    QVERIFY(through > 0);
    QVERIFY(transfers > 0 || m_feed == Feed::ThirdParty);
}

void RoundTripTest::unknownStationsAndTrains_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown train") << "train"
                                   << "X999"
                                   << ""
                                   << "不存在所查询的车次信息。";
    QTest::newRow("departure with a trailing blank") << "between"
                                                     << "西安 "
                                                     << "北京西"
                                                     << "发站不存在。";
    QTest::newRow("unknown arrival") << "between"
                                     << "西安"
                                     << "火星"
                                     << "到站不存在。";
    QTest::newRow("both unknown: departure first") << "between"
                                                   << "月球"
                                                   << "火星"
                                                   << "发站不存在。";
}

void RoundTripTest::unknownStationsAndTrains() {
    QFETCH(QString, kind);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, message);
    if (m_feed != Feed::BuiltIn)
        QSKIP("station names of the built-in sample");
    const QueryReport report =
        run(kind == u"train" ? planTrainQuery(m_service->base(), a)
                             : planStationQuery(m_service->base(), a, b, true));
    QCOMPARE(report.message, message);
    QVERIFY(!report.rows);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (Feed feed : {Feed::BuiltIn, Feed::ThirdParty, Feed::MarkerNames}) {
        RoundTripTest test(feed);
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}
#include "tst_roundtrip.moc"
