// The timetable service on a national-size GTFS feed asked about several days: the first
// question about a day (which builds it) and questions about days already built, median and
// p99 from a loopback client, and resident memory with one day and with seven days built.
// Targets: a new day <= 300 ms, a built day p99 <= 10 ms, seven days <= 3x the memory of one.
#include "benchservice.h"

#include <QCoreApplication>
#include <QDate>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <httplib.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr double kMaxNewDayMs = 300;
constexpr double kMaxBuiltP99Ms = 10;
constexpr double kMaxMemoryRatio = 3;
constexpr int kKeptDays = 7;       // what the service keeps built
constexpr int kNewDays = 40;       // first questions about a day, each a different day
constexpr int kBuiltRuns = 1000;   // questions about the days built last
const QDate kFirstDay(2026, 6, 1); // make_national_feed's service day

int fail(const QString& why) {
    std::fprintf(stderr, "bench_days: %s\n", qPrintable(why));
    return 2;
}

std::string stationPath(QDate day, const QString& station) {
    QStringEncoder gb("GB18030");
    return "/d/" + day.toString(QStringLiteral("yyyyMMdd")).toStdString() +
           "/show_findresult.asp?CX_Type=CZ&FZ=&DZ=&CC=&CZ=" +
           QByteArray(gb.encode(station)).toPercentEncoding().toStdString();
}

// A station of the feed with trains, from the service's own list.
QString busyStation(httplib::Client& client) {
    const auto list = client.Get("/stations.txt");
    if (!list)
        return {};
    QStringDecoder gb("GB18030");
    const QString text = gb.decode(QByteArray::fromStdString(list->body));
    int best = -1;
    QString name;
    for (const QString& line : text.split(u'\n')) {
        const QStringList f = line.split(u'\t');
        if (line.startsWith(u'#') || f.size() != 4)
            continue;
        if (f[3].toInt() > best) {
            best = f[3].toInt();
            name = f[0];
        }
    }
    return name;
}

double timed(httplib::Client& client, const std::string& path, bool* ok) {
    QElapsedTimer timer;
    timer.start();
    const auto result = client.Get(path);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    *ok = *ok && result && result->status == 200 &&
          result->body.find("<td width") != std::string::npos;
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString feed = makeNationalFeed(dir);
    if (feed.isEmpty())
        return fail(QStringLiteral("the national feed could not be made"));

    BenchService service;
    if (!service.start(
            {u"--gtfs"_s, feed, u"--date"_s, kFirstDay.toString(QStringLiteral("yyyyMMdd"))}))
        return fail(QStringLiteral("the service did not start on the national feed"));
    httplib::Client client("127.0.0.1", service.port());
    client.set_keep_alive(true);
    const QString station = busyStation(client);
    if (station.isEmpty())
        return fail(QStringLiteral("no station list"));
    std::printf("bench_days: quillon-service --gtfs <national feed>, station query at %s\n",
                qPrintable(station));

    // The pinned day is built at start; six more make seven.
    bool ok = true;
    timed(client, stationPath(kFirstDay, station), &ok);
    const double oneDay = service.residentMb();
    for (int d = 1; d < kKeptDays; ++d)
        timed(client, stationPath(kFirstDay.addDays(d), station), &ok);
    const double sevenDays = service.residentMb();
    bool pass =
        report("resident memory, 7 days / 1 day", ok && sevenDays <= kMaxMemoryRatio * oneDay,
               QStringLiteral("%1 MB / %2 MB = %3 (target <= %4)")
                   .arg(sevenDays, 0, 'f', 0)
                   .arg(oneDay, 0, 'f', 0)
                   .arg(sevenDays / oneDay, 0, 'f', 2)
                   .arg(kMaxMemoryRatio));

    std::vector<double> fresh;
    for (int d = kKeptDays; d < kKeptDays + kNewDays; ++d)
        fresh.push_back(timed(client, stationPath(kFirstDay.addDays(d), station), &ok));
    const double freshP50 = percentile(fresh, 0.5), freshP99 = percentile(fresh, 0.99);
    pass &= report("new day (first build)", ok && freshP99 <= kMaxNewDayMs,
                   QStringLiteral("p50 %1 ms, p99 %2 ms over %3 days (target <= %4)")
                       .arg(freshP50, 0, 'f', 1)
                       .arg(freshP99, 0, 'f', 1)
                       .arg(kNewDays)
                       .arg(kMaxNewDayMs));

    std::vector<double> built;
    const QDate lastAsked = kFirstDay.addDays(kKeptDays + kNewDays - 1);
    for (int i = 0; i < kBuiltRuns; ++i)
        built.push_back(
            timed(client, stationPath(lastAsked.addDays(-(i % kKeptDays)), station), &ok));
    const double builtP50 = percentile(built, 0.5), builtP99 = percentile(built, 0.99);
    pass &= report("built day", ok && builtP99 <= kMaxBuiltP99Ms,
                   QStringLiteral("p50 %1 ms, p99 %2 ms (target <= %3)")
                       .arg(builtP50, 0, 'f', 2)
                       .arg(builtP99, 0, 'f', 2)
                       .arg(kMaxBuiltP99Ms));
    pass &= report("peak resident memory (VmHWM)", service.peakMb() > 0,
                   QStringLiteral("%1 MB").arg(service.peakMb(), 0, 'f', 0));
    return pass ? 0 : 1;
}
