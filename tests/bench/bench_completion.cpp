// Time of one keystroke of the station completion over a list of 3,300 stations, the size of
// the national network. Target: the slowest typed text answers in at most 1 ms (median of runs).
#include "benchstations.h"

#include "stationindex.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kListSize = 3300;
constexpr int kRuns = 201;
constexpr double kTargetMs = 1.0;

// Made-up readings that share prefixes the way real ones do: many start "b", "x", "zh".
QString reading(int i) {
    static const char* const syllables[] = {"bei", "jing", "xi", "an",    "zhong", "shan",
                                            "nan", "dong", "hu", "chang", "sha",   "lan"};
    QString out;
    for (int n = i; out.size() < 6 || n > 0; n /= 12)
        out += QLatin1String(syllables[n % 12]);
    return out;
}

QList<Station> generatedStations() {
    QList<Station> stations;
    for (int i = 0; i < kListSize; ++i) {
        const QString full = reading(i);
        QString initials;
        for (qsizetype k = 0; k < full.size(); k += 3)
            initials += full[k];
        stations.append({stationName(i) + QString::number(i), full, initials, (i * 37) % 300});
    }
    return stations;
}

double medianMs(const StationIndex& index, const QString& typed) {
    std::vector<double> times;
    qsizetype sink = 0;
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer timer;
        timer.start();
        sink += index.complete(typed).size();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    if (sink < 0)
        std::puts(""); // keeps the calls from being optimised away
    return times[kRuns / 2];
}

} // namespace

int main() {
    const StationIndex index(generatedStations());
    double worst = 0;
    for (const char16_t* typed :
         {u"b", u"bei", u"beijingxi", u"bjx", u"北", u"北京西1", u"Z", u"q"}) {
        const QString text = QString::fromUtf16(typed);
        const double ms = medianMs(index, text);
        worst = std::max(worst, ms);
        std::printf("completion over %d stations, \"%s\": %.3f ms\n", kListSize,
                    text.toUtf8().constData(), ms);
    }
    const bool met = worst <= kTargetMs;
    std::printf("completion: slowest keystroke %.3f ms (target <= %.1f ms) %s\n", worst, kTargetMs,
                met ? "met" : "MISSED");
    return met ? 0 : 1;
}
