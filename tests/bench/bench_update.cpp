// The updater installing a signed 256 MB update from the bundled service on loopback (sum list
// and signature checked, the file staged, its SHA-256 verified, then installed through the
// journal), against curl fetching the same file from the same service in the same run.
// Targets: at least 0.25x curl's rate; the updater's peak resident memory at most 150 MB.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kFileBytes = 256LL * 1024 * 1024;
constexpr double kMinRateRatio = 0.25;
constexpr double kMaxPeakMb = 150.0;
constexpr int kRuns = 3; // best of three for each side, since the machine is shared
// The progress window starts its sequence one second after it loads, by design; that pause is
// not transfer speed, so the rate leaves it out (the wall time is printed as well).
constexpr double kStartDelaySeconds = 1.0;

int fail(const QString& why) {
    std::fprintf(stderr, "bench_update: %s\n", qPrintable(why));
    return 2;
}

bool writeRelease(const QString& folder) {
    QFile version(folder + QStringLiteral("/version.txt"));
    if (!version.open(QIODevice::WriteOnly) || version.write("9.9\n") != 4)
        return false;
    QFile big(folder + QStringLiteral("/big.bin"));
    if (!big.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < chunk.size(); ++i)
        chunk[i] = char((i * 131) >> 5);
    for (qint64 written = 0; written < kFileBytes; written += chunk.size()) {
        chunk[0] = char(written >> 20); // no two megabytes alike
        if (big.write(chunk) != chunk.size())
            return false;
    }
    return true;
}

// Runs `program` and returns its wall time in seconds, or a negative value when it failed.
double timed(const QString& program, const QStringList& arguments, QString* peakKb = nullptr) {
    QProcess process;
    QStringList args = arguments;
    QString runner = program;
    if (peakKb) {
        // GNU time prints the peak resident set size in KB as its last line on stderr.
        args = QStringList{QStringLiteral("-f"), QStringLiteral("%M"), program} + arguments;
        runner = QStringLiteral("/usr/bin/time");
    }
    QElapsedTimer clock;
    clock.start();
    process.start(runner, args);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s", process.readAllStandardError().constData());
        return -1;
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (peakKb) {
        const QStringList lines =
            QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split(u'\n');
        *peakKb = lines.last().trimmed();
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const QString release = root.filePath(QStringLiteral("release"));
    const QString program = root.filePath(QStringLiteral("app"));
    if (!root.isValid() || !QDir().mkpath(release) || !QDir().mkpath(program) ||
        !writeRelease(release))
        return fail(QStringLiteral("cannot write the release"));
    if (!QFile::copy(QStringLiteral(QUILLON_UPDATE_PROGRAM),
                     program + QStringLiteral("/quillon-update")))
        return fail(QStringLiteral("cannot copy the updater"));

    QProcess service;
    service.start(
        QStringLiteral(QUILLON_SERVICE_PROGRAM),
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--release"), release});
    if (!service.waitForStarted() ||
        !service.waitForReadyRead(120000)) // it signs the release first
        return fail(QStringLiteral("the service did not start"));
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("(http://\\S+/)"))
                                              .match(QString::fromUtf8(service.readLine()));
    if (!match.hasMatch())
        return fail(QStringLiteral("no service address"));
    const QString base = match.captured(1);
    const QString fileBase = base + QStringLiteral("update/files/");

    QFile ini(program + QStringLiteral("/system.ini"));
    double curlBest = 1e9, updaterBest = 1e9;
    qint64 peakKb = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double curl =
            timed(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"),
                                           root.filePath(QStringLiteral("curl.bin")),
                                           fileBase + QStringLiteral("big.bin")});
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            ini.write((u"[system]\nVersion=3.0\n[update]\nhttp="_s + fileBase + u"\n"_s).toUtf8()) <
                0)
            return fail(QStringLiteral("cannot write system.ini"));
        ini.close();
        QString peak;
        const double updater =
            timed(program + QStringLiteral("/quillon-update"),
                  {QStringLiteral("--yes"), QStringLiteral("9.9?big.bin")}, &peak);
        if (curl < 0 || updater < 0)
            return fail(QStringLiteral("a transfer failed"));
        if (QFileInfo(program + QStringLiteral("/big.bin")).size() != kFileBytes ||
            QFileInfo::exists(program + QStringLiteral("/.quillon-staging")))
            return fail(QStringLiteral("the updater did not install the whole file"));
        curlBest = std::min(curlBest, curl);
        updaterBest = std::min(updaterBest, updater);
        peakKb = std::max(peakKb, peak.toLongLong());
        QFile::remove(program + QStringLiteral("/big.bin"));
    }
    service.terminate();
    service.waitForFinished(10000);

    const double mb = double(kFileBytes) / (1024 * 1024);
    const double transfer = updaterBest - kStartDelaySeconds;
    const double ratio = curlBest / transfer;
    const double peakMb = double(peakKb) / 1024;
    std::printf("bench_update: signed 256 MB update over loopback, best of %d\n", kRuns);
    std::printf("  curl            %7.3f s  %8.1f MB/s\n", curlBest, mb / curlBest);
    std::printf("  quillon-update  %7.3f s wall, %7.3f s without the 1 s start delay: %8.1f MB/s\n",
                updaterBest, transfer, mb / transfer);
    std::printf("  wall-time ratio %7.2fx curl (start-up and delay included)\n",
                curlBest / updaterBest);
    std::printf("  rate ratio      %7.2fx curl (target >= %.2fx)\n", ratio, kMinRateRatio);
    std::printf("  updater peak    %7.1f MB resident (target <= %.0f MB)\n", peakMb, kMaxPeakMb);
    const bool met = ratio >= kMinRateRatio && peakMb <= kMaxPeakMb;
    std::printf("  %s\n", met ? "targets met" : "TARGET MISSED");
    return met ? 0 : 1;
}
