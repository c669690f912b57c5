#include "contract/pagecontract.h"
#include "gtfs/gtfssource.h"
#include "live/livesource.h"
#include "release/releasesignature.h"
#include "server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <pthread.h>
#include <thread>

namespace {

void fail(const QString& message) {
    std::fprintf(stderr, "quillon-service: %s\n", qPrintable(message));
}

// Signs with --signing-key, else with the build's own key when it is there; a release that
// cannot be signed is still offered, and the updater refuses it.
bool signRelease(Release& release, const QCommandLineParser& parser, QString* error) {
    const bool given = parser.isSet(QStringLiteral("signing-key"));
    const QString keyFile = given ? parser.value(QStringLiteral("signing-key"))
                                  : QStringLiteral(QUILLON_DEFAULT_SIGNING_KEY);
    if (!given && !QFile::exists(keyFile)) {
        fail(QStringLiteral("no signing key (%1): the release is offered unsigned").arg(keyFile));
        return true;
    }
    const std::optional<QByteArray> key =
        release::readKeyFile(keyFile, release::kSecretKeyBytes, error);
    return key && signRelease(release, *key, error);
}

// What the command line asks for.
struct Options {
    QString host;
    int port = contract::defaultPort;
    QString source; // "sample" or "gtfs"
    QString gtfsPath;
    QDate pinnedDay; // invalid: today, at each request
    QString releaseDir;
    live::LiveOptions live;
    bool check = false; // ask the live site once per interface, print, end
};

// Reads the command line; exits with 2 (after saying why) when it makes no sense.
Options parseOptions(QCoreApplication& app, QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Local timetable service: a GTFS feed, the built-in sample, or the "
                       "railway's official site read live (unofficial, read-only)."));
    parser.addHelpOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("Port to listen on; 0 picks a free one."),
        QStringLiteral("N"), QString::number(contract::defaultPort));
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Address to listen on."),
                                        QStringLiteral("HOST"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption sourceOption(
        QStringLiteral("source"),
        QStringLiteral("Where the answers come from: sample (the built-in sample), gtfs (the "
                       "feed --gtfs names) or live (the railway's official site, asked as users "
                       "ask). Default: gtfs when --gtfs is given, else sample."),
        QStringLiteral("KIND"));
    const QCommandLineOption gtfsOption(
        QStringLiteral("gtfs"),
        QStringLiteral("GTFS feed (folder or .zip) to serve instead of the built-in sample."),
        QStringLiteral("PATH"));
    const QCommandLineOption dateOption(
        QStringLiteral("date"),
        QStringLiteral("Day to answer for addresses without a /d/YYYYMMDD/ prefix; default: "
                       "the current local date at each request."),
        QStringLiteral("YYYYMMDD"));
    const QCommandLineOption releaseOption(
        QStringLiteral("release"),
        QStringLiteral("Release folder offered to the update check: version.txt, notes.txt and "
                       "the update files."),
        QStringLiteral("DIR"));
    const QCommandLineOption signingKeyOption(
        QStringLiteral("signing-key"),
        QStringLiteral("Secret key (from quillon-keygen) that signs the release; default: the "
                       "build's own key."),
        QStringLiteral("FILE"));
    const QCommandLineOption liveBaseOption(
        QStringLiteral("live-base"),
        QStringLiteral("Send the live source's requests for https://HOST/PATH to URL + "
                       "HOST/PATH instead (a replay of the site, for tests)."),
        QStringLiteral("URL"));
    const QCommandLineOption checkOption(
        QStringLiteral("check"),
        QStringLiteral("With --source live: ask the site once per interface, print what works "
                       "and end."));
    QCommandLineOption intervalOption(QStringLiteral("live-interval-ms"),
                                      QStringLiteral("Least time between two requests to the "
                                                     "site."),
                                      QStringLiteral("MS"), QStringLiteral("1000"));
    // For benchmarks and tests against a replay; the real site is asked at most once a second.
    intervalOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({portOption, hostOption, sourceOption, gtfsOption, dateOption, releaseOption,
                       signingKeyOption, liveBaseOption, checkOption, intervalOption});
    parser.process(app);
    auto usage = [](const QString& message) {
        fail(message);
        std::exit(2);
    };
    if (!parser.positionalArguments().isEmpty())
        usage(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    Options o;
    bool portOk = false;
    o.port = parser.value(portOption).toInt(&portOk);
    if (!portOk || o.port < 0 || o.port > 65535)
        usage(QStringLiteral("bad port \"%1\"").arg(parser.value(portOption)));
    o.host = parser.value(hostOption);
    o.gtfsPath = parser.value(gtfsOption);
    o.source = parser.isSet(sourceOption) ? parser.value(sourceOption)
               : parser.isSet(gtfsOption) ? QStringLiteral("gtfs")
                                          : QStringLiteral("sample");
    if (o.source != QLatin1String("sample") && o.source != QLatin1String("gtfs") &&
        o.source != QLatin1String("live"))
        usage(QStringLiteral("unknown source \"%1\" (sample, gtfs or live)").arg(o.source));
    const bool live = o.source == QLatin1String("live");
    if (!live && (parser.isSet(liveBaseOption) || parser.isSet(checkOption)))
        usage(QStringLiteral("--live-base and --check go with --source live"));
    if (live && parser.isSet(dateOption))
        usage(QStringLiteral("--source live answers from today on; pick days with /d/YYYYMMDD/"));
    o.check = parser.isSet(checkOption);
    if (parser.isSet(liveBaseOption)) {
        o.live.base = QUrl(parser.value(liveBaseOption), QUrl::StrictMode);
        if (!o.live.base.isValid() || o.live.base.host().isEmpty())
            usage(QStringLiteral("bad --live-base \"%1\"").arg(parser.value(liveBaseOption)));
    }
    bool intervalOk = false;
    o.live.interval = std::chrono::milliseconds(parser.value(intervalOption).toInt(&intervalOk));
    if (!intervalOk || o.live.interval.count() < 0)
        usage(QStringLiteral("bad --live-interval-ms \"%1\"").arg(parser.value(intervalOption)));
    if (o.source == QLatin1String("gtfs") && !parser.isSet(gtfsOption))
        usage(QStringLiteral("--source gtfs needs --gtfs PATH"));
    if (o.source != QLatin1String("gtfs") && parser.isSet(gtfsOption))
        usage(QStringLiteral("--gtfs serves a feed: it goes with --source gtfs"));
    if (parser.isSet(dateOption)) {
        o.pinnedDay = QDate::fromString(parser.value(dateOption), QStringLiteral("yyyyMMdd"));
        if (!o.pinnedDay.isValid())
            usage(QStringLiteral("bad date \"%1\" (expected YYYYMMDD)")
                      .arg(parser.value(dateOption)));
    }
    o.releaseDir = parser.value(releaseOption);
    return o;
}

// The source the options name, with what its feed skipped and the days it covers on stderr;
// nullptr after saying why when it cannot be had.
std::shared_ptr<source::TimetableSource> loadSource(const Options& o) {
    if (o.source == QLatin1String("live"))
        return std::make_shared<live::LiveSource>(o.live);
    QString error;
    std::unique_ptr<gtfs::GtfsSource> feed = o.source == QLatin1String("gtfs")
                                                 ? gtfs::GtfsSource::open(o.gtfsPath, &error)
                                                 : gtfs::GtfsSource::builtIn(&error);
    if (!feed) {
        fail(error);
        return nullptr;
    }
    if (o.pinnedDay.isValid())
        feed->pinDay(o.pinnedDay);
    if (feed->isSample())
        return feed;
    for (const QString& line : feed->faults().summary())
        fail(line);
    const source::DayRange range = feed->days();
    const QDate day = feed->defaultDay();
    if (!range.first.isValid())
        fail(QStringLiteral("the feed names no day of service: every page will say so"));
    else if (!range.contains(day))
        fail(QStringLiteral("%1 is outside the feed, which covers %2; pages say so unless they "
                            "ask for a day in it (/d/YYYYMMDD/, or --date)")
                 .arg(day.toString(QStringLiteral("yyyyMMdd")), feed->coveredDates()));
    else if (source::Failure why; !feed->timetable(day, &why))
        fail(QStringLiteral("no trains run on %1; the feed covers %2 (%3)")
                 .arg(day.toString(QStringLiteral("yyyyMMdd")), feed->coveredDates(), why.reason));
    return feed;
}

// Serves until SIGINT or SIGTERM; the process's exit code.
int serve(const Options& o, std::shared_ptr<source::TimetableSource> source,
          const QCommandLineParser& parser, const sigset_t& stopSignals) {
    TimetableServer server(std::move(source));
    QString error;
    if (!o.releaseDir.isEmpty()) {
        std::optional<Release> release = loadRelease(o.releaseDir, &error);
        if (!release || !signRelease(*release, parser, &error)) {
            fail(error);
            return 1;
        }
        server.setRelease(std::move(*release));
    }
    const int bound = server.bind(o.host, o.port);
    if (bound < 0) {
        fail(QStringLiteral("cannot listen on %1 port %2").arg(o.host).arg(o.port));
        return 1;
    }

    std::atomic<bool> signalled{false};
    std::thread waiter([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        signalled = true;
        server.stop();
    });

    const QString shownHost =
        o.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + o.host + QLatin1Char(']') : o.host;
    std::printf("quillon-service listening on http://%s:%d/\n", qPrintable(shownHost), bound);
    std::fflush(stdout);

    // The first queries need only the timetable; the station list's pinyin is made beside
    // them rather than when the client first asks. The live site is asked only for users.
    std::thread prepare;
    if (o.source != QLatin1String("live"))
        prepare = std::thread([&server] { server.prepareStationList(); });

    const bool served = server.serve();
    if (!signalled)
        pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    if (prepare.joinable())
        prepare.join();
    return served ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Block the stop signals before any thread exists so every thread inherits the mask and
    // only the waiter in serve() receives them, outside signal-handler restrictions.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-service"));
    QCommandLineParser parser;
    const Options options = parseOptions(app, parser);
    std::shared_ptr<source::TimetableSource> source = loadSource(options);
    if (!source)
        return 1;
    // Reading the feed freed far more than it keeps (the tables' text, the stop times now in
    // the trains): hand that back rather than keep it resident for the whole run.
    malloc_trim(0);
    if (options.check) {
        bool allWork = true;
        for (const QString& line : static_cast<live::LiveSource&>(*source).check()) {
            std::printf("%s\n", qPrintable(line));
            allWork = allWork && !line.contains(QLatin1String("FAILED"));
        }
        return allWork ? 0 : 1;
    }
    return serve(options, std::move(source), parser, stopSignals);
}
