#include "dataset.h"
#include "releasesignature.h"
#include "server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

namespace {

constexpr int defaultPort = 18730; // the port in the client's built-in service addresses

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
        QStringLiteral("Local timetable service with built-in sample data."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("N"), QString::number(defaultPort));
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Address to listen on."),
                                        QStringLiteral("HOST"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Timetable file instead of the sample."),
                                        QStringLiteral("FILE"));
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
    parser.addOptions({portOption, hostOption, dataOption, releaseOption, signingKeyOption});
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

    QString error;
    std::optional<Dataset> data = parser.isSet(dataOption)
                                      ? Dataset::loadFile(parser.value(dataOption), &error)
                                      : Dataset::loadBuiltIn(&error);
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
