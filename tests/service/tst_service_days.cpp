// The service asked about days and cities through HTTP, as the client asks.
#include "dayfeed.h"
#include "gtfs/gtfssource.h"
#include "pages.h"
#include "server.h"

#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

std::string gb(const QString& text) {
    return pages::toGb(text).toPercentEncoding().toStdString();
}

QString cut(const QString& text, const QString& a, const QString& b) {
    return text.section(a, 1, 1).section(b, 0, 0);
}

// Train numbers of a list page, in order, as the client's row cut finds them.
QStringList trains(const QString& page) {
    QStringList out;
    QStringList rows = QString(page).remove(u'"').split(QStringLiteral("<td width=75"));
    rows.removeFirst();
    for (const QString& row : std::as_const(rows)) {
        const QString number = cut(row, QStringLiteral("<b>"), QStringLiteral("</b>"));
        if (!number.isEmpty())
            out << number;
    }
    return out;
}

QString reason(const QString& page) {
    return cut(QString(page).remove(u'"'), QStringLiteral("<p class=reason>"),
               QStringLiteral("</p>"));
}

} // namespace

class TestServiceDays : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void answersForTheDayOfThePrefix_data();
    void answersForTheDayOfThePrefix();
    void detailLinkKeepsTheDayOfItsList();
    void defaultDayMovesOnAtMidnight();
    void dayWithoutTrainsSaysWhichDaysThereAre_data();
    void dayWithoutTrainsSaysWhichDaysThereAre();
    void refusesBadPrefixes_data();
    void refusesBadPrefixes();
    void stationListNamesDaysAndCities();
    void refusesATooLargeDayWhole();

private:
    QString get(const std::string& path, int* status = nullptr);

    std::shared_ptr<gtfs::GtfsSource> m_source;
    std::atomic<qint64> m_today{QDate(2026, 12, 7).toJulianDay()};
    std::unique_ptr<TimetableServer> m_server;
    std::thread m_thread;
    int m_port = 0;
};

void TestServiceDays::initTestCase() {
    QString error;
    const gtfs::MemorySource files = feedSource(dayFeed);
    m_source = gtfs::GtfsSource::read(files, &error);
    QVERIFY2(m_source, qPrintable(error));
    m_source->setClock([this] { return QDate::fromJulianDay(m_today); });
    m_server = std::make_unique<TimetableServer>(m_source);
    m_port = m_server->bind(QStringLiteral("127.0.0.1"), 0);
    QVERIFY(m_port > 0);
    m_thread = std::thread([this] { m_server->serve(); });
}

void TestServiceDays::cleanupTestCase() {
    m_server->stop();
    m_thread.join();
}

QString TestServiceDays::get(const std::string& path, int* status) {
    httplib::Client client("127.0.0.1", m_port);
    const httplib::Result res = client.Get(path);
    if (status)
        *status = res ? res->status : -1;
    return res ? pages::fromGb(QByteArray::fromStdString(res->body)) : QString();
}

void TestServiceDays::answersForTheDayOfThePrefix_data() {
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    const QString station = QStringLiteral("CX_Type=CZ&FZ=&DZ=&CC=&CZ=");
    const QString between = QStringLiteral("CX_Type=ZZ&FZ=%1&DZ=%2&CC=&CZ=");
    const QString number = QStringLiteral("CX_Type=CC&FZ=&DZ=&CZ=&CC=");
    QTest::newRow("number, weekday") << u"20261207"_s << number + u"G"_s << QStringList{u"G1"_s};
    QTest::newRow("number, weekend") << u"20261212"_s << number + u"G"_s << QStringList{};
    // A city: every train of 北京, 北京西 and 北京南 by the time it is there (T4 reaches
    // 北京西 at 01:10).
    QTest::newRow("city station query, weekday")
        << u"20261207"_s << station + u"北京"_s << QStringList{u"T4"_s, u"G1"_s, u"D2"_s};
    QTest::newRow("city station query, weekend")
        << u"20261212"_s << station + u"北京"_s << QStringList{u"T4"_s, u"D2"_s, u"K3"_s};
    QTest::newRow("city station query, exception day")
        << u"20261225"_s << station + u"北京"_s << QStringList{u"G1"_s, u"K3"_s};
    QTest::newRow("plain station")
        << u"20261207"_s << station + u"北京西"_s << QStringList{u"T4"_s, u"D2"_s};
    QTest::newRow("cities both ends, weekday")
        << u"20261207"_s << between.arg(u"北京"_s, u"天津"_s) << QStringList{u"G1"_s};
    QTest::newRow("cities both ends, weekend")
        << u"20261212"_s << between.arg(u"北京"_s, u"天津"_s) << QStringList{u"K3"_s};
    QTest::newRow("city to station")
        << u"20261225"_s << between.arg(u"北京"_s, u"天津西"_s) << QStringList{u"K3"_s};
    QTest::newRow("station to city")
        << u"20261207"_s << between.arg(u"石家庄"_s, u"北京"_s) << QStringList{u"T4"_s};
}

void TestServiceDays::answersForTheDayOfThePrefix() {
    QFETCH(QString, day);
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    std::string encoded;
    for (const QString& part : query.split(u'&'))
        encoded += (encoded.empty() ? "" : "&") + part.section(u'=', 0, 0).toStdString() + "=" +
                   gb(part.section(u'=', 1));
    const QString page = get("/d/" + day.toStdString() + "/show_findresult.asp?" + encoded);
    QCOMPARE(trains(page), expected);
    QCOMPARE(page.contains(pages::noTrainPhrase), expected.isEmpty());
}

void TestServiceDays::detailLinkKeepsTheDayOfItsList() {
    // The client resolves a row's link against the base it asked the list of.
    const QUrl base(QStringLiteral("http://127.0.0.1:%1/d/20261212/").arg(m_port));
    const QString list =
        get(base.path().toStdString() +
            "show_findresult.asp?CX_Type=CZ&FZ=&DZ=&CC=&CZ=" + gb(QStringLiteral("天津西")));
    const QString link =
        cut(QString(list).remove(u'"'), QStringLiteral("<a href="), QStringLiteral(" target"));
    QCOMPARE(link, QStringLiteral("train.asp?cc=K3"));
    const QUrl detail = base.resolved(QUrl(link));
    const QString frame =
        get(detail.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).toStdString());
    const QString inner =
        cut(QString(frame).remove(u'"'), QStringLiteral("<iframe src="), QStringLiteral(" name="));
    const QString stops = get(detail.resolved(QUrl(inner))
                                  .toString(QUrl::RemoveScheme | QUrl::RemoveAuthority)
                                  .toStdString());
    QVERIFY(stops.contains(QStringLiteral("天津西")));
    QVERIFY(stops.contains(QStringLiteral("10:00")));
    // The same link on a Monday finds no K3.
    QVERIFY(get("/d/20261207/" + link.toStdString()).contains(pages::missingParametersPhrase));
}

void TestServiceDays::defaultDayMovesOnAtMidnight() {
    const std::string g = "/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=G1";
    m_today = QDate(2026, 12, 11).toJulianDay(); // Friday
    QCOMPARE(trains(get(g)), QStringList{u"G1"_s});
    m_today = QDate(2026, 12, 12).toJulianDay(); // the clock passed midnight: Saturday
    QVERIFY(get(g).contains(pages::noTrainPhrase));
    QCOMPARE(trains(get("/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=K3")),
             QStringList{u"K3"_s});
    m_today = QDate(2026, 12, 7).toJulianDay();
}

void TestServiceDays::dayWithoutTrainsSaysWhichDaysThereAre_data() {
    QTest::addColumn<std::string>("path");
    QTest::newRow("before the feed") << std::string("/d/20261130/show_findresult.asp?"
                                                    "CX_Type=CC&FZ=&DZ=&CZ=&CC=G1");
    QTest::newRow("after the feed, station query")
        << std::string("/d/20270101/show_findresult.asp?CX_Type=CZ&FZ=&DZ=&CC=&CZ=") +
               gb(QStringLiteral("北京"));
    QTest::newRow("detail") << std::string("/d/20270101/train.asp?cc=G1");
}

void TestServiceDays::dayWithoutTrainsSaysWhichDaysThereAre() {
    QFETCH(std::string, path);
    const QString page = get(path);
    QVERIFY(page.contains(pages::noTrainPhrase) || page.contains(pages::missingParametersPhrase));
    QVERIFY2(reason(page).contains(QStringLiteral("2026-12-01 至 2026-12-31")),
             qPrintable(reason(page)));
    QVERIFY(trains(page).isEmpty());
}

void TestServiceDays::refusesBadPrefixes_data() {
    QTest::addColumn<std::string>("day");
    QTest::newRow("month 13") << std::string("20261332");
    QTest::newRow("letters") << std::string("2026dec7");
    QTest::newRow("ten digits") << std::string("2026120712");
    QTest::newRow("dashes") << std::string("2026-12-7");
    QTest::newRow("empty") << std::string();
}

void TestServiceDays::refusesBadPrefixes() {
    QFETCH(std::string, day);
    int status = 0;
    const QString page =
        get("/d/" + day + "/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=G1", &status);
    QCOMPARE(status, 400);
    QVERIFY(reason(page).contains(QStringLiteral("无效")));
    QVERIFY(trains(page).isEmpty());
}

void TestServiceDays::stationListNamesDaysAndCities() {
    const QStringList lines = get("/d/20261212/stations.txt").split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0),
             QStringLiteral("# name\tpinyin\tinitials\ttrains\tdates 20261201 20261231\t"
                            "source timetable"));
    QVERIFY(lines.contains(QStringLiteral("#city\t北京\tbeijing\tbj\t3\t北京 北京西")));
    QVERIFY(lines.contains(QStringLiteral("#city\t天津\ttianjin\ttj\t1\t天津西")) == false);
    QVERIFY(lines.contains(QStringLiteral("北京西\tbeijingxi\tbjx\t2")));
}

void TestServiceDays::refusesATooLargeDayWhole() {
    // Ten periods of a run every second for 100 hours, three stops a run: 10.8 million calls
    // beside the five of the other trains.
    QByteArray frequencies = "== frequencies.txt\ntrip_id,start_time,end_time,headway_secs\n";
    for (int i = 0; i < 10; ++i)
        frequencies += "d2,00:00:00,100:00:00,1\n";
    QByteArray text = dayFeed;
    text.replace("d2,11:00:00,11:00:00,sjz,2\n",
                 "d2,10:00:00,10:00:00,tj,2\nd2,11:00:00,11:00:00,sjz,3\n");
    QString error;
    const gtfs::MemorySource files = feedSource(text, frequencies);
    const std::unique_ptr<gtfs::GtfsSource> big = gtfs::GtfsSource::read(files, &error);
    QVERIFY2(big, qPrintable(error));
    const source::Answer<QList<TrainListRow>> answer =
        big->trainsByNumber(QDate(2026, 12, 7), QStringLiteral("G1"));
    QVERIFY(answer.value.isEmpty()); // not the trains that fit, nothing
    QVERIFY2(answer.failure.reason.contains(QStringLiteral("10800005")) &&
                 answer.failure.reason.contains(QStringLiteral("frequencies.txt 第 2 行")),
             qPrintable(answer.failure.reason));
}

QTEST_GUILESS_MAIN(TestServiceDays)
#include "tst_service_days.moc"
