#include "dataset.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace; the data lives in a static library,
// so nothing registers it unless we do.
static void registerSampleData() {
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(sampledata); });
}

namespace {

constexpr int minutesPerDay = 24 * 60;

struct StopLine {
    int line;
    QString station;
    int arrival;   // clock minutes, -1 for "-"
    int departure; // clock minutes, -1 for "-"
    int day;
    int km;
};

struct ParseError {
    int line;
    QString message;
};

std::optional<int> parseClock(const QString& text) {
    static const QRegularExpression clock(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch m = clock.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt() * 60 + m.captured(2).toInt();
}

// Names end up verbatim inside HTML attributes and in the client's "-" cut of the origin.
QString nameProblem(const QString& name) {
    static const QString forbidden = QStringLiteral("-&<>'\"");
    for (QChar c : name) {
        if (forbidden.contains(c) || c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("\"%1\" contains the character '%2'").arg(name, c);
    }
    QStringEncoder gb2312("GB2312");
    const QByteArray encoded = gb2312.encode(name); // hasError() is set only by converting
    if (gb2312.hasError())
        return QStringLiteral("\"%1\" cannot be written in GB2312").arg(name);
    return {};
}

// Turns the stop lines of one train into absolute minutes, checking their order.
std::optional<ParseError> finishTrain(Train& train, int headerLine, const QList<StopLine>& lines) {
    if (lines.size() < 2)
        return ParseError{headerLine,
                          QStringLiteral("train %1 needs at least two stops").arg(train.number)};
    int previousDeparture = -1;
    int previousKm = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const StopLine& s = lines[i];
        const bool first = i == 0;
        const bool last = i == lines.size() - 1;
        auto fail = [&](const QString& what) { return ParseError{s.line, what}; };
        for (qsizetype k = 0; k < i; ++k) {
            if (lines[k].station == s.station)
                return fail(
                    QStringLiteral("train %1 calls at %2 twice").arg(train.number, s.station));
        }
        if (first && s.arrival >= 0)
            return fail(QStringLiteral("the first stop must have arrival \"-\""));
        if (last && s.departure >= 0)
            return fail(QStringLiteral("the last stop must have departure \"-\""));
        if (!first && s.arrival < 0)
            return fail(QStringLiteral("arrival time missing"));
        if (!last && s.departure < 0)
            return fail(QStringLiteral("departure time missing"));
        if (first && (s.day != 0 || s.km != 0))
            return fail(QStringLiteral("the first stop must have day 0 and distance 0"));

        TrainStop stop;
        stop.station = s.station;
        stop.km = s.km;
        if (first) {
            stop.departure = s.departure;
        } else {
            stop.arrival = s.day * minutesPerDay + s.arrival;
            if (stop.arrival <= previousDeparture)
                return fail(QStringLiteral("arrives before it left the stop before"));
            if (s.km <= previousKm)
                return fail(QStringLiteral("distance must grow from stop to stop"));
            if (!last) {
                const int wait = (s.departure - s.arrival + minutesPerDay) % minutesPerDay;
                stop.departure = stop.arrival + wait;
            }
        }
        previousDeparture = stop.departure;
        previousKm = s.km;
        train.stops.append(stop);
    }
    return std::nullopt;
}

std::optional<StopLine> parseStop(int line, const QStringList& f, ParseError& error) {
    auto fail = [&](const QString& what) {
        error = {line, what};
        return std::nullopt;
    };
    if (f.size() != 5)
        return fail(QStringLiteral("expected STATION ARRIVAL DEPARTURE DAY KM, found %1 fields")
                        .arg(f.size()));
    StopLine s{line, f[0], -1, -1, 0, 0};
    if (const QString problem = nameProblem(s.station); !problem.isEmpty())
        return fail(QStringLiteral("station %1").arg(problem));
    for (int k : {1, 2}) {
        if (f[k] == QLatin1String("-"))
            continue;
        const std::optional<int> clock = parseClock(f[k]);
        if (!clock)
            return fail(QStringLiteral("bad time \"%1\" (expected HH:MM or -)").arg(f[k]));
        (k == 1 ? s.arrival : s.departure) = *clock;
    }
    bool ok = false;
    s.day = f[3].toInt(&ok);
    if (!ok || s.day < 0 || s.day > 9)
        return fail(QStringLiteral("bad day \"%1\" (expected 0 to 9)").arg(f[3]));
    s.km = f[4].toInt(&ok);
    if (!ok || s.km < 0 || s.km > 20000)
        return fail(QStringLiteral("bad distance \"%1\" (expected whole kilometres)").arg(f[4]));
    return s;
}

std::optional<ParseError> parseTrainLine(int line, const QStringList& f, const QList<Train>& known,
                                         Train& train) {
    static const QRegularExpression trainNumber(QStringLiteral("^[A-Za-z0-9]+$"));
    if (f.size() != 3)
        return ParseError{line, QStringLiteral("expected \"train NUMBER CLASS\"")};
    if (!trainNumber.match(f[1]).hasMatch())
        return ParseError{
            line, QStringLiteral("bad train number \"%1\" (letters and digits only)").arg(f[1])};
    // Numbers are looked up without regard to case, so they must differ in more than case.
    for (const Train& t : known) {
        if (t.number.compare(f[1], Qt::CaseInsensitive) == 0)
            return ParseError{line, QStringLiteral("train %1 is listed twice").arg(f[1])};
    }
    if (const QString problem = nameProblem(f[2]); !problem.isEmpty())
        return ParseError{line, QStringLiteral("class %1").arg(problem)};
    train = Train{f[1], f[2], {}};
    return std::nullopt;
}

} // namespace

QString clockText(int minutes) {
    const int m = minutes % minutesPerDay;
    return QStringLiteral("%1:%2")
        .arg(m / 60, 2, 10, QLatin1Char('0'))
        .arg(m % 60, 2, 10, QLatin1Char('0'));
}

QString durationText(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

std::optional<Dataset> Dataset::parse(const QString& text, QString* error) {
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    Dataset data;
    std::optional<ParseError> failure;
    Train current;
    int currentLine = 0;
    QList<StopLine> stops;

    auto finish = [&]() {
        if (currentLine == 0)
            return;
        failure = finishTrain(current, currentLine, stops);
        if (!failure)
            data.m_trains.append(current);
    };

    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size() && !failure; ++i) {
        const int lineNo = int(i + 1);
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(blanks, Qt::SkipEmptyParts);
        if (f[0] == QLatin1String("train")) {
            finish();
            if (failure)
                break;
            failure = parseTrainLine(lineNo, f, data.m_trains, current);
            if (failure)
                break;
            currentLine = lineNo;
            stops.clear();
            continue;
        }
        if (currentLine == 0) {
            failure = ParseError{lineNo, QStringLiteral("stop line before any \"train\" line")};
            break;
        }
        ParseError stopError;
        const std::optional<StopLine> stop = parseStop(lineNo, f, stopError);
        if (!stop)
            failure = stopError;
        else
            stops.append(*stop);
    }
    if (!failure)
        finish();
    if (!failure && data.m_trains.isEmpty())
        failure = ParseError{int(lines.size()), QStringLiteral("no trains in the timetable")};
    if (failure) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(failure->line).arg(failure->message);
        return std::nullopt;
    }
    for (const Train& t : std::as_const(data.m_trains)) {
        for (const TrainStop& s : t.stops)
            data.m_stations.insert(s.station);
    }
    return data;
}

std::optional<Dataset> Dataset::loadFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(file.readAll());
    if (utf8.hasError()) {
        if (error)
            *error = QStringLiteral("%1: not UTF-8 text").arg(path);
        return std::nullopt;
    }
    QString why;
    std::optional<Dataset> data = parse(text, &why);
    if (!data && error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return data;
}

std::optional<Dataset> Dataset::loadBuiltIn(QString* error) {
    registerSampleData();
    return loadFile(QStringLiteral(":/quillon/timetable.txt"), error);
}

bool Dataset::hasStation(const QString& name) const {
    return m_stations.contains(name);
}

QString Dataset::detailLink(const QString& number) {
    return QStringLiteral("train.asp?cc=") + number;
}

const Train* Dataset::findTrain(const QString& number) const {
    for (const Train& t : m_trains) {
        if (t.number.compare(number, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

qsizetype Dataset::stopIndex(const Train& train, const QString& station) {
    for (qsizetype i = 0; i < train.stops.size(); ++i) {
        if (train.stops[i].station == station)
            return i;
    }
    return -1;
}

TrainListRow Dataset::rowFor(const Train& train, qsizetype fromStop, qsizetype toStop) {
    const TrainStop& from = train.stops[fromStop];
    const TrainStop& to = train.stops[toStop];
    // A row may start at the terminus (station query) or end at the origin (leg query).
    const int leaves = from.departure >= 0 ? from.departure : from.arrival;
    const int arrives = to.arrival >= 0 ? to.arrival : to.departure;
    TrainListRow row;
    row.train = train.number;
    row.origin = train.stops.first().station;
    row.terminus = train.stops.last().station;
    row.trainClass = train.trainClass;
    row.fromStation = from.station;
    row.fromTime = clockText(leaves);
    row.toStation = to.station;
    row.toTime = clockText(arrives);
    row.duration = durationText(arrives - leaves);
    row.distance = QString::number(to.km - from.km);
    row.link = detailLink(train.number);
    return row;
}

QList<TrainListRow> Dataset::trainsByNumber(const QString& text) const {
    QList<TrainListRow> rows;
    for (const Train& t : m_trains) {
        if (!t.number.startsWith(text, Qt::CaseInsensitive))
            continue;
        const TrainListRow row = rowFor(t, 0, t.stops.size() - 1);
        if (t.number.compare(text, Qt::CaseInsensitive) == 0)
            rows.prepend(row);
        else
            rows.append(row);
    }
    return rows;
}

QList<TrainListRow> Dataset::trainsBetween(const QString& from, const QString& to) const {
    QList<TrainListRow> rows;
    for (const Train& t : m_trains) {
        const qsizetype i = stopIndex(t, from);
        const qsizetype j = i < 0 ? -1 : stopIndex(t, to);
        if (i >= 0 && j > i)
            rows.append(rowFor(t, i, j));
    }
    return rows;
}

QList<TrainListRow> Dataset::trainsAtStation(const QString& station) const {
    QList<TrainListRow> rows;
    for (const Train& t : m_trains) {
        const qsizetype i = stopIndex(t, station);
        if (i >= 0)
            rows.append(rowFor(t, i, t.stops.size() - 1));
    }
    return rows;
}

QStringList Dataset::transferCities(const QString& from, const QString& to) const {
    if (from == to || !hasStation(from) || !hasStation(to) || !trainsBetween(from, to).isEmpty())
        return {};
    QSet<QString> reachesTo;
    for (const Train& t : m_trains) {
        const qsizetype j = stopIndex(t, to);
        for (qsizetype k = 0; k < j; ++k)
            reachesTo.insert(t.stops[k].station);
    }
    QStringList cities;
    for (const Train& t : m_trains) {
        const qsizetype i = stopIndex(t, from);
        if (i < 0)
            continue;
        for (qsizetype k = i + 1; k < t.stops.size(); ++k) {
            const QString& c = t.stops[k].station;
            if (c != to && reachesTo.contains(c) && !cities.contains(c))
                cities.append(c);
        }
    }
    return cities;
}

QList<TrainListRow> Dataset::legTrains(const QString& from, const QString& city) const {
    if (!from.isEmpty())
        return trainsBetween(from, city);
    QList<TrainListRow> rows;
    for (const Train& t : m_trains) {
        const qsizetype j = stopIndex(t, city);
        if (j >= 0)
            rows.append(rowFor(t, 0, j));
    }
    return rows;
}
