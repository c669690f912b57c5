// The GTFS feed reader against the least a loader must do, in the same run: a minimal loader
// that reads each table whole, splits its fields, hashes the ids, resolves references and
// keeps the rows. Both read the same tables of a national-size feed (make_national_feed), the
// feed repeated --scale times (default 8) so each run reads tens of megabytes; figures are
// the median of several alternating runs, in processor time. Also measured, in a child process
// each: peak resident memory while loading against the resident memory once the feed is loaded (the
// rows kept, the freed heap given back).
// Last, the service itself is started on the national feed and timed to its first answer
// and to a complete station list (its pinyin made), median and slowest of several starts.
// Targets: the reader's time at most 1.3x the minimal loader's, peak at most 1.3x steady,
// the first answer within 150 ms of the start.
//
// usage: bench_feedload [--scale N]
#include "gtfs/feed.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <httplib.h>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr double kMaxTimeRatio = 1.3;
constexpr double kMaxPeakRatio = 1.3;
constexpr int kRuns = 7;
constexpr double kMaxStartMs = 150;
constexpr int kStarts = 7;

int fail(const QString& why) {
    std::fprintf(stderr, "bench_feedload: %s\n", qPrintable(why));
    return 2;
}

// ---- The minimal loader -------------------------------------------------------------------

struct MinimalStop {
    std::string id, name, parent;
    double lat = 0, lon = 0;
};
struct MinimalRoute {
    std::string id, shortName, longName;
    int type = 0;
};
struct MinimalTrip {
    std::string id, shortName;
    int route = -1, service = -1;
};
struct MinimalStopTime {
    int trip = -1, stop = -1, sequence = 0, arrival = -1, departure = -1;
};
struct MinimalFeed {
    std::vector<MinimalStop> stops;
    std::vector<MinimalRoute> routes;
    std::vector<MinimalTrip> trips;
    std::vector<MinimalStopTime> stopTimes;
    std::unordered_map<std::string, int> stopIds, routeIds, tripIds, serviceIds;
    size_t bytes = 0;
};

// Calls onRow with the fields of each data line of a CSV file, found by the header's names.
// Fields are views into the text unless quotes must be undone.
template <typename OnRow>
bool eachRow(const std::string& path, const std::vector<std::string_view>& names, size_t& bytes,
             OnRow onRow) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    std::string text;
    char piece[1 << 16];
    for (size_t n; (n = std::fread(piece, 1, sizeof piece, in)) > 0;)
        text.append(piece, n);
    std::fclose(in);
    bytes += text.size();
    std::vector<std::string_view> fields;
    std::vector<std::string> unquoted;
    std::vector<int> at(names.size(), -1);
    std::vector<std::string_view> row(names.size());
    bool header = true;
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos < text.size()) {
        fields.clear();
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find('"') == std::string_view::npos) {
            for (size_t from = 0;;) {
                const size_t comma = line.find(',', from);
                fields.push_back(line.substr(from, comma - from));
                if (comma == std::string_view::npos)
                    break;
                from = comma + 1;
            }
        } else {
            // Quoted fields may hold commas, doubled quotes and line breaks.
            unquoted.clear();
            unquoted.emplace_back();
            bool quoted = false;
            for (; pos < text.size(); ++pos) {
                const char c = text[pos];
                if (quoted && c == '"' && pos + 1 < text.size() && text[pos + 1] == '"')
                    unquoted.back() += '"', ++pos;
                else if (c == '"')
                    quoted = !quoted;
                else if (!quoted && c == ',')
                    unquoted.emplace_back();
                else if (!quoted && c == '\n')
                    break;
                else if (quoted || c != '\r')
                    unquoted.back() += c;
            }
            end = pos;
            fields.assign(unquoted.begin(), unquoted.end());
        }
        pos = end + 1;
        if (header) {
            header = false;
            for (size_t c = 0; c < names.size(); ++c)
                for (size_t f = 0; f < fields.size(); ++f)
                    if (fields[f] == names[c])
                        at[c] = int(f);
            continue;
        }
        if (fields.size() == 1 && fields[0].empty())
            continue;
        for (size_t c = 0; c < names.size(); ++c)
            row[c] = at[c] >= 0 && size_t(at[c]) < fields.size() ? fields[size_t(at[c])]
                                                                 : std::string_view();
        onRow(row);
    }
    return true;
}

int number(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

int seconds(std::string_view text) {
    if (text.size() < 8)
        return -1;
    const size_t colon = text.find(':');
    return number(text.substr(0, colon)) * 3600 + number(text.substr(colon + 1, 2)) * 60 +
           number(text.substr(colon + 4, 2));
}

int find(const std::unordered_map<std::string, int>& ids, std::string_view id) {
    const auto it = ids.find(std::string(id));
    return it == ids.end() ? -1 : it->second;
}

bool minimalLoad(const std::string& dir, MinimalFeed& feed) {
    auto path = [&](const char* table) { return dir + "/" + table; };
    bool ok = eachRow(path("stops.txt"),
                      {"stop_id", "stop_name", "parent_station", "stop_lat", "stop_lon"},
                      feed.bytes, [&](const std::vector<std::string_view>& r) {
                          MinimalStop s{std::string(r[0]), std::string(r[1]), std::string(r[2])};
                          std::from_chars(r[3].data(), r[3].data() + r[3].size(), s.lat);
                          std::from_chars(r[4].data(), r[4].data() + r[4].size(), s.lon);
                          if (feed.stopIds.emplace(s.id, int(feed.stops.size())).second)
                              feed.stops.push_back(std::move(s));
                      });
    ok = ok && eachRow(path("routes.txt"),
                       {"route_id", "route_short_name", "route_long_name", "route_type"},
                       feed.bytes, [&](const std::vector<std::string_view>& r) {
                           MinimalRoute route{std::string(r[0]), std::string(r[1]),
                                              std::string(r[2]), number(r[3])};
                           if (feed.routeIds.emplace(route.id, int(feed.routes.size())).second)
                               feed.routes.push_back(std::move(route));
                       });
    auto service = [&](const std::vector<std::string_view>& r) {
        feed.serviceIds.emplace(std::string(r[0]), int(feed.serviceIds.size()));
    };
    ok = ok && eachRow(path("calendar.txt"), {"service_id"}, feed.bytes, service);
    ok = ok && eachRow(path("calendar_dates.txt"), {"service_id"}, feed.bytes, service);
    ok = ok && eachRow(path("trips.txt"), {"route_id", "service_id", "trip_id", "trip_short_name"},
                       feed.bytes, [&](const std::vector<std::string_view>& r) {
                           MinimalTrip t{std::string(r[2]), std::string(r[3]),
                                         find(feed.routeIds, r[0]), find(feed.serviceIds, r[1])};
                           if (feed.tripIds.emplace(t.id, int(feed.trips.size())).second)
                               feed.trips.push_back(std::move(t));
                       });
    ok = ok &&
         eachRow(path("stop_times.txt"),
                 {"trip_id", "arrival_time", "departure_time", "stop_id", "stop_sequence"},
                 feed.bytes, [&](const std::vector<std::string_view>& r) {
                     feed.stopTimes.push_back({find(feed.tripIds, r[0]), find(feed.stopIds, r[3]),
                                               number(r[4]), seconds(r[1]), seconds(r[2])});
                 });
    ok = ok && eachRow(path("frequencies.txt"), {"trip_id"}, feed.bytes,
                       [&](const std::vector<std::string_view>& r) { find(feed.tripIds, r[0]); });
    return ok && eachRow(path("translations.txt"), {"record_id"}, feed.bytes,
                         [&](const std::vector<std::string_view>&) {});
}

// ---- Measuring ----------------------------------------------------------------------------

const char* const kTables[] = {"stops.txt",          "routes.txt",      "calendar.txt",
                               "calendar_dates.txt", "trips.txt",       "stop_times.txt",
                               "frequencies.txt",    "translations.txt"};

qint64 feedBytes(const QString& dir) {
    qint64 bytes = 0;
    for (const char* table : kTables)
        bytes += QFileInfo(dir + u'/' + QLatin1String(table)).size();
    return bytes;
}

// The feed of `from` with its trips, stop times and frequencies written `scale` times under
// new trip ids, so the reader sees a bigger network of the same shape.
bool scaleFeed(const QString& from, const QString& to, int scale) {
    QDir().mkpath(to);
    for (const char* table : kTables) {
        const QString name = QLatin1String(table);
        QFile in(from + u'/' + name);
        QFile out(to + u'/' + name);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        const QByteArray text = in.readAll();
        const bool perTrip = name == u"stop_times.txt" || name == u"frequencies.txt";
        if (name != u"trips.txt" && !perTrip) {
            out.write(text);
            continue;
        }
        const qsizetype headerEnd = text.indexOf('\n') + 1;
        out.write(text.left(headerEnd));
        const QByteArray rows = text.mid(headerEnd);
        for (int copy = 0; copy < scale; ++copy) {
            const QByteArray prefix = copy == 0 ? QByteArray() : "x" + QByteArray::number(copy);
            if (prefix.isEmpty()) {
                out.write(rows);
                continue;
            }
            // trip_id is the first column of stop_times and frequencies, the third of trips.
            for (const QByteArray& line : rows.split('\n')) {
                if (line.isEmpty())
                    continue;
                QList<QByteArray> fields = line.split(',');
                fields[perTrip ? 0 : 2].prepend(prefix);
                out.write(fields.join(',') + '\n');
            }
        }
    }
    return true;
}

// A figure of /proc/PID/status in KB ("VmHWM:", "VmRSS:"); PID "self" for this process.
double statusKb(const QString& pid, const char* field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toDouble();
    return -1;
}

// The child's part: load once with `which`, print "BEFORE PEAK STEADY" in KB.
int measureMemory(const QString& which, const QString& dir) {
    const double before = statusKb(QStringLiteral("self"), "VmRSS:");
    gtfs::Feed feed;
    MinimalFeed minimal;
    if (which == u"reader") {
        QString error;
        const auto source = gtfs::FeedSource::open(dir, &error);
        if (!source || !gtfs::readFeed(*source, feed, &error))
            return fail(error);
    } else if (!minimalLoad(dir.toStdString(), minimal)) {
        return fail(QStringLiteral("the minimal loader failed"));
    }
    malloc_trim(0);
    std::printf("%.0f %.0f %.0f\n", before, statusKb(QStringLiteral("self"), "VmHWM:"),
                statusKb(QStringLiteral("self"), "VmRSS:"));
    return feed.stopTimes.size() + minimal.stopTimes.size() > 0 ? 0 : 1;
}

struct Memory {
    double before = 0, peak = 0, steady = 0;
};

bool childMemory(const QString& which, const QString& dir, Memory& m) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {u"--memory-of"_s, which, dir});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        return false;
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    if (f.size() != 3)
        return false;
    m = {f[0].toDouble() / 1024, f[1].toDouble() / 1024, f[2].toDouble() / 1024};
    return true;
}

// Processor time of this process: the machine is shared, and waiting for it is no loader's
// doing. The tables are in the page cache after the first run.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The service started on the national feed: milliseconds to its start line, to its first
// answer to a station-to-station query and to the whole stations.txt asked right after, and
// its peak and resident memory then (MB).
struct Start {
    double lineMs = 0, answerMs = 0, stationsMs = 0, peakMb = 0, residentMb = 0;
    double cpuMs = 0; // the service's own processor time until then, in 10 ms ticks
};

double processCpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // After the parenthesised name: state is field 3, utime and stime are fields 14 and 15.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return f.size() > 12 ? (f[11].toDouble() + f[12].toDouble()) * 1000 / 100 : -1;
}

std::optional<Start> startService(const QString& feed, const std::string& path) {
    QProcess service;
    QElapsedTimer timer;
    timer.start();
    service.start(QStringLiteral(QUILLON_SERVICE_PROGRAM),
                  {u"--gtfs"_s, feed, u"--date"_s, u"20260601"_s, u"--port"_s, u"0"_s, u"--host"_s,
                   u"127.0.0.1"_s});
    static const QRegularExpression ready(QStringLiteral("listening on http://[^:]+:(\\d+)/"));
    QByteArray out;
    Start start;
    int port = 0;
    while (port == 0 && timer.elapsed() < 30000 && service.waitForReadyRead(30000)) {
        out += service.readAllStandardOutput();
        const QRegularExpressionMatch m = ready.match(QString::fromUtf8(out));
        if (m.hasMatch()) {
            start.lineMs = double(timer.nsecsElapsed()) / 1e6;
            port = m.captured(1).toInt();
        }
    }
    std::optional<Start> result;
    if (port != 0) {
        httplib::Client client("127.0.0.1", port);
        const auto answer = client.Get(path);
        start.answerMs = double(timer.nsecsElapsed()) / 1e6;
        start.cpuMs = processCpuMs(service.processId());
        const auto stations = client.Get("/stations.txt");
        start.stationsMs = double(timer.nsecsElapsed()) / 1e6;
        start.peakMb = statusKb(QString::number(service.processId()), "VmHWM:") / 1024;
        start.residentMb = statusKb(QString::number(service.processId()), "VmRSS:") / 1024;
        if (answer && answer->status == 200 && stations && stations->status == 200 &&
            !stations->body.empty())
            result = start;
    }
    service.terminate();
    service.waitForFinished(5000);
    return result;
}

// The first station-to-station query of the generator's bench_queries.txt, as the client
// asks it (GB18030, percent-encoded).
std::string firstQuery(const QString& national) {
    QFile in(national + QStringLiteral("/bench_queries.txt"));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    while (!in.atEnd()) {
        const QStringList f = QString::fromUtf8(in.readLine()).trimmed().split(u'\t');
        if (f.size() == 3 && f[0] == u"between") {
            QStringEncoder gb("GB18030");
            const QByteArray from = QByteArray(gb.encode(f[1])).toPercentEncoding();
            const QByteArray to = QByteArray(gb.encode(f[2])).toPercentEncoding();
            return ("/show_findresult.asp?CX_Type=ZZ&FZ=" + from + "&DZ=" + to + "&CC=&CZ=")
                .toStdString();
        }
    }
    return {};
}

bool report(const char* what, bool pass, const QString& figure) {
    std::printf("  %s  %-36s %s\n", pass ? "PASS" : "FAIL", what, qPrintable(figure));
    return pass;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"--memory-of")
        return measureMemory(args[2], args[3]);
    int scale = 8;
    if (args.size() == 3 && args[1] == u"--scale")
        scale = std::max(1, args[2].toInt());

    QTemporaryDir dir;
    if (!dir.isValid())
        return fail(QStringLiteral("no temporary folder"));
    const QString national = dir.filePath(QStringLiteral("national"));
    const QString feedDir = dir.filePath(QStringLiteral("feed"));
    if (QProcess::execute(QStringLiteral(QUILLON_FEED_GENERATOR), {national}) != 0)
        return fail(QStringLiteral("the feed generator failed"));
    if (!scaleFeed(national, feedDir, scale))
        return fail(QStringLiteral("cannot write the scaled feed"));
    const double mb = double(feedBytes(feedDir)) / 1e6;

    std::vector<double> readerMs, minimalMs;
    size_t readerRows = 0, minimalRows = 0;
    for (int run = 0; run < kRuns; ++run) {
        {
            const double start = cpuMs();
            gtfs::Feed feed;
            QString error;
            const auto source = gtfs::FeedSource::open(feedDir, &error);
            if (!source || !gtfs::readFeed(*source, feed, &error))
                return fail(error);
            readerRows = feed.stopTimes.size();
            readerMs.push_back(cpuMs() - start);
        }
        {
            const double start = cpuMs();
            MinimalFeed feed;
            if (!minimalLoad(feedDir.toStdString(), feed))
                return fail(QStringLiteral("the minimal loader failed"));
            minimalRows = feed.stopTimes.size();
            minimalMs.push_back(cpuMs() - start);
        }
    }
    if (readerRows != minimalRows)
        return fail(QStringLiteral("the loaders disagree: %1 and %2 stop times")
                        .arg(readerRows)
                        .arg(minimalRows));

    const double reader = median(readerMs), minimal = median(minimalMs);
    std::printf("bench_feedload: national feed x%d, %.1f MB, %zu stop times, median of %d runs, "
                "processor time\n",
                scale, mb, readerRows, kRuns);
    std::printf("  ----  %-36s %.0f ms, %.0f MB/s\n", "minimal loader", minimal,
                mb / minimal * 1000);
    bool pass = report("feed reader", reader <= kMaxTimeRatio * minimal,
                       QStringLiteral("%1 ms, %2 MB/s, %3x the minimal loader's time (target "
                                      "<= %4)")
                           .arg(reader, 0, 'f', 0)
                           .arg(mb / reader * 1000, 0, 'f', 0)
                           .arg(reader / minimal, 0, 'f', 2)
                           .arg(kMaxTimeRatio));

    for (const char* which : {"minimal", "reader"}) {
        Memory m;
        if (!childMemory(QLatin1String(which), feedDir, m))
            return fail(QStringLiteral("the memory child failed"));
        const double ratio = m.peak / m.steady;
        const QString figure =
            QStringLiteral("peak %1 MB, steady %2 MB = %3x (%4 MB before loading)")
                .arg(m.peak, 0, 'f', 1)
                .arg(m.steady, 0, 'f', 1)
                .arg(ratio, 0, 'f', 2)
                .arg(m.before, 0, 'f', 1);
        if (QLatin1String(which) == u"reader")
            pass &= report("reader memory while loading", ratio <= kMaxPeakRatio, figure);
        else
            std::printf("  ----  %-36s %s\n", "minimal loader memory", qPrintable(figure));
    }

    // The service on the national feed as generated, from its start to its first answer.
    const std::string query = firstQuery(national);
    std::vector<Start> starts;
    for (int i = 0; i < kStarts && !query.empty(); ++i) {
        if (const std::optional<Start> s = startService(national, query))
            starts.push_back(*s);
    }
    if (starts.empty())
        return fail(QStringLiteral("the service did not answer on the national feed"));
    std::vector<double> stationsMs;
    for (const Start& s : starts)
        stationsMs.push_back(s.stationsMs);
    std::sort(starts.begin(), starts.end(),
              [](const Start& a, const Start& b) { return a.answerMs < b.answerMs; });
    const Start& mid = starts[starts.size() / 2];
    pass &= report("service start to first answer", mid.answerMs <= kMaxStartMs,
                   QStringLiteral("%1 ms, slowest %2 ms (start line at %3 ms; median of %4, "
                                  "wall clock; target <= %5); its processor time %6 ms")
                       .arg(mid.answerMs, 0, 'f', 0)
                       .arg(starts.back().answerMs, 0, 'f', 0)
                       .arg(mid.lineMs, 0, 'f', 0)
                       .arg(starts.size())
                       .arg(kMaxStartMs)
                       .arg(mid.cpuMs, 0, 'f', 0));
    std::printf("  ----  %-36s %.0f ms, slowest %.0f ms (median, wall clock)\n",
                "service start to whole stations.txt", median(stationsMs),
                *std::max_element(stationsMs.begin(), stationsMs.end()));
    std::printf("  ----  %-36s peak %.1f MB, resident %.1f MB = %.2fx\n",
                "service memory after stations.txt", mid.peakMb, mid.residentMb,
                mid.peakMb / mid.residentMb);
    return pass ? 0 : 1;
}
