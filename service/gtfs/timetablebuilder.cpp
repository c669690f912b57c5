#include "timetablebuilder.h"

#include "calendar.h"

#include "contract/pagecontract.h"

#include <QHash>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace gtfs {

namespace {

constexpr int minutesPerDay = 24 * 60;

StopPlace placeOf(const Stop& stop) {
    const double lat = qDegreesToRadians(stop.lat);
    return {lat, stop.lon, std::cos(lat)};
}

// Where the processor has AVX the maths library's sin and asin use it, and plain SSE code
// around each call pays a switch-over stall that cost more than the sums themselves; an AVX
// copy of the function avoids it (without FMA, so the rounding is unchanged).
#if defined(__x86_64__)
#define WITH_AVX_COPY __attribute__((target_clones("avx", "default")))
#else
#define WITH_AVX_COPY
#endif

// Great-circle distance (haversine). The terms are those of the textbook formula in its
// order, so the figures are the same to the last bit as each pair worked out in full.
WITH_AVX_COPY double kilometresBetween(const StopPlace& a, const StopPlace& b) {
    constexpr double earthRadiusKm = 6371.0088;
    const double halfLat = std::sin((b.lat - a.lat) / 2);
    const double halfLon = std::sin(qDegreesToRadians(b.lon - a.lon) / 2);
    const double h = halfLat * halfLat + a.cosLat * b.cosLat * halfLon * halfLon;
    return 2 * earthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
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

qsizetype runsOf(const Frequency& f) {
    return f.headway > 0 && f.end > f.start ? (f.end - f.start + f.headway - 1) / f.headway : 0;
}

} // namespace

TimetableBuilder::TimetableBuilder(const Feed& feed, Faults& faults)
    : m_feed(feed)
    , m_faults(faults) {
    mapStations();
    for (const Frequency& f : feed.frequencies)
        m_frequencies[f.trip].push_back(&f);
    buildTrips();
}

void TimetableBuilder::mapStations() {
    std::unordered_map<std::string, int> ids;
    ids.reserve(m_feed.stops.size());
    for (size_t i = 0; i < m_feed.stops.size(); ++i)
        ids.emplace(m_feed.stops[i].id, int(i));
    QHash<QString, int> byName;
    m_stationOfStop.assign(m_feed.stops.size(), -1);
    m_placeOfStop.assign(m_feed.stops.size(), -1);
    m_places.resize(m_feed.stops.size());
    for (size_t i = 0; i < m_feed.stops.size(); ++i) {
        if (m_feed.stops[i].hasPosition)
            m_places[i] = placeOf(m_feed.stops[i]);
    }
    for (size_t i = 0; i < m_feed.stops.size(); ++i) {
        const Stop& stop = m_feed.stops[i];
        if (stop.type == LocationType::Other)
            continue;
        size_t station = i;
        if (stop.type == LocationType::Platform && !stop.parentId.empty()) {
            const auto parent = ids.find(stop.parentId);
            if (parent != ids.end() &&
                m_feed.stops[size_t(parent->second)].type == LocationType::Station)
                station = size_t(parent->second);
        }
        const Stop& s = m_feed.stops[station];
        const QString name =
            Timetable::displayName(s.name.isEmpty() ? QString::fromStdString(s.id) : s.name);
        auto it = byName.find(name);
        if (it == byName.end()) {
            it = byName.insert(name, int(m_stationNames.size()));
            m_stationNames << name;
            m_stationLatin << QString();
        }
        m_stationOfStop[i] = *it;
        if (m_stationLatin[*it].isEmpty()) {
            const auto latin = m_feed.latinNames.find(s.id);
            if (latin != m_feed.latinNames.end())
                m_stationLatin[*it] = latin->second;
        }
        // A platform without a position is placed at its station.
        m_placeOfStop[i] = stop.hasPosition ? int(i) : s.hasPosition ? int(station) : -1;
    }
}

void TimetableBuilder::buildTrips() {
    std::vector<int> order(m_feed.stopTimes.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    auto before = [&](int a, int b) {
        const StopTime &x = m_feed.stopTimes[size_t(a)], &y = m_feed.stopTimes[size_t(b)];
        if (x.trip != y.trip)
            return x.trip < y.trip;
        if (x.sequence != y.sequence)
            return x.sequence < y.sequence;
        return x.line < y.line;
    };
    // Feeds mostly list each trip's stops together and in order: then there is nothing to sort.
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::sort(order.begin(), order.end(), before);
    m_trains.resize(m_feed.trips.size());
    std::vector<TripCall> calls;
    // Trips of a line pass the same pairs of stops again and again: each pair is measured once.
    Measured measured(m_places.size());
    for (size_t i = 0; i < order.size();) {
        const int trip = m_feed.stopTimes[size_t(order[i])].trip;
        calls.clear();
        int lastSequence = -1;
        for (; i < order.size() && m_feed.stopTimes[size_t(order[i])].trip == trip; ++i)
            addCall(m_feed.stopTimes[size_t(order[i])], lastSequence, calls);
        interpolate(calls);
        if (calls.size() < 2)
            continue;
        measure(calls, measured);
        m_trains[size_t(trip)] = makeTrain(trip, calls, 0);
        if (m_frequencies.count(trip) != 0)
            m_repeatedCalls.emplace(trip, calls);
    }
    for (size_t trip = 0; trip < m_trains.size(); ++trip) {
        if (m_trains[trip].stops.size() < 2)
            m_faults.add(QStringLiteral("trip with fewer than two timed stops"), tripsTable,
                         m_feed.trips[trip].line);
    }
}

void TimetableBuilder::addCall(const StopTime& st, int& lastSequence,
                               std::vector<TripCall>& calls) {
    auto skip = [&](const char* kind) {
        m_faults.add(QString::fromUtf8(kind), stopTimesTable, st.line);
    };
    if (st.sequence == lastSequence)
        return skip("duplicate stop_sequence");
    lastSequence = st.sequence;
    const int station = m_stationOfStop[size_t(st.stop)];
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

double TimetableBuilder::distance(const TripCall& a, const TripCall& b) const {
    const int p = m_placeOfStop[size_t(a.stop)], q = m_placeOfStop[size_t(b.stop)];
    return p >= 0 && q >= 0 ? kilometresBetween(m_places[size_t(p)], m_places[size_t(q)]) : 0;
}

void TimetableBuilder::measure(std::vector<TripCall>& calls, Measured& measured) const {
    double km = 0;
    calls.front().km = 0;
    for (size_t k = 1; k < calls.size(); ++k) {
        const int p = m_placeOfStop[size_t(calls[k - 1].stop)];
        const int q = m_placeOfStop[size_t(calls[k].stop)];
        if (p >= 0 && q >= 0) {
            // A stop has few neighbours: a short list beats a hash table here.
            std::vector<std::pair<int, double>>& next = measured[size_t(p)];
            auto it = std::find_if(next.begin(), next.end(),
                                   [q](const auto& entry) { return entry.first == q; });
            if (it == next.end())
                it = next.insert(next.end(),
                                 {q, kilometresBetween(m_places[size_t(p)], m_places[size_t(q)])});
            km += it->second;
        }
        calls[k].km = km;
    }
}

// Calls without times between timed ones get times in proportion to the distance (or to
// the number of stops when positions are missing); before the first or after the last
// timed call there is nothing to go by.
void TimetableBuilder::interpolate(std::vector<TripCall>& calls) {
    auto untimed = [](const TripCall& c) { return c.arrival < 0; };
    while (!calls.empty() && (untimed(calls.front()) || untimed(calls.back()))) {
        const TripCall& dropped = untimed(calls.front()) ? calls.front() : calls.back();
        m_faults.add(QStringLiteral("stop time without a time"), stopTimesTable, dropped.line);
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

QString TimetableBuilder::number(const Trip& trip) const {
    const Route& route = m_feed.routes[size_t(trip.route)];
    for (const QString* text : {&trip.shortName, &route.shortName, &route.longName}) {
        if (!text->isEmpty())
            return Timetable::displayName(*text);
    }
    return Timetable::displayName(QString::fromStdString(trip.id));
}

Train TimetableBuilder::makeTrain(int trip, const std::vector<TripCall>& calls, int shift) const {
    const Trip& t = m_feed.trips[size_t(trip)];
    Train train;
    train.number = number(t);
    train.trainClass = letterClass(train.number);
    if (train.trainClass.isEmpty())
        train.trainClass = routeTypeClass(m_feed.routes[size_t(t.route)].type);
    train.stops.reserve(qsizetype(calls.size()));
    // Minutes counted from midnight of the day the train sets off; seconds dropped.
    const int setOff = (calls.front().departure + shift) / 60;
    const int base = setOff / minutesPerDay * minutesPerDay;
    for (size_t k = 0; k < calls.size(); ++k) {
        const TripCall& c = calls[k];
        TrainStop stop;
        stop.stationId = c.station;
        stop.station = m_stationNames[c.station];
        stop.arrival = k == 0 ? -1 : (c.arrival + shift) / 60 - base;
        stop.departure = k + 1 == calls.size() ? -1 : (c.departure + shift) / 60 - base;
        stop.km = int(std::lround(c.km));
        train.stops.append(std::move(stop));
    }
    return train;
}

std::optional<QList<Train>> TimetableBuilder::trainsOn(QDate day, QString* error) const {
    const std::vector<bool> running = servicesOn(m_feed, day);
    auto runs = [&](size_t trip) {
        return m_trains[trip].stops.size() >= 2 && running[size_t(m_feed.trips[trip].service)];
    };
    // Counted before anything is built, so a day too large is refused at once, whole.
    qsizetype calls = 0, trains = 0;
    int busiestLine = 0;
    qsizetype busiest = 0;
    for (size_t trip = 0; trip < m_trains.size(); ++trip) {
        if (!runs(trip))
            continue;
        const auto periods = m_frequencies.find(int(trip));
        if (periods == m_frequencies.end()) {
            calls += m_trains[trip].stops.size();
            ++trains;
            continue;
        }
        for (const Frequency* f : periods->second) {
            const qsizetype more = runsOf(*f) * m_trains[trip].stops.size();
            calls += more;
            trains += runsOf(*f);
            if (more > busiest) {
                busiest = more;
                busiestLine = f->line;
            }
        }
    }
    if (calls > maxCallsPerDay) {
        if (error) {
            *error =
                QStringLiteral("%1 的列车共停站 %2 次，超过本服务每天 %3 次的上限，该日不予查询")
                    .arg(day.toString(Qt::ISODate))
                    .arg(calls)
                    .arg(maxCallsPerDay);
            if (busiestLine > 0)
                *error +=
                    QStringLiteral("（停站最多的是 frequencies.txt 第 %1 行）").arg(busiestLine);
            *error += QStringLiteral("。");
        }
        return std::nullopt;
    }
    QList<Train> list;
    list.reserve(trains);
    for (size_t trip = 0; trip < m_trains.size(); ++trip) {
        if (!runs(trip))
            continue;
        const auto periods = m_frequencies.find(int(trip));
        if (periods == m_frequencies.end()) {
            list.append(m_trains[trip]); // shares the stop list with every other day
            continue;
        }
        // The stop times only give offsets; each run starts at a multiple of the headway.
        const std::vector<TripCall>& tripCalls = m_repeatedCalls.at(int(trip));
        for (const Frequency* f : periods->second) {
            if (f->headway <= 0)
                continue;
            for (int start = f->start; start < f->end; start += f->headway)
                list.append(makeTrain(int(trip), tripCalls, start - tripCalls.front().departure));
        }
    }
    return list;
}

} // namespace gtfs
