#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;
class QProcess;
class QTcpSocket;
class QTimer;

// Where the bundled service takes its timetable from.
enum class TimetableSource { Sample, Feed, Live };

struct SourceChoice {
    TimetableSource source = TimetableSource::Sample;
    QString feed; // GTFS folder or zip; used by Feed only
    bool operator==(const SourceChoice&) const = default;
};

// "sample", "gtfs", "live": the words of system.ini and the command line.
QString sourceKey(TimetableSource source);
std::optional<TimetableSource> sourceFromKey(const QString& key);
// A short Chinese name for the status bar and the source window.
QString sourceTitle(const SourceChoice& choice);

// The source in force: system.ini [service] ("source", "gtfs") < the user's own choice (saved by
// the source window in the user's settings) < the command line ("--source", "--gtfs").
SourceChoice readIniSourceChoice(const QString& iniPath);
std::optional<SourceChoice> readUserSourceChoice(const QString& settingsFile);
bool saveUserSourceChoice(const SourceChoice& choice, const QString& settingsFile);
QString userSettingsFile(); // "settings.ini" in the program's XDG configuration folder
void addSourceOptions(QCommandLineParser& parser);
// The choice with the command line laid over it; nullopt and `error` for a bad value.
std::optional<SourceChoice> applySourceOptions(SourceChoice choice,
                                               const QCommandLineParser& parser, QString* error);

// The port to start the bundled service on when `timetableBase` is its built-in local address
// (the loopback host and the bundled port); nullopt for any other base, which the client
// never starts anything for.
std::optional<quint16> bundledServicePort(const QString& timetableBase);
QString serviceProgram(const QString& programFolder);
QStringList serviceArguments(const SourceChoice& choice, quint16 port);

// How long to wait for the service to say it listens: a feed is read whole before that.
int startDeadlineMs(TimetableSource source);
// The service's line on stdout once it serves.
bool isListeningLine(const QByteArray& line);

// Starts the bundled service when the client's timetable base is its built-in address and
// nothing answers there, and stops it when this object goes. Never blocks: the probe, the
// start and the wait run on the caller's event loop.
class BundledService : public QObject {
    Q_OBJECT
public:
    enum class State {
        Off,      // not the built-in address, or not asked yet
        Probing,  // is something answering already?
        Foreign,  // something else answers there: nothing started
        Starting, // started, waiting for its listening line
        Running,  // started by us and serving
        Failed,   // could not start, or ended on its own
    };
    Q_ENUM(State)

    explicit BundledService(const QString& programFolder, QObject* parent = nullptr);
    ~BundledService() override;

    // Probes the base when it is the built-in address and starts the service if nothing answers.
    void ensure(const QString& timetableBase, const SourceChoice& choice);
    // The same on a given loopback port.
    void ensurePort(quint16 port, const SourceChoice& choice);
    // Serves `choice` from now on: a service this object started starts again with it; one that
    // is not ours is left alone (the choice holds for the next start).
    void restart(const SourceChoice& choice);
    void stop();

    State state() const { return m_state; }
    // What the status bar shows for the state; empty when there is nothing to say.
    QString statusText() const;
    SourceChoice choice() const { return m_choice; }

    static constexpr int kProbeTimeoutMs = 1500;
    static constexpr int kStopGraceMs = 3000;

Q_SIGNALS:
    void stateChanged(BundledService::State state);
    // The service we started now answers: what failed before it came may be fetched again.
    void ready();

private:
    void probe();
    void start();
    void fail(const QString& reason);
    void setState(State state);

    QString m_programFolder;
    std::optional<quint16> m_port;
    SourceChoice m_choice;
    State m_state = State::Off;
    QString m_reason;
    QByteArray m_output; // stdout not yet split into lines
    QByteArray m_errors; // the tail of stderr, for the reason of a failed start
    QPointer<QProcess> m_process;
    QPointer<QTcpSocket> m_probe;
    QTimer* m_deadline = nullptr;
};
