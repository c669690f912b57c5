#include "localservice.h"

#include "config.h"
#include "release/profile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#if defined(Q_OS_LINUX)
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

constexpr const char* kKeys[] = {"sample", "gtfs", "live"}; // indexed by TimetableSource
constexpr qsizetype kErrorTail = 600;                       // bytes of stderr kept

const QString kSourceKey = QStringLiteral("service/source");
const QString kFeedKey = QStringLiteral("service/gtfs");

} // namespace

QString sourceKey(TimetableSource source) {
    return QString::fromLatin1(kKeys[static_cast<int>(source)]);
}

std::optional<TimetableSource> sourceFromKey(const QString& key) {
    for (int i = 0; i < 3; ++i) {
        if (key.trimmed().compare(QLatin1String(kKeys[i]), Qt::CaseInsensitive) == 0)
            return static_cast<TimetableSource>(i);
    }
    return std::nullopt;
}

QString sourceTitle(const SourceChoice& choice) {
    switch (choice.source) {
    case TimetableSource::Sample:
        break;
    case TimetableSource::Feed:
        return QStringLiteral("GTFS数据：") + QFileInfo(choice.feed).fileName();
    case TimetableSource::Live:
        return QStringLiteral("官方网站实时数据");
    }
    return QStringLiteral("样例数据，时刻虚构");
}

SourceChoice readIniSourceChoice(const QString& iniPath) {
    SourceChoice choice;
    const auto source = sourceFromKey(
        readProfileString(QStringLiteral("service"), QStringLiteral("source"), iniPath));
    choice.feed = readProfileString(QStringLiteral("service"), QStringLiteral("gtfs"), iniPath);
    // A feed named alone is the source; an unknown word keeps the sample.
    if (source)
        choice.source = *source;
    else if (!choice.feed.isEmpty())
        choice.source = TimetableSource::Feed;
    if (choice.source == TimetableSource::Feed && choice.feed.isEmpty())
        choice.source = TimetableSource::Sample;
    return choice;
}

std::optional<SourceChoice> readUserSourceChoice(const QString& settingsFile) {
    const QSettings settings(settingsFile, QSettings::IniFormat);
    const auto source = sourceFromKey(settings.value(kSourceKey).toString());
    if (!source)
        return std::nullopt;
    SourceChoice choice{*source, settings.value(kFeedKey).toString()};
    if (choice.source == TimetableSource::Feed && choice.feed.isEmpty())
        return std::nullopt;
    return choice;
}

bool saveUserSourceChoice(const SourceChoice& choice, const QString& settingsFile) {
    QSettings settings(settingsFile, QSettings::IniFormat);
    settings.setValue(kSourceKey, sourceKey(choice.source));
    settings.setValue(kFeedKey, choice.feed);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString userSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/settings.ini");
}

void addSourceOptions(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        QStringLiteral("source"),
        QStringLiteral("Timetable of the bundled service: sample, gtfs or live (overrides "
                       "system.ini and the source window)."),
        QStringLiteral("SOURCE")));
    parser.addOption(QCommandLineOption(QStringLiteral("gtfs"),
                                        QStringLiteral("GTFS feed (folder or .zip) for the "
                                                       "bundled service; implies --source gtfs."),
                                        QStringLiteral("PATH")));
}

std::optional<SourceChoice> applySourceOptions(SourceChoice choice,
                                               const QCommandLineParser& parser, QString* error) {
    const bool feedGiven = parser.isSet(QStringLiteral("gtfs"));
    if (feedGiven) {
        choice.feed = QFileInfo(parser.value(QStringLiteral("gtfs"))).absoluteFilePath();
        choice.source = TimetableSource::Feed;
    }
    if (parser.isSet(QStringLiteral("source"))) {
        const QString word = parser.value(QStringLiteral("source"));
        const auto source = sourceFromKey(word);
        if (!source) {
            *error = QStringLiteral("unknown source \"%1\" (sample, gtfs or live)").arg(word);
            return std::nullopt;
        }
        choice.source = *source;
    }
    if (choice.source == TimetableSource::Feed && choice.feed.isEmpty()) {
        *error = QStringLiteral("--source gtfs needs --gtfs PATH");
        return std::nullopt;
    }
    return choice;
}

std::optional<quint16> bundledServicePort(const QString& timetableBase) {
    const QUrl base(timetableBase);
    const QUrl builtIn(builtInAddresses().timetable);
    if (base.scheme() != builtIn.scheme() || base.port(80) != builtIn.port())
        return std::nullopt;
    const QString host = base.host();
    if (host != builtIn.host() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive))
        return std::nullopt;
    return quint16(base.port());
}

QString serviceProgram(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("quillon-service"));
}

QStringList serviceArguments(const SourceChoice& choice, quint16 port) {
    QStringList arguments{QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                          QStringLiteral("--port"), QString::number(port)};
    switch (choice.source) {
    case TimetableSource::Sample:
        break;
    case TimetableSource::Feed:
        arguments << QStringLiteral("--gtfs") << choice.feed;
        break;
    case TimetableSource::Live:
        arguments << QStringLiteral("--source") << QStringLiteral("live");
        break;
    }
    return arguments;
}

int startDeadlineMs(TimetableSource source) {
    switch (source) {
    case TimetableSource::Sample:
        break;
    case TimetableSource::Feed:
        return 180000; // a national feed takes tens of seconds to read on a slow machine
    case TimetableSource::Live:
        return 30000;
    }
    return 15000;
}

bool isListeningLine(const QByteArray& line) {
    return line.startsWith("quillon-service listening on ");
}

BundledService::BundledService(const QString& programFolder, QObject* parent)
    : QObject(parent)
    , m_programFolder(programFolder)
    , m_deadline(new QTimer(this)) {
    m_deadline->setSingleShot(true);
}

BundledService::~BundledService() {
    stop();
}

void BundledService::ensure(const QString& timetableBase, const SourceChoice& choice) {
    m_choice = choice;
    if (const auto port = bundledServicePort(timetableBase))
        ensurePort(*port, choice);
}

void BundledService::ensurePort(quint16 port, const SourceChoice& choice) {
    m_choice = choice;
    if (m_process || m_probe)
        return;
    m_port = port;
    probe();
}

void BundledService::restart(const SourceChoice& choice) {
    m_choice = choice;
    if (!m_port || m_state == State::Foreign || m_state == State::Probing)
        return;
    stop();
    start();
}

void BundledService::stop() {
    m_deadline->stop();
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        // The service stops cleanly on SIGTERM; the wait is short and happens only at exit or
        // when the user changes the source.
        process->terminate();
        if (!process->waitForFinished(kStopGraceMs)) {
            process->kill();
            process->waitForFinished(kStopGraceMs);
        }
    }
    delete process;
    setState(State::Off);
}

void BundledService::probe() {
    setState(State::Probing);
    auto* socket = new QTcpSocket(this);
    m_probe = socket;
    auto settle = [this, socket](bool answered) {
        if (m_probe != socket)
            return;
        m_probe = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        if (answered)
            setState(State::Foreign);
        else
            start();
    };
    connect(socket, &QTcpSocket::connected, this, [settle] { settle(true); });
    connect(socket, &QTcpSocket::errorOccurred, this, [settle] { settle(false); });
    QTimer::singleShot(kProbeTimeoutMs, socket, [settle] { settle(false); });
    socket->connectToHost(QHostAddress(QHostAddress::LocalHost), *m_port);
}

void BundledService::start() {
    const QString program = serviceProgram(m_programFolder);
    if (!QFileInfo(program).isExecutable()) {
        fail(QStringLiteral("找不到 %1").arg(QDir::toNativeSeparators(program)));
        return;
    }
    m_output.clear();
    m_errors.clear();
    auto* process = new QProcess(this);
    m_process = process;
#if defined(Q_OS_LINUX)
    // A client that dies without its exit steps takes the service with it.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
        m_output += process->readAllStandardOutput();
        for (qsizetype end = m_output.indexOf('\n'); end >= 0; end = m_output.indexOf('\n')) {
            const QByteArray line = m_output.left(end);
            m_output.remove(0, end + 1);
            if (m_state == State::Starting && isListeningLine(line)) {
                m_deadline->stop();
                setState(State::Running);
                Q_EMIT ready();
            }
        }
    });
    connect(process, &QProcess::readyReadStandardError, this, [this, process] {
        m_errors = (m_errors + process->readAllStandardError()).right(kErrorTail);
    });
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(QStringLiteral("无法启动 quillon-service"));
    });
    connect(process, &QProcess::finished, this, [this, process] {
        m_errors = (m_errors + process->readAllStandardError()).right(kErrorTail);
        const QList<QByteArray> lines = m_errors.trimmed().split('\n');
        const QString last = QString::fromLocal8Bit(lines.last()).trimmed();
        fail(last.isEmpty() ? QStringLiteral("quillon-service 已退出") : last);
    });
    connect(m_deadline, &QTimer::timeout, process, [this] {
        fail(QStringLiteral("等待 %1 秒未见服务应答").arg(startDeadlineMs(m_choice.source) / 1000));
    });
    setState(State::Starting);
    m_deadline->start(startDeadlineMs(m_choice.source));
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(program, serviceArguments(m_choice, *m_port));
}

void BundledService::fail(const QString& reason) {
    m_deadline->stop();
    if (QProcess* process = m_process) {
        m_process = nullptr;
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(kStopGraceMs);
        }
        process->deleteLater();
    }
    m_reason = reason;
    setState(State::Failed);
}

void BundledService::setState(State state) {
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

QString BundledService::statusText() const {
    switch (m_state) {
    case State::Off:
    case State::Probing:
    case State::Foreign:
        break;
    case State::Starting:
        return QStringLiteral("正在启动本地时刻服务（%1）…").arg(sourceTitle(m_choice));
    case State::Running:
        return QStringLiteral("本地时刻服务已启动（%1）").arg(sourceTitle(m_choice));
    case State::Failed:
        return QStringLiteral("本地时刻服务未能启动：%1").arg(m_reason);
    }
    return {};
}
