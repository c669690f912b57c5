#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

// A quillon-service the benchmark starts on a free loopback port and stops when it goes; the
// start line gives the port. The program is the build's, named by QUILLON_SERVICE_PROGRAM.
class BenchService {
public:
    bool start(const QStringList& args) {
        QElapsedTimer timer;
        timer.start();
        m_process.start(QStringLiteral(QUILLON_SERVICE_PROGRAM),
                        args + QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                           QStringLiteral("--host"), QStringLiteral("127.0.0.1")});
        if (!m_process.waitForStarted(5000))
            return false;
        static const QRegularExpression ready(QStringLiteral("listening on http://[^:]+:(\\d+)/"));
        QByteArray out;
        while (timer.elapsed() < 30000 && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(20);
            out += m_process.readAllStandardOutput();
            const QRegularExpressionMatch m = ready.match(QString::fromUtf8(out));
            if (m.hasMatch()) {
                m_loadMs = double(timer.nsecsElapsed()) / 1e6;
                m_port = m.captured(1).toInt();
                return true;
            }
        }
        std::fprintf(stderr, "%s", m_process.readAllStandardError().constData());
        return false;
    }
    ~BenchService() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    int port() const { return m_port; }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    double loadMs() const { return m_loadMs; } // from the start to the start line
    // VmHWM: the highest resident set size the process has had.
    double peakMb() const { return statusMb("VmHWM:"); }
    // VmRSS: the resident set size now.
    double residentMb() const { return statusMb("VmRSS:"); }

private:
    double statusMb(const QByteArray& key) const {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(key))
                return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
        return -1;
    }

    QProcess m_process;
    int m_port = 0;
    double m_loadMs = 0;
};

// Nearest-rank percentile.
inline double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(p * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

// One line of a benchmark's figures; `pass` back, so results can be and-ed.
inline bool report(const char* what, bool pass, const QString& figure) {
    std::printf("  %s  %-34s %s\n", pass ? "PASS" : "FAIL", what, qPrintable(figure));
    return pass;
}

#ifdef QUILLON_FEED_GENERATOR
// A national-size feed made by the generator in a folder of `dir`; empty when it failed.
inline QString makeNationalFeed(const QTemporaryDir& dir) {
    if (!dir.isValid())
        return {};
    const QString feed = dir.filePath(QStringLiteral("feed"));
    if (QProcess::execute(QStringLiteral(QUILLON_FEED_GENERATOR), {feed}) != 0)
        return {};
    return feed;
}
#endif
