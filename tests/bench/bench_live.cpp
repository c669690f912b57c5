// The live source against a replay of the site: what the service adds to the site's own
// answer time, cached and uncached, and its memory with a national-size station list and
// 1,000 cached answers.
#include "benchservice.h"
#include "replaysite.h"

#include <QCoreApplication>
#include <QDate>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <httplib.h>

using namespace Qt::StringLiterals;

namespace {

QString telecode(int i) {
    const char code[] = {char('A' + i / 676), char('A' + i / 26 % 26), char('A' + i % 26), 0};
    return QString::fromLatin1(code);
}

QString stationName(int i) {
    return QStringLiteral("测试%1站").arg(i);
}

// The client sends station names as percent-encoded GB2312.
std::string gbPercent(const QString& text) {
    QStringEncoder gb("GB18030");
    const QByteArray bytes = gb.encode(text);
    return bytes.toPercentEncoding().toStdString();
}

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    constexpr int stations = 3300, rowsPerAnswer = 30, uncached = 1000, cachedRuns = 1000;

    ReplaySite site;
    QString script = QStringLiteral("var station_names ='");
    for (int i = 0; i < stations; ++i)
        script += QStringLiteral("@x%1|%2|%3|ceshi%1zhan|cs%1z|%1|%1|%2|||")
                      .arg(i)
                      .arg(stationName(i), telecode(i));
    site.stationScript = (script + QStringLiteral("';")).toUtf8();
    QStringList rows;
    for (int r = 0; r < rowsPerAnswer; ++r)
        rows << ReplaySite::row(QStringLiteral("G%1").arg(100 + r), telecode(r), telecode(r + 1),
                                telecode(r), telecode(r + 1), QStringLiteral("08:00"),
                                QStringLiteral("12:30"), QStringLiteral("04:30"));
    site.between.insert(QStringLiteral("*"), {200, ReplaySite::ticketAnswer(rows, {})});
    site.start();

    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    BenchService service;
    if (!service.start({u"--source"_s, u"live"_s, u"--live-base"_s, site.base(),
                        u"--live-interval-ms"_s, u"0"_s}))
        return 1;

    const QString day = QDate::currentDate().addDays(1).toString(QStringLiteral("yyyyMMdd"));
    httplib::Client replay("127.0.0.1", QUrl(site.base()).port());
    httplib::Client client("127.0.0.1", service.port());
    auto pagePath = [&](int from, int to) {
        return "/d/" + day.toStdString() +
               "/show_findresult.asp?CX_Type=ZZ&FZ=" + gbPercent(stationName(from)) +
               "&DZ=" + gbPercent(stationName(to)) + "&CC=&CZ=";
    };
    // Warm up: the station list and the init pages.
    client.Get(pagePath(0, 1));

    std::vector<double> replayMs, uncachedMs, cachedMs;
    QElapsedTimer t;
    for (int i = 0; i < uncached; ++i) {
        const std::string q = "/kyfw.12306.cn/otn/leftTicket/queryZ?leftTicketDTO.from_station=" +
                              telecode(i).toStdString() + "&leftTicketDTO.to_station=ZZZ";
        t.start();
        replay.Get(q);
        replayMs.push_back(msSince(t));
        t.start();
        const auto res = client.Get(pagePath(2 + i, 2 + i + 1));
        uncachedMs.push_back(msSince(t));
        if (!res || res->body.find("G100") == std::string::npos) {
            std::fprintf(stderr, "no rows in an answer\n");
            return 1;
        }
    }
    for (int i = 0; i < cachedRuns; ++i) {
        t.start();
        client.Get(pagePath(2 + i % 100, 3 + i % 100));
        cachedMs.push_back(msSince(t));
    }
    const double replay50 = percentile(replayMs, 0.5), replay99 = percentile(replayMs, 0.99);
    const double added99 = percentile(uncachedMs, 0.99) - replay99;
    const double cached99 = percentile(cachedMs, 0.99);
    const double mb = service.peakMb();
    std::printf("replay's own answer: p50 %.2f ms, p99 %.2f ms\n", replay50, replay99);
    std::printf("uncached page (%d pairs, %d rows each): p50 %.2f ms, p99 %.2f ms; added at p99 "
                "%.2f ms (goal <= 20)\n",
                uncached, rowsPerAnswer, percentile(uncachedMs, 0.5), percentile(uncachedMs, 0.99),
                added99);
    std::printf("cached page: p50 %.2f ms, p99 %.2f ms (goal <= 5)\n", percentile(cachedMs, 0.5),
                cached99);
    std::printf("service peak memory with %d stations and %d cached answers: %.1f MB (goal <= "
                "80)\n",
                stations, uncached, mb);
    return added99 <= 20 && cached99 <= 5 && mb <= 80 ? 0 : 1;
}
