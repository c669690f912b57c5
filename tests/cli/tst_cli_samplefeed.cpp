// A third-party GTFS feed (tests/data/sample-gtfs-feed) served by quillon-service and read
// back through quillon-query and the station list, as a user pointing Quillon at a published
// feed would see it: platforms under a parent station, trips run by frequency, times past
// midnight and calendar exceptions.
#include "serviceprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringDecoder>
#include <QUrl>
#include <QTest>

#include <httplib.h>

#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString airport = QStringLiteral("International Airport (ABC)");
const QString center = QStringLiteral("City Center");
const QString museum = QStringLiteral("Awesome Museum");

QString clock(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QChar(u'0'))
        .arg(minutes % 60, 2, 10, QChar(u'0'));
}

// Columns of a train-list row in quillon-query's JSON.
enum Column { Number = 1, From = 5, Departs = 6, To = 7, Arrives = 8 };

} // namespace

class SampleFeedTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase();
    void answersFromTheFeed_data();
    void answersFromTheFeed();
    void trainNotRunningThatDayIsUnknown();
    void stationListCountsTheDaysTrains();

private:
    QString base(const QString& date);
    QJsonObject query(const QString& date, const QStringList& args, int expectedExit);

    std::map<QString, std::unique_ptr<QProcess>> m_services; // by service day
    std::map<QString, QString> m_bases;
};

void SampleFeedTest::cleanupTestCase() {
    for (auto& [date, service] : m_services)
        stopServiceProcess(*service);
}

// The service on the feed for one service day, started on first use.
QString SampleFeedTest::base(const QString& date) {
    if (m_bases.count(date))
        return m_bases[date];
    auto service = std::make_unique<QProcess>();
    const QString address =
        startServiceProcess(*service, QStringLiteral(QUILLON_SERVICE),
                            {u"--gtfs"_s, QStringLiteral(QUILLON_SAMPLE_FEED), u"--date"_s, date});
    m_services[date] = std::move(service);
    return m_bases[date] = address;
}

QJsonObject SampleFeedTest::query(const QString& date, const QStringList& args, int expectedExit) {
    const QString address = base(date);
    if (address.isEmpty())
        return {};
    QProcess process;
    process.start(QStringLiteral(QUILLON_QUERY),
                  QStringList{u"--timetable-base"_s, address, u"--format"_s, u"json"_s} + args);
    if (!process.waitForFinished(30000) || process.exitCode() != expectedExit) {
        qWarning("quillon-query exited with %d: %s", process.exitCode(),
                 process.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

void SampleFeedTest::answersFromTheFeed_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QStringList>("args");
    // Each expected row: number, departure station, departure clock, arrival station,
    // arrival clock; "*" matches anything.
    QTest::addColumn<QList<QStringList>>("rows");

    QList<QStringList> airportToCenter;
    // A trip at 25:58 runs at 01:58 of the day and sorts first.
    airportToCenter << QStringList{u"DST"_s, airport, u"01:58"_s, center, u"02:03"_s};
    // Every 5 minutes from 08:00 while before 08:59: the stop times are only offsets.
    for (int minute = 8 * 60; minute < 9 * 60; minute += 5)
        airportToCenter << QStringList{u"Babbage"_s, airport, clock(minute), center,
                                       clock(minute + 16)};
    airportToCenter << QStringList{u"Babbage"_s, airport, u"13:14"_s, center, u"13:30"_s}
                    // Boards at "Platform 1", shown as the station it belongs to.
                    << QStringList{u"Ada"_s, airport, u"15:24"_s, center, u"15:35"_s}
                    << QStringList{u"Cerf"_s, airport, u"15:24"_s, center, u"15:35"_s}
                    // Calls at the airport twice: the first call is the departure.
                    << QStringList{u"Cerf"_s, airport, u"19:20"_s, center, u"19:50"_s}
                    << QStringList{u"Cerf"_s, airport, u"19:20"_s, center, u"19:50"_s};
    QTest::newRow("between on a Saturday")
        << u"20190330"_s << QStringList{u"between"_s, airport, center} << airportToCenter;

    QTest::newRow("station with a platform-free stop")
        << u"20190330"_s << QStringList{u"station"_s, museum}
        << QList<QStringList>{{u"Ada"_s, museum, u"15:31"_s, u"*"_s, u"*"_s},
                              {u"Ada"_s, museum, u"17:21"_s, u"*"_s, u"*"_s},
                              {u"Cerf"_s, museum, u"19:30"_s, u"*"_s, u"*"_s},
                              {u"Cerf"_s, museum, u"19:30"_s, u"*"_s, u"*"_s}};

    // 20 July: the all-day and weekend services are removed by exceptions; the working-day
    // service still runs (its calendar ends that Saturday), so only its frequency runs remain.
    QList<QStringList> exceptionDay = airportToCenter.mid(1, 12);
    QTest::newRow("between on an exception day")
        << u"20190720"_s << QStringList{u"between"_s, airport, center} << exceptionDay;
}

void SampleFeedTest::answersFromTheFeed() {
    QFETCH(QString, date);
    QFETCH(QStringList, args);
    QFETCH(QList<QStringList>, rows);
    const QJsonArray got = query(date, args, 0)[u"rows"].toArray();
    QCOMPARE(got.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QJsonArray row = got[i].toArray();
        const QStringList actual{row[Number].toString(), row[From].toString(),
                                 row[Departs].toString(), row[To].toString(),
                                 row[Arrives].toString()};
        QStringList expected = rows[i];
        for (qsizetype k = 0; k < expected.size(); ++k) {
            if (expected[k] == u"*")
                expected[k] = actual[k];
        }
        QCOMPARE(actual, expected);
    }
}

void SampleFeedTest::trainNotRunningThatDayIsUnknown() {
    // The DST trip runs on 30 March only; Ada's all-day service is removed on 20 July.
    QCOMPARE(query(u"20190330"_s, {u"train"_s, u"DST"_s}, 0)[u"rows"].toArray().size(), 1);
    QCOMPARE(query(u"20190331"_s, {u"train"_s, u"DST"_s}, 3)[u"message"].toString(),
             QStringLiteral("不存在所查询的车次信息。"));
    QCOMPARE(query(u"20190720"_s, {u"train"_s, u"Ada"_s}, 3)[u"message"].toString(),
             QStringLiteral("不存在所查询的车次信息。"));
}

void SampleFeedTest::stationListCountsTheDaysTrains() {
    const QUrl address(base(u"20190330"_s));
    httplib::Client client(address.host().toStdString(), address.port());
    const auto result = client.Get("/stations.txt");
    QVERIFY(result && result->status == 200);
    QStringDecoder gb("GB18030");
    const QString text = gb.decode(QByteArray::fromStdString(result->body));
    // Platforms, entrances and boarding areas are no stations of their own; a platform's
    // trains count at its station.
    QCOMPARE(text.split(u'\n', Qt::SkipEmptyParts),
             (QStringList{
                 u"# name\tpinyin\tinitials\ttrains\tdates 20190301 20190820\tsource timetable"_s,
                 u"Awesome Museum\tawesomemuseum\tam\t4"_s, u"City Center\tcitycenter\tcc\t26"_s,
                 u"International Airport (ABC)\tinternationalairportabc\tiaa\t26"_s,
                 u"Lake\tlake\tl\t20"_s}));
}

QTEST_GUILESS_MAIN(SampleFeedTest)
#include "tst_cli_samplefeed.moc"
