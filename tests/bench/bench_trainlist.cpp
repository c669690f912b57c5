// Throughput of the train-number scrape on large result pages, and how it grows with size.
// Targets: at least 100 MB/s on a 10 MB page, and a 20 MB page in at most 2.2 times the time
// of a 10 MB page (the scrape must stay linear). MB here means 10^6 bytes of the page as the
// service sends it, in GB2312.
#include "benchstations.h"

#include "module1.h"
#include "trainlist.h"

#include <QElapsedTimer>
#include <QStringEncoder>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

constexpr double kMegabyte = 1e6;
constexpr double kMinThroughput = 100.0; // MB/s on the 10 MB page
constexpr double kMaxGrowth = 2.2;       // time of 20 MB over time of 10 MB
constexpr int kRuns = 9;

struct TrainClass {
    char16_t letter;
    const char16_t* name;
};
const TrainClass kClasses[] = {
    {u'G', u"高速动车"}, {u'D', u"动车组"}, {u'Z', u"直达特快"}, {u'T', u"特快"}, {u'K', u"快速"},
};

QString clock(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60 % 24, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString duration(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString centred(const QString& text) {
    return QStringLiteral("<td align=center>") + text + QStringLiteral("</td>");
}

// One train-number row as the page-load step leaves it (no double quotes).
QString trainRow(int i) {
    const TrainClass& cls = kClasses[i % std::size(kClasses)];
    const QString train = cls.letter + QString::number(1 + (i * 37) % 9999);
    const QString origin = stationName(i * 7);
    const QString terminus = stationName(i * 7 + 1 + i % 11);
    const int departs = (i * 53) % (24 * 60);
    const int travels = 90 + (i * 131) % (48 * 60);
    QString row = QStringLiteral("<tr><td width=75 align=center class=bt><a href=train.asp?cc=");
    row += train + QStringLiteral(" target=_blank><span class=blue1><b>") + train +
           QStringLiteral("</b></span></a></td><td><img src=img/qi.gif align=absbottom />") +
           origin + QStringLiteral("</td><td><img src=img/zhong.gif align=absmiddle />") +
           terminus + QStringLiteral("</td><td class=bt>") + QString::fromUtf16(cls.name) +
           QStringLiteral("</td>");
    row += centred(origin) +
           centred(QStringLiteral("<strong>") + clock(departs) + QStringLiteral("</strong>"));
    row += centred(QString::number(1 + i % 3)) + centred(duration(travels)) +
           centred(QString::number(1 + (departs + travels) / (24 * 60)));
    row += centred(terminus) +
           centred(QStringLiteral("<strong>") + clock(departs + travels) +
                   QStringLiteral("</strong>")) +
           centred(QString::number(1 + i % 30)) + centred(QString::number(60 + travels * 2));
    return row + QStringLiteral("</tr>\n");
}

struct Page {
    QString text;
    QByteArray gb; // the same page as the service sends it
    int rows = 0;
};

Page makePage(qsizetype bytes) {
    Page page;
    QStringEncoder gb("GB18030");
    const auto add = [&](const QString& piece) {
        page.text += piece;
        page.gb += gb.encode(piece);
    };
    add(QStringLiteral("<html><head><title>列车时刻查询</title></head><body><h3>车次查询</h3>"
                       "<table class=list>\n<tr class=head><td>车次</td><td>始发站</td>"
                       "<td>终点站</td><td>列车类型</td></tr>\n"));
    const QString tail = QStringLiteral("</table></body></html>\n");
    const qsizetype tailBytes = QByteArray(gb.encode(tail)).size();
    while (page.gb.size() + tailBytes < bytes)
        add(trainRow(page.rows++));
    add(tail);
    return page;
}

struct Timing {
    double best, median; // seconds
};

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Sample {
    double cpu, wall; // seconds
};

// What `work` costs; what it returns is freed after the clocks stop. The scrape runs on one
// thread, so its processor time is its cost even while other jobs share the two cores and
// stretch the wall time.
template <typename Work> Sample timeOnce(Work work) {
    QElapsedTimer wall;
    wall.start();
    const double cpu = threadSeconds();
    const auto kept = work();
    return {threadSeconds() - cpu, double(wall.nsecsElapsed()) / 1e9};
}

Timing summarise(const std::vector<Sample>& samples, double Sample::*clock) {
    std::vector<double> seconds;
    for (const Sample& s : samples)
        seconds.push_back(s.*clock);
    std::sort(seconds.begin(), seconds.end());
    return {seconds.front(), seconds[seconds.size() / 2]};
}

// A benchmark of a broken scrape measures nothing; check the page came back whole.
bool scrapedWhole(const Page& page) {
    const TrainListResult result = scrapeTrainList(page.text, TrainList::ListView1);
    if (result.rows.size() != page.rows)
        return false;
    const int last = page.rows - 1;
    const QStringList& row = result.rows.last();
    const TrainClass& cls = kClasses[last % std::size(kClasses)];
    const QString train = cls.letter + QString::number(1 + (last * 37) % 9999);
    return row.size() == kTrainListColumns && row[0] == QString::number(page.rows) &&
           row[1] == train && row[4] == QString::fromUtf16(cls.name) &&
           row[11] == QStringLiteral("show_train.asp?cc=") + train;
}

TrainListResult scrape(const Page& page) {
    return scrapeTrainList(page.text, TrainList::ListView1);
}

double mbPerSecond(const Page& page, double seconds) {
    return double(page.gb.size()) / kMegabyte / seconds;
}

} // namespace

int main() {
    const Page small = makePage(qsizetype(10 * kMegabyte));
    const Page large = makePage(qsizetype(20 * kMegabyte));
    if (!scrapedWhole(small) || !scrapedWhole(large)) {
        std::fprintf(stderr, "bench_trainlist: the scrape did not return the generated rows\n");
        return 2;
    }

    // The two sizes take turns, so a burst of other load hits both alike instead of skewing
    // their ratio.
    std::vector<Sample> s10, s20, sDecode;
    for (int run = 0; run < kRuns; ++run) {
        s10.push_back(timeOnce([&] { return scrape(small); }));
        s20.push_back(timeOnce([&] { return scrape(large); }));
        sDecode.push_back(
            timeOnce([&] { return Module1::DecodeBytes(small.gb, QStringLiteral("gb2312")); }));
    }

    std::printf("bench_trainlist: scrapeTrainList(ListView1), %d runs per size, "
                "MB = 10^6 bytes of the page in GB2312\n",
                kRuns);
    const auto report = [](const char* what, const Page& page, const Timing& t) {
        std::printf("    %-26s best %6.1f ms = %6.1f MB/s   median %6.1f ms = %6.1f MB/s\n", what,
                    t.best * 1e3, mbPerSecond(page, t.best), t.median * 1e3,
                    mbPerSecond(page, t.median));
    };
    for (const auto& [name, clock] :
         {std::pair{"processor time", &Sample::cpu}, std::pair{"wall time", &Sample::wall}}) {
        std::printf("  %s:\n", name);
        report(qPrintable(QStringLiteral("10 MB page (%1 rows)").arg(small.rows)), small,
               summarise(s10, clock));
        report(qPrintable(QStringLiteral("20 MB page (%1 rows)").arg(large.rows)), large,
               summarise(s20, clock));
        report("DecodeBytes(gb2312) 10 MB", small, summarise(sDecode, clock));
    }

    // Judged on processor time of the best runs: other jobs on the machine only ever add
    // time, so that is the closest to what the code itself costs.
    const Timing t10 = summarise(s10, &Sample::cpu);
    const Timing t20 = summarise(s20, &Sample::cpu);
    const double rate = mbPerSecond(small, t10.best);
    const double growth = t20.best / t10.best;
    const bool fastEnough = rate >= kMinThroughput;
    const bool linear = growth <= kMaxGrowth;
    std::printf("  %s  scrape of 10 MB: %.1f MB/s (target >= %.0f MB/s)\n",
                fastEnough ? "PASS" : "FAIL", rate, kMinThroughput);
    std::printf("  %s  time of 20 MB / time of 10 MB: %.2f (target <= %.1f; median runs %.2f)\n",
                linear ? "PASS" : "FAIL", growth, kMaxGrowth, t20.median / t10.median);
    return fastEnough && linear ? 0 : 1;
}
