// End-to-end time of a train-number query from the command-line client: process start,
// fetch from a local service, decode, scrape, JSON out, exit. The service holds 200 trains
// sharing one number prefix, so the query brings back a 200-row page.
// Target: median at most 50 ms.
#include "benchservice.h"
#include "benchstations.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTrains = 200;
constexpr int kRuns = 50;
constexpr int kWarmUpRuns = 3; // first runs pay for cold caches, which a user pays once
constexpr double kMaxMedianMs = 50.0;
const QString kPrefix = QStringLiteral("Z9");

int fail(const QString& why) {
    std::fprintf(stderr, "bench_roundtrip: %s\n", qPrintable(why));
    return 2;
}

QString clock(int minutes) {
    return QStringLiteral("%1:%2:00")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// One stop_times.txt row; a station is its stop.
QString stop(const QString& trip, int sequence, int station, int arrives, int departs) {
    return QStringLiteral("%1,%2,%3,s%4,%5\n")
        .arg(trip, clock(arrives), clock(departs))
        .arg(station % kStationCount)
        .arg(sequence);
}

// A GTFS feed of kTrains trains running every day, by file name.
QList<std::pair<QString, QString>> feed() {
    QString stops = QStringLiteral("stop_id,stop_name,stop_lat,stop_lon\n");
    for (int s = 0; s < kStationCount; ++s)
        stops += QStringLiteral("s%1,%2,%3,110\n").arg(s).arg(stationName(s)).arg(30 + s * 0.05);
    QString trips = QStringLiteral("route_id,service_id,trip_id,trip_short_name\n");
    QString times = QStringLiteral("trip_id,arrival_time,departure_time,stop_id,stop_sequence\n");
    for (int i = 0; i < kTrains; ++i) {
        const int leaves = (i * 17) % (24 * 60);
        const int middle = leaves + 120 + i % 90;
        const int end = middle + 5 + 180 + (i * 7) % 600;
        const QString trip = QStringLiteral("t%1").arg(i);
        trips +=
            QStringLiteral("r,daily,%1,%2%3\n").arg(trip, kPrefix).arg(i, 3, 10, QLatin1Char('0'));
        times += stop(trip, 1, i, leaves, leaves);
        times += stop(trip, 2, i + 1 + i % 5, middle, middle + 5);
        times += stop(trip, 3, i + 7, end, end);
    }
    return {
        {QStringLiteral("stops.txt"), stops},
        {QStringLiteral("routes.txt"), QStringLiteral("route_id,route_type\nr,2\n")},
        {QStringLiteral("calendar.txt"),
         QStringLiteral("service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
                        "start_date,end_date\ndaily,1,1,1,1,1,1,1,20000101,20991231\n")},
        {QStringLiteral("trips.txt"), trips},
        {QStringLiteral("stop_times.txt"), times},
    };
}

struct Run {
    double ms = 0;
    QString problem; // empty when the query brought back every train
};

Run query(const QString& base) {
    QProcess client;
    client.setProgram(QStringLiteral(QUILLON_QUERY_PROGRAM));
    client.setArguments({QStringLiteral("--timetable-base"), base, QStringLiteral("--format"),
                         QStringLiteral("json"), QStringLiteral("train"), kPrefix});
    QElapsedTimer timer;
    timer.start();
    client.start();
    const bool finished = client.waitForFinished(10000);
    Run run{double(timer.nsecsElapsed()) / 1e6, {}};
    if (!finished) {
        client.kill();
        client.waitForFinished();
        run.problem = QStringLiteral("the client did not finish in 10 s");
    } else if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0) {
        run.problem = QStringLiteral("the client exited with %1: %2")
                          .arg(client.exitCode())
                          .arg(QString::fromUtf8(client.readAllStandardError()));
    } else {
        const QJsonObject report = QJsonDocument::fromJson(client.readAllStandardOutput()).object();
        const qsizetype rows = report.value(QStringLiteral("rows")).toArray().size();
        if (rows != kTrains)
            run.problem = QStringLiteral("%1 rows instead of %2").arg(rows).arg(kTrains);
    }
    return run;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return fail(QStringLiteral("no temporary folder"));
    for (const auto& [name, text] : feed()) {
        QFile table(dir.filePath(name));
        if (!table.open(QIODevice::WriteOnly) || table.write(text.toUtf8()) < 0 || !table.flush())
            return fail(QStringLiteral("cannot write %1").arg(table.fileName()));
    }

    BenchService service;
    if (!service.start({QStringLiteral("--gtfs"), dir.path()}))
        return fail(QStringLiteral("the service did not start"));
    const QString base = service.base();

    std::vector<double> ms;
    QString problem;
    for (int i = 0; i < kWarmUpRuns + kRuns && problem.isEmpty(); ++i) {
        const Run run = query(base);
        problem = run.problem;
        if (i >= kWarmUpRuns)
            ms.push_back(run.ms);
    }
    if (!problem.isEmpty())
        return fail(problem);

    std::sort(ms.begin(), ms.end());
    const double median = percentile(ms, 0.5);
    std::printf("bench_roundtrip: quillon-query --format json train %s, %d rows, %d runs "
                "after %d warm-up runs\n",
                qPrintable(kPrefix), kTrains, kRuns, kWarmUpRuns);
    std::printf("  min %.1f ms, median %.1f ms, p90 %.1f ms, max %.1f ms\n", ms.front(), median,
                percentile(ms, 0.9), ms.back());
    const bool pass = median <= kMaxMedianMs;
    std::printf("  %s  median %.1f ms, target <= %.0f ms\n", pass ? "PASS" : "FAIL", median,
                kMaxMedianMs);
    return pass ? 0 : 1;
}
