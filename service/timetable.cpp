#include "timetable.h"

#include "gtfs/calendar.h"
#include "gtfs/feed.h"

#include "contract/pagecontract.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

// Q_INIT_RESOURCE must be used outside any namespace; the data lives in a static library,
// so nothing registers it unless we do.
static void registerSampleData() {
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(sampledata); });
}

namespace {

constexpr int minutesPerDay = 24 * 60;
// Frequencies multiply trips; past this many calls further runs are skipped, so a feed
// cannot make the model grow without bound.
constexpr qsizetype maxCalls = 4'000'000;
constexpr int maxRunsPerPeriod = 2 * minutesPerDay;

double kilometresBetween(const gtfs::Stop& a, const gtfs::Stop& b) {
    constexpr double earthRadiusKm = 6371.0088;
    const double lat1 = qDegreesToRadians(a.lat), lat2 = qDegreesToRadians(b.lat);
    const double dLat = lat2 - lat1, dLon = qDegreesToRadians(b.lon - a.lon);
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * earthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
}

// Classes of Chinese train numbers by their class letter.
QString letterClass(const QString& number) {
    static const QHash<QChar, QString> classes{
        {u'G', QStringLiteral("高速动车")}, {u'C', QStringLiteral("城际")},
        {u'D', QStringLiteral("动车组")},   {u'Z', QStringLiteral("直达特快")},
        {u'T', QStringLiteral("特快")},     {u'K', QStringLiteral("快速")},
    };
    return classes.value(contract::classLetter(number));
}

QString routeTypeClass(int type) {
    // The basic route types and the extended ones that mean the same kind.
    if (type == 2 || (type >= 100 && type < 200))
        return QStringLiteral("铁路");
    if (type == 3 || (type >= 200 && type < 300) || (type >= 700 && type < 800))
        return QStringLiteral("汽车");
    if (type == 0 || (type >= 900 && type < 1000))
        return QStringLiteral("有轨电车");
    if (type == 1 || (type >= 400 && type < 500))
        return QStringLiteral("地铁");
    if (type == 4 || type == 1000 || type == 1200)
        return QStringLiteral("轮渡");
    return QStringLiteral("其他");
}

// Letters compared without case, runs of digits by value: G9 < G10 < G87 < K7.
int compareNumbers(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const QStringView da = QStringView(a).mid(i, ei - i),
                              db = QStringView(b).mid(j, ej - j);
            // Compare values by length without leading zeros, then digit by digit.
            qsizetype sa = 0, sb = 0;
            while (sa < da.size() - 1 && da[sa] == u'0')
                ++sa;
            while (sb < db.size() - 1 && db[sb] == u'0')
                ++sb;
            const qsizetype la = da.size() - sa, lb = db.size() - sb;
            if (la != lb)
                return la < lb ? -1 : 1;
            if (const int c = da.mid(sa).compare(db.mid(sb)); c != 0)
                return c;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toUpper(), cb = b[j].toUpper();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}

int leavesAt(const TrainStop& s) {
    return s.departure >= 0 ? s.departure : s.arrival;
}

int arrivesAt(const TrainStop& s) {
    return s.arrival >= 0 ? s.arrival : s.departure;
}

// One timed call of a trip while it is being built, in seconds of the service day.
struct TripCall {
    int station;
    int stop;
    int arrival, departure; // both -1 for a call the feed gives no time
    int line;
};

class TimetableBuilder {
public:
    TimetableBuilder(const gtfs::Feed& feed, gtfs::Faults& faults)
        : m_feed(feed)
        , m_faults(faults) {
        mapStations();
        for (size_t i = 0; i < feed.frequencies.size(); ++i)
            m_frequencies[feed.frequencies[i].trip].push_back(&feed.frequencies[i]);
    }

    QStringList stationNames, stationLatin;
    std::vector<int> stationOfStop;

    void buildTrains(QDate day, QList<Train>& trains) {
        const std::vector<bool> running = gtfs::servicesOn(m_feed, day);
        std::vector<int> order(m_feed.stopTimes.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const gtfs::StopTime &x = m_feed.stopTimes[size_t(a)], &y = m_feed.stopTimes[size_t(b)];
            if (x.trip != y.trip)
                return x.trip < y.trip;
            if (x.sequence != y.sequence)
                return x.sequence < y.sequence;
            return x.line < y.line;
        });
        std::vector<int> callsOfTrip(m_feed.trips.size(), 0);
        std::vector<TripCall> calls;
        for (size_t i = 0; i < order.size();) {
            const int trip = m_feed.stopTimes[size_t(order[i])].trip;
            calls.clear();
            int lastSequence = -1;
            for (; i < order.size() && m_feed.stopTimes[size_t(order[i])].trip == trip; ++i)
                addCall(m_feed.stopTimes[size_t(order[i])], lastSequence, calls);
            interpolate(calls);
            callsOfTrip[size_t(trip)] = int(calls.size());
            const gtfs::Trip& t = m_feed.trips[size_t(trip)];
            if (calls.size() >= 2 && running[size_t(t.service)])
                addRuns(trip, calls, trains);
        }
        for (size_t trip = 0; trip < m_feed.trips.size(); ++trip) {
            if (callsOfTrip[trip] < 2)
                m_faults.add(QStringLiteral("trip with fewer than two timed stops"),
                             gtfs::tripsTable, m_feed.trips[trip].line);
        }
    }

private:
    void mapStations() {
        std::unordered_map<std::string, int> ids;
        ids.reserve(m_feed.stops.size());
        for (size_t i = 0; i < m_feed.stops.size(); ++i)
            ids.emplace(m_feed.stops[i].id, int(i));
        QHash<QString, int> byName;
        stationOfStop.assign(m_feed.stops.size(), -1);
        m_positionOfStop.assign(m_feed.stops.size(), -1);
        for (size_t i = 0; i < m_feed.stops.size(); ++i) {
            const gtfs::Stop& stop = m_feed.stops[i];
            if (stop.type == gtfs::LocationType::Other)
                continue;
            size_t station = i;
            if (stop.type == gtfs::LocationType::Platform && !stop.parentId.empty()) {
                const auto parent = ids.find(stop.parentId);
                if (parent != ids.end() &&
                    m_feed.stops[size_t(parent->second)].type == gtfs::LocationType::Station)
                    station = size_t(parent->second);
            }
            const gtfs::Stop& s = m_feed.stops[station];
            const QString name =
                Timetable::displayName(s.name.isEmpty() ? QString::fromStdString(s.id) : s.name);
            auto it = byName.find(name);
            if (it == byName.end()) {
                it = byName.insert(name, int(stationNames.size()));
                stationNames << name;
                stationLatin << QString();
            }
            stationOfStop[i] = *it;
            if (stationLatin[*it].isEmpty()) {
                const auto latin = m_feed.latinNames.find(s.id);
                if (latin != m_feed.latinNames.end())
                    stationLatin[*it] = latin->second;
            }
            // A platform without a position is placed at its station.
            m_positionOfStop[i] = stop.hasPosition ? int(i) : s.hasPosition ? int(station) : -1;
        }
    }

    void addCall(const gtfs::StopTime& st, int& lastSequence, std::vector<TripCall>& calls) {
        auto skip = [&](const char* kind) {
            m_faults.add(QString::fromUtf8(kind), gtfs::stopTimesTable, st.line);
        };
        if (st.sequence == lastSequence)
            return skip("duplicate stop_sequence");
        lastSequence = st.sequence;
        const int station = stationOfStop[size_t(st.stop)];
        if (station < 0)
            return skip("stop is an entrance or node");
        // An empty arrival takes the departure, and the reverse.
        const int arrival = st.arrival >= 0 ? st.arrival : st.departure;
        const int departure = st.departure >= 0 ? st.departure : st.arrival;
        if (arrival < 0) {
            calls.push_back({station, st.stop, -1, -1, st.line});
            return;
        }
        if (departure < arrival)
            return skip("departure before arrival");
        for (auto c = calls.rbegin(); c != calls.rend(); ++c) {
            if (c->departure >= 0) {
                if (arrival < c->departure)
                    return skip("time before the previous stop");
                break;
            }
        }
        calls.push_back({station, st.stop, arrival, departure, st.line});
    }

    double distance(const TripCall& a, const TripCall& b) const {
        const int p = m_positionOfStop[size_t(a.stop)], q = m_positionOfStop[size_t(b.stop)];
        return p >= 0 && q >= 0
                   ? kilometresBetween(m_feed.stops[size_t(p)], m_feed.stops[size_t(q)])
                   : 0;
    }

    // Calls without times between timed ones get times in proportion to the distance (or to
    // the number of stops when positions are missing); before the first or after the last
    // timed call there is nothing to go by.
    void interpolate(std::vector<TripCall>& calls) {
        auto untimed = [](const TripCall& c) { return c.arrival < 0; };
        while (!calls.empty() && (untimed(calls.front()) || untimed(calls.back()))) {
            const TripCall& dropped = untimed(calls.front()) ? calls.front() : calls.back();
            m_faults.add(QStringLiteral("stop time without a time"), gtfs::stopTimesTable,
                         dropped.line);
            calls.erase(untimed(calls.front()) ? calls.begin() : calls.end() - 1);
        }
        for (size_t i = 0; i + 1 < calls.size(); ++i) {
            if (!untimed(calls[i + 1]))
                continue;
            size_t j = i + 1;
            while (untimed(calls[j]))
                ++j;
            std::vector<double> along{0};
            for (size_t k = i + 1; k <= j; ++k)
                along.push_back(along.back() + distance(calls[k - 1], calls[k]));
            const int from = calls[i].departure, span = calls[j].arrival - from;
            for (size_t k = i + 1; k < j; ++k) {
                const double share =
                    along.back() > 0 ? along[k - i] / along.back() : double(k - i) / double(j - i);
                calls[k].arrival = calls[k].departure = from + int(std::lround(span * share));
            }
            i = j - 1;
        }
    }

    void addRuns(int trip, const std::vector<TripCall>& calls, QList<Train>& trains) {
        const auto periods = m_frequencies.find(trip);
        if (periods == m_frequencies.end())
            return addTrain(trip, calls, 0, trains);
        // The stop times only give offsets; each run starts at a multiple of the headway.
        for (const gtfs::Frequency* f : periods->second) {
            int runs = 0;
            for (int start = f->start; start < f->end; start += f->headway) {
                if (++runs > maxRunsPerPeriod || m_calls + qsizetype(calls.size()) > maxCalls) {
                    m_faults.add(QStringLiteral("too many runs"), QStringLiteral("frequencies.txt"),
                                 f->line);
                    break;
                }
                addTrain(trip, calls, start - calls.front().departure, trains);
            }
        }
    }

    QString number(const gtfs::Trip& trip) const {
        const gtfs::Route& route = m_feed.routes[size_t(trip.route)];
        for (const QString* text : {&trip.shortName, &route.shortName, &route.longName}) {
            if (!text->isEmpty())
                return Timetable::displayName(*text);
        }
        return Timetable::displayName(QString::fromStdString(trip.id));
    }

    void addTrain(int trip, const std::vector<TripCall>& calls, int shift, QList<Train>& trains) {
        if (m_calls + qsizetype(calls.size()) > maxCalls) {
            m_faults.add(QStringLiteral("too many stops in the feed"), gtfs::tripsTable,
                         m_feed.trips[size_t(trip)].line);
            return;
        }
        m_calls += qsizetype(calls.size());
        const gtfs::Trip& t = m_feed.trips[size_t(trip)];
        Train train;
        train.number = number(t);
        train.trainClass = letterClass(train.number);
        if (train.trainClass.isEmpty())
            train.trainClass = routeTypeClass(m_feed.routes[size_t(t.route)].type);
        train.stops.reserve(qsizetype(calls.size()));
        // Minutes counted from midnight of the day the train sets off; seconds dropped.
        const int setOff = (calls.front().departure + shift) / 60;
        const int base = setOff / minutesPerDay * minutesPerDay;
        double km = 0;
        for (size_t k = 0; k < calls.size(); ++k) {
            const TripCall& c = calls[k];
            if (k > 0) {
                const int a = m_positionOfStop[size_t(calls[k - 1].stop)];
                const int b = m_positionOfStop[size_t(c.stop)];
                if (a >= 0 && b >= 0)
                    km += kilometresBetween(m_feed.stops[size_t(a)], m_feed.stops[size_t(b)]);
            }
            TrainStop stop;
            stop.stationId = c.station;
            stop.station = stationNames[c.station];
            stop.arrival = k == 0 ? -1 : (c.arrival + shift) / 60 - base;
            stop.departure = k + 1 == calls.size() ? -1 : (c.departure + shift) / 60 - base;
            stop.km = int(std::lround(km));
            train.stops.append(std::move(stop));
        }
        trains.append(std::move(train));
    }

    const gtfs::Feed& m_feed;
    gtfs::Faults& m_faults;
    std::vector<int> m_positionOfStop;
    std::unordered_map<int, std::vector<const gtfs::Frequency*>> m_frequencies;
    qsizetype m_calls = 0;
};

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

QString Timetable::displayName(const QString& name) {
    static const char16_t plain[] = u"-<>&'\"";
    static const char16_t wide[] = u"－＜＞＆＇＂";
    QString shown = name;
    for (int i = 0; i < 6; ++i)
        shown.replace(QChar(plain[i]), QChar(wide[i]));
    return shown;
}

QString Timetable::detailLink(const QString& number) {
    return QStringLiteral("train.asp?cc=") + number;
}

Timetable Timetable::build(const gtfs::Feed& feed, QDate day, gtfs::Faults* faults) {
    gtfs::Faults ignored;
    TimetableBuilder builder(feed, faults ? *faults : ignored);
    Timetable t;
    builder.buildTrains(day, t.m_trains);
    t.m_stationNames = builder.stationNames;
    t.m_stationLatin = builder.stationLatin;
    t.buildIndexes();
    return t;
}

std::optional<Timetable> Timetable::load(const QString& path, QDate day, LoadReport* report,
                                         QString* error) {
    const std::unique_ptr<gtfs::FeedSource> source = gtfs::FeedSource::open(path, error);
    if (!source)
        return std::nullopt;
    gtfs::Feed feed;
    if (!gtfs::readFeed(*source, feed, error))
        return std::nullopt;
    Timetable t = build(feed, day, &feed.faults);
    if (report) {
        report->faults = feed.faults;
        report->coveredDates = gtfs::coveredDates(feed);
    }
    return t;
}

std::optional<Timetable> Timetable::loadBuiltIn(QString* error, QDate day) {
    registerSampleData();
    return load(QStringLiteral(":/quillon/feed"), day, nullptr, error);
}

void Timetable::buildIndexes() {
    // Station names stay as interned for the trains; ids need not follow name order.
    m_stationIds.clear();
    m_stationIds.reserve(m_stationNames.size());
    for (qsizetype i = 0; i < m_stationNames.size(); ++i)
        m_stationIds.insert(m_stationNames[i], int(i));

    m_calls.assign(size_t(m_stationNames.size()), {});
    std::vector<int> seenAt(size_t(m_stationNames.size()), -1);
    for (qsizetype t = 0; t < m_trains.size(); ++t) {
        const QList<TrainStop>& stops = m_trains[t].stops;
        for (qsizetype s = 0; s < stops.size(); ++s) {
            const int station = stops[s].stationId;
            if (seenAt[size_t(station)] == int(t))
                continue; // a second call at the same station: the first one counts
            seenAt[size_t(station)] = int(t);
            m_calls[size_t(station)].push_back({int(t), int(s)});
        }
    }
    for (std::vector<Call>& calls : m_calls) {
        std::sort(calls.begin(), calls.end(), [&](const Call& a, const Call& b) {
            const Train &x = m_trains[a.train], &y = m_trains[b.train];
            const int cx = leavesAt(x.stops[a.stop]) % minutesPerDay;
            const int cy = leavesAt(y.stops[b.stop]) % minutesPerDay;
            if (cx != cy)
                return cx < cy;
            if (const int c = compareNumbers(x.number, y.number); c != 0)
                return c < 0;
            return a.train < b.train;
        });
    }

    m_numbers.clear();
    m_numbers.reserve(size_t(m_trains.size()));
    for (qsizetype t = 0; t < m_trains.size(); ++t)
        m_numbers.emplace_back(m_trains[t].number.toUpper(), int(t));
    std::sort(m_numbers.begin(), m_numbers.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        return leavesAt(m_trains[a.second].stops.first()) <
                   leavesAt(m_trains[b.second].stops.first()) ||
               (leavesAt(m_trains[a.second].stops.first()) ==
                    leavesAt(m_trains[b.second].stops.first()) &&
                a.second < b.second);
    });
}

int Timetable::stationId(const QString& name) const {
    return m_stationIds.value(displayName(name), -1);
}

QList<StationListEntry> Timetable::stations() const {
    QList<StationListEntry> list;
    list.reserve(m_stationNames.size());
    for (qsizetype i = 0; i < m_stationNames.size(); ++i) {
        const int trains = int(m_calls[size_t(i)].size());
        if (trains > 0)
            list.append({m_stationNames[i], trains, m_stationLatin[i]});
    }
    std::sort(list.begin(), list.end(),
              [](const StationListEntry& a, const StationListEntry& b) { return a.name < b.name; });
    return list;
}

int Timetable::firstCallAfter(const Train& train, int stop, int station) const {
    for (qsizetype k = stop + 1; k < train.stops.size(); ++k) {
        if (train.stops[k].stationId == station)
            return int(k);
    }
    return -1;
}

TrainListRow Timetable::rowFor(const Train& train, qsizetype fromStop, qsizetype toStop) {
    const TrainStop& from = train.stops[fromStop];
    const TrainStop& to = train.stops[toStop];
    // A row may end at the origin (leg query).
    const int leaves = leavesAt(from);
    const int arrives = toStop == fromStop ? leaves : arrivesAt(to);
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

QList<TrainListRow> Timetable::trainsByNumber(const QString& text) const {
    const QString key = displayName(text).toUpper();
    auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), key,
                               [](const auto& entry, const QString& k) { return entry.first < k; });
    std::vector<int> exact, others;
    for (; it != m_numbers.end() && it->first.startsWith(key); ++it)
        (it->first == key ? exact : others).push_back(it->second);
    std::stable_sort(others.begin(), others.end(), [&](int a, int b) {
        return compareNumbers(m_trains[a].number, m_trains[b].number) < 0;
    });
    QList<TrainListRow> rows;
    rows.reserve(qsizetype(exact.size() + others.size()));
    for (const std::vector<int>* list : {&exact, &others}) {
        for (int t : *list)
            rows.append(rowFor(m_trains[t], 0, m_trains[t].stops.size() - 1));
    }
    return rows;
}

QList<TrainListRow> Timetable::trainsBetween(const QString& from, const QString& to) const {
    const int a = stationId(from), b = stationId(to);
    QList<TrainListRow> rows;
    if (a < 0 || b < 0)
        return rows;
    for (const Call& c : m_calls[size_t(a)]) {
        const Train& train = m_trains[c.train];
        const int k = firstCallAfter(train, c.stop, b);
        if (k >= 0)
            rows.append(rowFor(train, c.stop, k));
    }
    return rows;
}

QList<TrainListRow> Timetable::trainsAtStation(const QString& station) const {
    const int s = stationId(station);
    QList<TrainListRow> rows;
    if (s < 0)
        return rows;
    for (const Call& c : m_calls[size_t(s)]) {
        const Train& train = m_trains[c.train];
        const qsizetype last = train.stops.size() - 1;
        // A train that ends here is an arrival: shown from its origin, as a station board does.
        rows.append(c.stop == last ? rowFor(train, 0, last) : rowFor(train, c.stop, last));
    }
    return rows;
}

QStringList Timetable::transferCities(const QString& from, const QString& to) const {
    const int a = stationId(from), b = stationId(to);
    if (a < 0 || b < 0 || a == b)
        return {};
    // First legs: where each train from the departure goes, when it left and arrives.
    struct Leg {
        int leaves, arrives; // minutes on the clock of the train's day
    };
    std::unordered_map<int, std::vector<Leg>> firstLegs;
    for (const Call& c : m_calls[size_t(a)]) {
        const Train& train = m_trains[c.train];
        const int leaves = leavesAt(train.stops[c.stop]);
        for (qsizetype k = c.stop + 1; k < train.stops.size(); ++k) {
            const TrainStop& s = train.stops[k];
            if (s.stationId == b)
                return {}; // a through train
            if (s.stationId != a)
                firstLegs[s.stationId].push_back({leaves, arrivesAt(s)});
        }
    }
    std::unordered_map<int, int> best; // city → quickest whole journey in minutes
    for (const Call& c : m_calls[size_t(b)]) {
        const Train& train = m_trains[c.train];
        const int arrives = arrivesAt(train.stops[c.stop]);
        for (qsizetype k = 0; k < c.stop; ++k) {
            const TrainStop& s = train.stops[k];
            const auto legs = firstLegs.find(s.stationId);
            if (legs == firstLegs.end())
                continue;
            const int leavesCity = leavesAt(s);
            for (const Leg& leg : legs->second) {
                // The second train leaves strictly after the first arrives, the next day if
                // need be.
                int wait =
                    ((leavesCity - leg.arrives) % minutesPerDay + minutesPerDay) % minutesPerDay;
                if (wait == 0)
                    wait = minutesPerDay;
                const int total = (leg.arrives - leg.leaves) + wait + (arrives - leavesCity);
                auto [it, fresh] = best.try_emplace(s.stationId, total);
                if (!fresh && total < it->second)
                    it->second = total;
            }
        }
    }
    std::vector<std::pair<int, int>> ranked(best.begin(), best.end());
    std::sort(ranked.begin(), ranked.end(), [&](const auto& x, const auto& y) {
        if (x.second != y.second)
            return x.second < y.second;
        return m_stationNames[x.first] < m_stationNames[y.first];
    });
    QStringList cities;
    for (size_t i = 0; i < ranked.size() && i < size_t(maxTransferCities); ++i)
        cities << m_stationNames[ranked[i].first];
    return cities;
}

QList<TrainListRow> Timetable::legTrains(const QString& from, const QString& city) const {
    if (!from.isEmpty())
        return trainsBetween(from, city);
    const int s = stationId(city);
    if (s < 0)
        return {};
    std::vector<Call> calls = m_calls[size_t(s)];
    std::stable_sort(calls.begin(), calls.end(), [&](const Call& x, const Call& y) {
        return leavesAt(m_trains[x.train].stops.first()) % minutesPerDay <
               leavesAt(m_trains[y.train].stops.first()) % minutesPerDay;
    });
    QList<TrainListRow> rows;
    for (const Call& c : calls)
        rows.append(rowFor(m_trains[c.train], 0, c.stop));
    return rows;
}

const Train* Timetable::findTrain(const QString& number) const {
    const QString key = displayName(number).toUpper();
    const auto it =
        std::lower_bound(m_numbers.begin(), m_numbers.end(), key,
                         [](const auto& entry, const QString& k) { return entry.first < k; });
    if (it == m_numbers.end() || it->first != key)
        return nullptr;
    return &m_trains[it->second];
}
