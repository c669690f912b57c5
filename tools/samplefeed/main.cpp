// Writes the built-in sample timetable (a GTFS feed) from a small table of railway lines and
// the trains that run on them. The same table always gives the same files, byte for byte.
//
//   quillon-samplefeed LINES.txt OUTPUT-FOLDER

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSaveFile>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

struct Station {
    QString name;
    double km = 0;
    bool major = false;
};

struct Line {
    QString name;
    QList<Station> stations;
    int line = 0; // where the table names it
};

struct Place {
    double lat = 0, lon = 0;
};

// One stop of a path, its km counted from the path's start: they decide the running time.
using PathStop = Station;

struct Stop {
    QString name;
    int arrival = 0, departure = 0; // minutes after midnight of the day the train sets off
};

struct TrainRun {
    QString number, route;
    QList<Stop> stops;
};

struct Route {
    QString id, name;
};

class TableError {
public:
    TableError(int line, QString text)
        : m_text(QStringLiteral("line %1: %2").arg(line).arg(text)) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

std::optional<int> clockMinutes(const QString& text) {
    const QStringList parts = text.split(u':');
    bool okH = false, okM = false;
    if (parts.size() != 2)
        return std::nullopt;
    const int h = parts[0].toInt(&okH), m = parts[1].toInt(&okM);
    if (!okH || !okM || h < 0 || h > 23 || m < 0 || m > 59)
        return std::nullopt;
    return h * 60 + m;
}

QString gtfsTime(int minutes) {
    return QStringLiteral("%1:%2:00")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

class Generator {
public:
    void read(const QString& text) {
        const QStringList rows = text.split(u'\n');
        for (int i = 0; i < rows.size(); ++i) {
            const int at = i + 1;
            const QString row = rows[i].section(u'#', 0, 0).trimmed();
            if (row.isEmpty())
                continue;
            const QStringList f = row.split(u' ', Qt::SkipEmptyParts);
            if (f[0] == u"line") {
                if (f.size() != 2)
                    throw TableError(at, QStringLiteral("line takes one name"));
                m_lines.append(Line{f[1], {}, at});
            } else if (f[0] == u"service" || f[0] == u"train") {
                m_pending.append({at, f});
            } else {
                readStation(at, f);
            }
        }
        placeStations();
        for (const auto& [at, f] : m_pending) {
            if (f[0] == u"service")
                readService(at, f);
            else
                readTrain(at, f);
        }
    }

    void write(const QString& folder) const {
        QDir().mkpath(folder);
        save(folder, QStringLiteral("agency.txt"),
             QStringLiteral("agency_id,agency_name,agency_url,agency_timezone,agency_lang\n"
                            "quillon,Quillon 样例铁路,http://127.0.0.1:18730/"
                            "portal.html,Asia/Shanghai,zh\n"));
        save(folder, QStringLiteral("calendar.txt"),
             QStringLiteral("service_id,monday,tuesday,wednesday,thursday,friday,saturday,"
                            "sunday,start_date,end_date\n"
                            "daily,1,1,1,1,1,1,1,20000101,20991231\n"));
        // Only stations some train stops at, in the order the table first names them.
        QSet<QString> served;
        for (const TrainRun& t : m_trains) {
            for (const Stop& s : t.stops)
                served.insert(s.name);
        }
        QHash<QString, QString> ids;
        QString stops = QStringLiteral("stop_id,stop_name,stop_lat,stop_lon,location_type\n");
        for (const QString& name : m_stationOrder) {
            if (!served.contains(name))
                continue;
            const QString id = QStringLiteral("S%1").arg(ids.size() + 1, 3, 10, QLatin1Char('0'));
            ids.insert(name, id);
            const Place& p = m_places[name];
            stops +=
                QStringLiteral("%1,%2,%3,%4,\n")
                    .arg(id, name, QString::number(p.lat, 'f', 3), QString::number(p.lon, 'f', 3));
        }
        save(folder, QStringLiteral("stops.txt"), stops);

        QString routes = QStringLiteral("route_id,agency_id,route_short_name,route_long_name,"
                                        "route_type\n");
        for (const Route& r : m_routes)
            routes += QStringLiteral("%1,quillon,,%2,2\n").arg(r.id, r.name);
        save(folder, QStringLiteral("routes.txt"), routes);

        QString trips = QStringLiteral("route_id,service_id,trip_id,trip_short_name\n");
        QString times =
            QStringLiteral("trip_id,arrival_time,departure_time,stop_id,stop_sequence\n");
        for (const TrainRun& t : m_trains) {
            const QString trip = QStringLiteral("T") + t.number;
            trips += QStringLiteral("%1,daily,%2,%3\n").arg(t.route, trip, t.number);
            for (qsizetype k = 0; k < t.stops.size(); ++k) {
                const Stop& s = t.stops[k];
                times +=
                    QStringLiteral("%1,%2,%3,%4,%5\n")
                        .arg(trip, gtfsTime(s.arrival), gtfsTime(s.departure), ids.value(s.name))
                        .arg(k + 1);
            }
        }
        save(folder, QStringLiteral("trips.txt"), trips);
        save(folder, QStringLiteral("stop_times.txt"), times);
    }

    qsizetype trainCount() const { return m_trains.size(); }

private:
    void readStation(int at, const QStringList& f) {
        if (m_lines.isEmpty())
            throw TableError(at, QStringLiteral("a station before any line"));
        Line& line = m_lines.last();
        bool ok = false;
        Station s{f[0], f.value(1).toDouble(&ok), f.last() == u"*"};
        const qsizetype numbers = f.size() - 1 - (s.major ? 1 : 0);
        if (!ok || (numbers != 1 && numbers != 3))
            throw TableError(at, QStringLiteral("a station is: NAME KM [LAT LON] [*]"));
        if (!line.stations.isEmpty() && s.km <= line.stations.last().km)
            throw TableError(at, QStringLiteral("kilometres must grow along a line"));
        if (numbers == 3) {
            bool okLat = false, okLon = false;
            const Place p{f[2].toDouble(&okLat), f[3].toDouble(&okLon)};
            if (!okLat || !okLon)
                throw TableError(at, QStringLiteral("bad coordinates"));
            if (m_pinned.contains(s.name))
                throw TableError(at, s.name + QStringLiteral(" is pinned twice"));
            m_pinned.insert(s.name);
            m_places.insert(s.name, p);
        }
        if (!m_seen.contains(s.name)) {
            m_seen.insert(s.name);
            m_stationOrder.append(s.name);
        }
        line.stations.append(s);
    }

    // Unpinned stations lie between the nearest pinned ones of the first line naming them.
    void placeStations() {
        for (const Line& line : m_lines) {
            const QList<Station>& st = line.stations;
            for (qsizetype k = 0; k < st.size(); ++k) {
                if (m_places.contains(st[k].name))
                    continue;
                qsizetype before = k, after = k;
                while (before >= 0 && !m_pinned.contains(st[before].name))
                    --before;
                while (after < st.size() && !m_pinned.contains(st[after].name))
                    ++after;
                if (before < 0 || after >= st.size())
                    throw TableError(line.line, st[k].name + QStringLiteral(" has no pinned "
                                                                            "neighbours"));
                const Place a = m_places[st[before].name], b = m_places[st[after].name];
                const double share = (st[k].km - st[before].km) / (st[after].km - st[before].km);
                m_places.insert(st[k].name, Place{a.lat + (b.lat - a.lat) * share,
                                                  a.lon + (b.lon - a.lon) * share});
            }
        }
    }

    const Line* lineNamed(const QString& name) const {
        for (const Line& l : m_lines) {
            if (l.name == name)
                return &l;
        }
        return nullptr;
    }

    // STATION LINE STATION [LINE STATION ...] as the stations passed, in order.
    QList<PathStop> path(int at, const QStringList& tokens) const {
        if (tokens.size() < 3 || tokens.size() % 2 == 0)
            throw TableError(at, QStringLiteral("a path is STATION LINE STATION ..."));
        QList<PathStop> stops;
        double base = 0;
        for (qsizetype i = 0; i + 2 < tokens.size(); i += 2) {
            const Line* line = lineNamed(tokens[i + 1]);
            if (!line)
                throw TableError(at, QStringLiteral("no line ") + tokens[i + 1]);
            auto indexOf = [&](const QString& name) {
                for (qsizetype k = 0; k < line->stations.size(); ++k) {
                    if (line->stations[k].name == name)
                        return k;
                }
                throw TableError(at, name + QStringLiteral(" is not on ") + line->name);
            };
            const qsizetype from = indexOf(tokens[i]), to = indexOf(tokens[i + 2]);
            const int step = to > from ? 1 : -1;
            if (from == to)
                throw TableError(at, QStringLiteral("an empty ride on ") + line->name);
            const double startKm = line->stations[from].km;
            for (qsizetype k = from; k != to + step; k += step) {
                const Station& s = line->stations[k];
                const double km = base + std::abs(s.km - startKm);
                if (!stops.isEmpty() && stops.last().name == s.name) {
                    stops.last().major = stops.last().major || s.major;
                    continue;
                }
                stops.append({s.name, km, s.major});
            }
            base = stops.last().km;
        }
        return stops;
    }

    // Which stations of the path train `index` of its service stops at.
    static QList<PathStop> stopsOf(int at, const QString& pattern, const QList<PathStop>& all,
                                   int index) {
        if (pattern != u"express" && pattern != u"mixed" && pattern != u"all")
            throw TableError(at, QStringLiteral("stops are express, mixed or all"));
        QList<PathStop> chosen;
        for (qsizetype k = 0; k < all.size(); ++k) {
            const bool ends = k == 0 || k + 1 == all.size();
            const bool takes = ends || all[k].major || pattern == u"all" ||
                               (pattern == u"mixed" && (k + index) % 3 == 0);
            if (takes)
                chosen.append(all[k]);
        }
        return chosen;
    }

    // Running time from speed with a few minutes to start and stop; fast trains dwell two
    // minutes, the others longer at big stations.
    void addTrain(const QString& number, const QString& route, int leaves, double kmh,
                  const QList<PathStop>& stops) {
        const bool fast =
            number.startsWith(u'G') || number.startsWith(u'D') || number.startsWith(u'C');
        TrainRun t{number, route, {}};
        double clock = leaves;
        for (qsizetype k = 0; k < stops.size(); ++k) {
            Stop s{stops[k].name, 0, 0};
            if (k > 0)
                clock += (stops[k].km - stops[k - 1].km) / kmh * 60 + (fast ? 3 : 6);
            s.arrival = int(std::lround(clock));
            if (k > 0 && k + 1 < stops.size())
                clock += fast ? 2 : (stops[k].major ? 8 : 4);
            s.departure = int(std::lround(clock));
            if (k == 0)
                s.arrival = s.departure;
            t.stops.append(s);
        }
        if (m_numbers.contains(number))
            throw TableError(0, number + QStringLiteral(" is numbered twice"));
        m_numbers.insert(number);
        m_trains.append(t);
    }

    QString addRoute(const QString& key, const QList<PathStop>& path) {
        const QString id = QStringLiteral("R") + key;
        m_routes.append({id, path.first().name + QStringLiteral("—") + path.last().name});
        return id;
    }

    // service LETTER FIRST COUNT FROM-TIME TO-TIME KMH STOPS PATH
    void readService(int at, const QStringList& f) {
        bool okFirst = false, okCount = false, okSpeed = false;
        const int first = f.value(2).toInt(&okFirst), count = f.value(3).toInt(&okCount);
        const double kmh = f.value(6).toDouble(&okSpeed);
        const std::optional<int> from = clockMinutes(f.value(4)), to = clockMinutes(f.value(5));
        if (f.size() < 11 || !okFirst || first % 2 == 0 || !okCount || count < 1 || !okSpeed ||
            kmh <= 0 || !from || !to || *to < *from)
            throw TableError(at, QStringLiteral("service LETTER ODD-FIRST COUNT HH:MM HH:MM "
                                                "KMH STOPS PATH"));
        const QList<PathStop> out = path(at, f.mid(8));
        QList<PathStop> back;
        for (qsizetype k = out.size() - 1; k >= 0; --k)
            back.append({out[k].name, out.last().km - out[k].km, out[k].major});
        const QString outRoute = addRoute(f[1] + f[2], out);
        const QString backRoute = addRoute(f[1] + QString::number(first + 1), back);
        for (int i = 0; i < count; ++i) {
            // Even spacing on a five-minute grid; the way back leaves a little later.
            const double step = count > 1 ? double(*to - *from) / (count - 1) : 0;
            const int leaves = int(std::lround((*from + i * step) / 5)) * 5;
            addTrain(f[1] + QString::number(first + 2 * i), outRoute, leaves, kmh,
                     stopsOf(at, f[7], out, i));
            addTrain(f[1] + QString::number(first + 2 * i + 1), backRoute, leaves + 10, kmh,
                     stopsOf(at, f[7], back, i));
        }
    }

    // train NUMBER TIME KMH STOPS PATH
    void readTrain(int at, const QStringList& f) {
        bool okSpeed = false;
        const double kmh = f.value(3).toDouble(&okSpeed);
        const std::optional<int> leaves = clockMinutes(f.value(2));
        if (f.size() < 8 || !leaves || !okSpeed || kmh <= 0)
            throw TableError(at, QStringLiteral("train NUMBER HH:MM KMH STOPS PATH"));
        const QList<PathStop> all = path(at, f.mid(5));
        addTrain(f[1], addRoute(f[1], all), *leaves, kmh, stopsOf(at, f[4], all, 0));
    }

    static void save(const QString& folder, const QString& name, const QString& text) {
        QSaveFile file(folder + u'/' + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
            throw TableError(0, QStringLiteral("cannot write ") + file.fileName());
    }

    QList<Line> m_lines;
    QList<std::pair<int, QStringList>> m_pending;
    QHash<QString, Place> m_places;
    QSet<QString> m_pinned, m_seen, m_numbers;
    QStringList m_stationOrder;
    QList<Route> m_routes;
    QList<TrainRun> m_trains;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: quillon-samplefeed LINES.txt OUTPUT-FOLDER\n");
        return 2;
    }
    QFile table(args[1]);
    if (!table.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "quillon-samplefeed: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    try {
        Generator generator;
        generator.read(QString::fromUtf8(table.readAll()));
        generator.write(args[2]);
        std::printf("%lld trains\n", static_cast<long long>(generator.trainCount()));
    } catch (const TableError& e) {
        std::fprintf(stderr, "quillon-samplefeed: %s: %s\n", qPrintable(args[1]),
                     qPrintable(e.text()));
        return 1;
    }
    return 0;
}
