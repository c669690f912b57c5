#include "pages.h"
#include "release/releasesignature.h"
#include "server.h"
#include "timetable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

namespace {

void fail(const QString& message) {
    std::fprintf(stderr, "quillon-service: %s\n", qPrintable(message));
}

// The feed at path, or the built-in sample for an empty path, with what was skipped on
// stderr.
std::optional<Timetable> loadTimetable(const QString& path, QDate day, QString* error) {
    if (path.isEmpty())
        return Timetable::loadBuiltIn(error, day);
    pages::setSampleTimetable(false);
    LoadReport report;
    std::optional<Timetable> data = Timetable::load(path, day, &report, error);
    if (!data)
        return data;
    for (const QString& line : report.faults.summary())
        fail(line);
    if (data->trains().isEmpty()) {
        const QString dayText = day.toString(QStringLiteral("yyyyMMdd"));
        fail(report.coveredDates.isEmpty()
                 ? QStringLiteral("no trains run on %1: the feed names no day of service")
                       .arg(dayText)
                 : QStringLiteral("no trains run on %1; the feed covers %2 (choose a day with "
                                  "--date YYYYMMDD)")
                       .arg(dayText, report.coveredDates));
    }
    return data;
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

} // namespace

int main(int argc, char** argv) {
    // Block the stop signals before any thread exists so every thread inherits the mask and
    // only the waiter below receives them, outside signal-handler restrictions.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-service"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local timetable service: a GTFS feed, or the built-in sample."));
    parser.addHelpOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("Port to listen on; 0 picks a free one."),
        QStringLiteral("N"), QString::number(contract::defaultPort));
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Address to listen on."),
                                        QStringLiteral("HOST"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption gtfsOption(
        QStringLiteral("gtfs"),
        QStringLiteral("GTFS feed (folder or .zip) to serve instead of the built-in sample."),
        QStringLiteral("PATH"));
    const QCommandLineOption dateOption(QStringLiteral("date"),
                                        QStringLiteral("Service day to serve; default today."),
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
    parser.addOptions(
        {portOption, hostOption, gtfsOption, dateOption, releaseOption, signingKeyOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
        return 2;
    }

    bool portOk = false;
    const int port = parser.value(portOption).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535) {
        fail(QStringLiteral("bad port \"%1\"").arg(parser.value(portOption)));
        return 2;
    }
    const QString host = parser.value(hostOption);

    QDate day = QDate::currentDate();
    if (parser.isSet(dateOption)) {
        day = QDate::fromString(parser.value(dateOption), QStringLiteral("yyyyMMdd"));
        if (!day.isValid()) {
            fail(QStringLiteral("bad date \"%1\" (expected YYYYMMDD)")
                     .arg(parser.value(dateOption)));
            return 2;
        }
    }

    QString error;
    std::optional<Timetable> data =
        loadTimetable(parser.isSet(gtfsOption) ? parser.value(gtfsOption) : QString(), day, &error);
    if (!data) {
        fail(error);
        return 1;
    }

    TimetableServer server(std::move(*data));
    if (parser.isSet(releaseOption)) {
        std::optional<Release> release = loadRelease(parser.value(releaseOption), &error);
        if (!release) {
            fail(error);
            return 1;
        }
        if (!signRelease(*release, parser, &error)) {
            fail(error);
            return 1;
        }
        server.setRelease(std::move(*release));
    }
    const int bound = server.bind(host, port);
    if (bound < 0) {
        fail(QStringLiteral("cannot listen on %1 port %2").arg(host).arg(port));
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
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    std::printf("quillon-service listening on http://%s:%d/\n", qPrintable(shownHost), bound);
    std::fflush(stdout);

    const bool served = server.serve();
    if (!signalled)
        pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return served ? 0 : 1;
}
