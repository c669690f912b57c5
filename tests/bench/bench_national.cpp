// The timetable service on a national-size GTFS feed (written by make_national_feed), seen
// from outside: time to the start line, peak resident memory, latency of each query kind from
// a loopback client, 8 parallel clients, and how a station-to-station query's median on the
// national feed compares with the built-in sample in the same run (a query must not scan
// every trip, so the feed's size should barely show).
// Targets: load <= 3 s, peak RSS <= 400 MB, p99 <= 10 ms per kind, no error in parallel,
// median ratio <= 3.
#include "benchservice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr double kMaxLoadMs = 3000;
constexpr double kMaxPeakMb = 400;
constexpr double kMaxP99Ms = 10;
constexpr double kMaxRatio = 3;
constexpr int kRunsPerKind = 1000;
constexpr int kClients = 8;
constexpr int kRequestsPerClient = 2000;
const char* const kServiceDay = "20260601"; // the day make_national_feed's calendars meet

int fail(const QString& why) {
    std::fprintf(stderr, "bench_national: %s\n", qPrintable(why));
    return 2;
}

QByteArray field(const QString& text) {
    QStringEncoder gb("GB18030");
    return QByteArray(gb.encode(text)).toPercentEncoding();
}

QByteArray betweenPath(const QString& from, const QString& to) {
    return "/show_findresult.asp?CX_Type=ZZ&FZ=" + field(from) + "&DZ=" + field(to) + "&CC=&CZ=";
}

// The query paths of the benchmark, by kind, read from the generator's bench_queries.txt.
std::map<QString, std::vector<std::string>> readQueries(const QString& file) {
    std::map<QString, std::vector<std::string>> paths;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return paths;
    while (!in.atEnd()) {
        const QStringList f = QString::fromUtf8(in.readLine()).trimmed().split(u'\t');
        QByteArray path;
        if ((f[0] == u"between" || f[0] == u"transfer") && f.size() == 3)
            path = betweenPath(f[1], f[2]);
        else if (f[0] == u"station" && f.size() == 2)
            path = "/show_findresult.asp?CX_Type=CZ&FZ=&DZ=&CC=&CZ=" + field(f[1]);
        else if (f[0] == u"train" && f.size() == 2)
            path = "/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=" + field(f[1]);
        if (!path.isEmpty())
            paths[f[0]].push_back(path.toStdString());
    }
    return paths;
}

std::string gb(const char16_t* text) {
    QStringEncoder encoder("GB18030");
    return QByteArray(encoder.encode(QString::fromUtf16(text))).toStdString();
}

// Whether a page answers its query the way the generator meant: a fast error page must not
// pass for a fast answer.
bool answers(const QString& kind, const std::string& body) {
    static const std::string transfer = gb(u"请选择中转站");
    static const std::vector<std::string> misses = {gb(u"发站不存在。"), gb(u"到站不存在。"),
                                                    gb(u"不存在所查询的车次信息。"), transfer};
    if (kind == u"transfer")
        return body.find(transfer) != std::string::npos;
    return std::none_of(misses.begin(), misses.end(),
                        [&](const std::string& m) { return body.find(m) != std::string::npos; });
}

// Times each request from one keep-alive loopback client; an error counts as missing.
std::vector<double> timeRequests(int port, const std::vector<std::string>& paths, int runs,
                                 int& errors, const QString& kind = {}, int* answered = nullptr) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto result = client.Get(paths[size_t(i) % paths.size()]);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        if (!result || result->status != 200 || result->body.empty())
            ++errors;
        else
            ms.push_back(elapsed);
        if (answered && result && answers(kind, result->body))
            ++*answered;
    }
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString feed = makeNationalFeed(dir);
    if (feed.isEmpty())
        return fail(QStringLiteral("the national feed could not be made"));
    const auto queries = readQueries(feed + QStringLiteral("/bench_queries.txt"));
    for (const char* kind : {"between", "station", "train", "transfer"})
        if (queries.count(QString::fromLatin1(kind)) == 0)
            return fail(
                QStringLiteral("no %1 queries from the generator").arg(QLatin1String(kind)));

    BenchService national, sample;
    if (!national.start({u"--gtfs"_s, feed, u"--date"_s, QLatin1String(kServiceDay)}))
        return fail(QStringLiteral("the service did not start on the national feed"));
    if (!sample.start({}))
        return fail(QStringLiteral("the service did not start on its sample"));

    std::printf("bench_national: quillon-service --gtfs <national feed> --date %s\n", kServiceDay);
    bool pass = report(
        "load to the start line", national.loadMs() <= kMaxLoadMs,
        QStringLiteral("%1 ms (target <= %2)").arg(national.loadMs(), 0, 'f', 0).arg(kMaxLoadMs));

    int errors = 0;
    std::map<QString, double> medians;
    for (const auto& [kind, paths] : queries) {
        int answered = 0;
        const std::vector<double> ms =
            timeRequests(national.port(), paths, kRunsPerKind, errors, kind, &answered);
        if (ms.empty())
            return fail(QStringLiteral("every %1 query failed").arg(kind));
        // Some generated pairs have no train on the service day; most must.
        pass &= report(qPrintable(kind + QStringLiteral(" queries answered")),
                       answered * 2 >= kRunsPerKind,
                       QStringLiteral("%1 of %2").arg(answered).arg(kRunsPerKind));
        medians[kind] = percentile(ms, 0.5);
        const double p99 = percentile(ms, 0.99);
        pass &= report(qPrintable(kind + QStringLiteral(" query p99")), p99 <= kMaxP99Ms,
                       QStringLiteral("p50 %1 ms, p99 %2 ms (target <= %3)")
                           .arg(medians[kind], 0, 'f', 2)
                           .arg(p99, 0, 'f', 2)
                           .arg(kMaxP99Ms));
    }

    std::vector<std::string> mixed;
    for (const auto& [kind, paths] : queries)
        mixed.insert(mixed.end(), paths.begin(), paths.end());
    std::atomic<int> parallelErrors = 0;
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            std::vector<std::string> mine(mixed.begin() + c, mixed.end());
            mine.insert(mine.end(), mixed.begin(), mixed.begin() + c);
            int e = 0;
            timeRequests(national.port(), mine, kRequestsPerClient, e);
            parallelErrors += e;
        });
    for (std::thread& t : clients)
        t.join();
    pass &= report(
        "8 clients x 2,000 requests", parallelErrors == 0 && errors == 0,
        QStringLiteral("%1 errors, %2 ms in all").arg(parallelErrors + errors).arg(wall.elapsed()));

    httplib::Client lister("127.0.0.1", national.port());
    QElapsedTimer listed;
    listed.start();
    const auto list = lister.Get("/stations.txt");
    const double listMs = double(listed.nsecsElapsed()) / 1e6;
    const qsizetype stations =
        list ? std::count(list->body.begin(), list->body.end(), '\n') - 1 : 0;
    pass &= report("stations.txt", list && list->status == 200 && stations > 0,
                   QStringLiteral("%1 stations, %2 KB in %3 ms")
                       .arg(stations)
                       .arg(list ? list->body.size() / 1024 : 0)
                       .arg(listMs, 0, 'f', 2));

    const double peak = national.peakMb();
    pass &= report("peak resident memory (VmHWM)", peak > 0 && peak <= kMaxPeakMb,
                   QStringLiteral("%1 MB (target <= %2)").arg(peak, 0, 'f', 0).arg(kMaxPeakMb));

    const std::vector<std::string> samplePath{
        betweenPath(QStringLiteral("西安"), QStringLiteral("北京西")).toStdString()};
    int sampleErrors = 0;
    const double sampleMedian =
        percentile(timeRequests(sample.port(), samplePath, kRunsPerKind, sampleErrors), 0.5);
    const double ratio = medians[QStringLiteral("between")] / sampleMedian;
    pass &= report("between median, national / sample", sampleErrors == 0 && ratio <= kMaxRatio,
                   QStringLiteral("%1 ms / %2 ms = %3 (goal <= %4)")
                       .arg(medians[QStringLiteral("between")], 0, 'f', 3)
                       .arg(sampleMedian, 0, 'f', 3)
                       .arg(ratio, 0, 'f', 2)
                       .arg(kMaxRatio));
    return pass ? 0 : 1;
}
