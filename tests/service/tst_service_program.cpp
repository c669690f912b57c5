#include "feedtext.h"
#include "pages.h"

#include <QtTest>

#include <httplib.h>

#include <csignal>

using namespace Qt::StringLiterals;

// Runs the built program: the ready line scripts wait for, --gtfs and --date, exit codes,
// stop signals.
namespace {

// One train X1 甲→乙 on weekdays of 2025, and a row with an impossible time.
const QByteArray smallFeed = "== stops.txt\nstop_id,stop_name,stop_lat,stop_lon\n"
                             "a,甲,30,110\nb,乙,31,110\n"
                             "== routes.txt\nroute_id,route_type\nr,2\n"
                             "== trips.txt\nroute_id,service_id,trip_id,trip_short_name\n"
                             "r,wk,t1,X1\n"
                             "== calendar.txt\nservice_id,monday,tuesday,wednesday,thursday,"
                             "friday,saturday,sunday,start_date,end_date\n"
                             "wk,1,1,1,1,1,0,0,20250101,20251231\n"
                             "== stop_times.txt\n"
                             "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
                             "t1,08:00:00,08:00:00,a,1\nt1,09:30:00,09:30:00,b,2\n"
                             "t1,25:61:00,25:61:00,b,3\n";

} // namespace

class TestServiceProgram : public QObject {
    Q_OBJECT

private slots:
    void servesGivenDataAndStopsOnSignal_data();
    void servesGivenDataAndStopsOnSignal();
    void refusesBadStart_data();
    void refusesBadStart();
};

void TestServiceProgram::servesGivenDataAndStopsOnSignal_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<QString>("message");
    const QString skipped = QStringLiteral("1 row skipped: bad time (first at stop_times.txt:4)");
    QTest::newRow("SIGTERM") << int(SIGTERM) << "20250303" << true << skipped;
    QTest::newRow("SIGINT") << int(SIGINT) << "20250303" << true << skipped;
    // A Saturday: the one train runs on weekdays only, and the service still starts.
    QTest::newRow("day without service")
        << int(SIGTERM) << "20250301" << false
        << "no trains run on 20250301; the feed covers 2025-01-01 to 2025-12-31";
}

void TestServiceProgram::servesGivenDataAndStopsOnSignal() {
    QFETCH(int, signal);
    QFETCH(QString, date);
    QFETCH(bool, runs);
    QFETCH(QString, message);
    QTemporaryDir feed;
    QVERIFY(writeFeedFolder(feed.path(), smallFeed));
    QProcess process;
    auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished(5000);
    });
    process.start(QStringLiteral(QUILLON_SERVICE_BIN),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--gtfs"),
                   feed.path(), QStringLiteral("--date"), date});
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 10000);
    static const QRegularExpression ready(
        QStringLiteral("^quillon-service listening on http://127\\.0\\.0\\.1:(\\d+)/\n$"));
    const QRegularExpressionMatch m = ready.match(QString::fromUtf8(process.readLine()));
    QVERIFY(m.hasMatch());

    httplib::Client client("127.0.0.1", m.captured(1).toInt());
    const std::string path = "/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=";
    const httplib::Result x1 = client.Get(path + "X1");
    QVERIFY(x1);
    const QString x1Page = pages::fromGb(QByteArray::fromStdString(x1->body));
    QVERIFY(runs ? x1Page.contains(u"<b>X1</b>"_s) : x1Page.contains(pages::noTrainPhrase));
    QVERIFY2(!x1Page.contains(u"样例数据"_s), "a user's feed is no sample data");
    const httplib::Result k7 = client.Get(path + "K7"); // only in the built-in sample
    QVERIFY(k7 &&
            pages::fromGb(QByteArray::fromStdString(k7->body)).contains(pages::noTrainPhrase));

    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
}

void TestServiceProgram::refusesBadStart_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("port not a number")
        << QByteArray() << QStringList{u"--port"_s, u"http"_s} << 2 << u"bad port \"http\""_s;
    QTest::newRow("missing feed") << QByteArray() << QStringList{u"--gtfs"_s, u"/nonexistent/t"_s}
                                  << 1 << "/nonexistent/t: no such file or folder";
    QTest::newRow("bad date") << QByteArray() << QStringList{u"--date"_s, u"20250230"_s} << 2
                              << "bad date \"20250230\"";
    QTest::newRow("feed without stop times")
        << smallFeed.left(smallFeed.indexOf("== stop_times.txt")) << QStringList{} << 1
        << "stop_times.txt: missing from the feed";
    QByteArray noName = smallFeed;
    noName.replace("stop_id,stop_name,", "stop_id,name,");
    QTest::newRow("missing column")
        << noName << QStringList{} << 1 << "stops.txt:1: missing column stop_name";
}

void TestServiceProgram::refusesBadStart() {
    QFETCH(QByteArray, data);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir feed;
    if (!data.isEmpty()) {
        QVERIFY(writeFeedFolder(feed.path(), data));
        args << QStringLiteral("--gtfs") << feed.path();
    }
    QProcess process;
    process.start(QStringLiteral(QUILLON_SERVICE_BIN), args);
    auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished(5000);
    });
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(TestServiceProgram)
#include "tst_service_program.moc"
