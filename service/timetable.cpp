#include "timetable.h"

#include "gtfs/calendar.h"
#include "gtfs/feed.h"
#include "gtfs/timetablebuilder.h"

#include "contract/pagecontract.h"

#include <algorithm>
#include <QSet>

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

} // namespace

// Classes of Chinese train numbers by their class letter.
QString letterClass(const QString& number) {
    static const QHash<QChar, QString> classes{
        {u'G', QStringLiteral("高速动车")}, {u'C', QStringLiteral("城际")},
        {u'D', QStringLiteral("动车组")},   {u'Z', QStringLiteral("直达特快")},
        {u'T', QStringLiteral("特快")},     {u'K', QStringLiteral("快速")},
    };
    return classes.value(contract::classLetter(number));
}

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
    const gtfs::TimetableBuilder builder(feed, faults ? *faults : ignored);
    QString error;
    std::optional<QList<Train>> trains = builder.trainsOn(day, &error);
    if (!trains && faults)
        faults->add(error, QStringLiteral("frequencies.txt"), 0);
    return fromTrains(trains.value_or(QList<Train>()), builder.stationNames(),
                      builder.stationLatin());
}

Timetable Timetable::fromTrains(QList<Train> trains, QStringList stationNames,
                                QStringList stationLatin, Cities cities) {
    Timetable t;
    t.m_trains = std::move(trains);
    t.m_stationNames = std::move(stationNames);
    t.m_stationLatin = std::move(stationLatin);
    t.m_cities = cities.isEmpty() ? cityGroups(t.m_stationNames) : std::move(cities);
    t.buildIndexes();
    return t;
}

QString Timetable::builtInFeed() {
    registerSampleData();
    return QStringLiteral(":/quillon/feed");
}

namespace {

bool isDirection(QChar c) {
    return c == u'东' || c == u'西' || c == u'南' || c == u'北';
}

// What may follow a city's name in the name of one of its stations: a direction, "站", a
// direction and "站", or (after a name that is itself a station) a two-character district
// such as 虹桥 or 朝阳.
bool citySuffix(QStringView rest, bool cityIsStation) {
    if (rest == u"站" || (rest.size() == 1 && isDirection(rest[0])))
        return true;
    if (rest.size() == 2 && isDirection(rest[0]) && rest[1] == u'站')
        return true;
    return cityIsStation && rest.size() == 2;
}

} // namespace

Timetable::Cities Timetable::cityGroups(const QStringList& stationNames) {
    QHash<QString, int> ids;
    for (qsizetype i = 0; i < stationNames.size(); ++i)
        ids.insert(stationNames[i], int(i));
    // Names a city may have: every station's, and a directional station's without its
    // direction (北京西 names 北京 even when no station is called 北京).
    QSet<QString> names;
    for (const QString& n : stationNames) {
        names.insert(n);
        QStringView v(n);
        if (v.endsWith(u'站'))
            v.chop(1);
        if (v.size() > 2 && isDirection(v.back()))
            names.insert(v.chopped(1).toString());
    }
    Cities cities;
    for (qsizetype i = 0; i < stationNames.size(); ++i) {
        const QString& n = stationNames[i];
        // The shortest city name that fits, so 北京西 goes to 北京, not to a 北京西 city.
        for (qsizetype len = 2; len < n.size(); ++len) {
            const QString city = n.left(len);
            if (names.contains(city) && citySuffix(QStringView(n).mid(len), ids.contains(city))) {
                cities[city].append(int(i));
                break;
            }
        }
    }
    for (auto it = cities.begin(); it != cities.end();) {
        const int self = ids.value(it.key(), -1);
        if (self >= 0)
            it->prepend(self);
        if (it->size() < 2)
            it = cities.erase(it);
        else
            ++it;
    }
    return cities;
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

    // Sorted with each call's clock time beside it: looking it up in the train's stops at
    // every comparison cost more than the rest of the indexing.
    struct Timed {
        int clock;
        Call call;
    };
    std::vector<std::vector<Timed>> timed(size_t(m_stationNames.size()));
    std::vector<int> seenAt(size_t(m_stationNames.size()), -1);
    for (qsizetype t = 0; t < m_trains.size(); ++t) {
        const QList<TrainStop>& stops = m_trains[t].stops;
        for (qsizetype s = 0; s < stops.size(); ++s) {
            const int station = stops[s].stationId;
            if (seenAt[size_t(station)] == int(t))
                continue; // a second call at the same station: the first one counts
            seenAt[size_t(station)] = int(t);
            timed[size_t(station)].push_back(
                {leavesAt(stops[s]) % minutesPerDay, {int(t), int(s)}});
        }
    }
    m_calls.assign(size_t(m_stationNames.size()), {});
    for (size_t station = 0; station < timed.size(); ++station) {
        std::vector<Timed>& calls = timed[station];
        std::sort(calls.begin(), calls.end(), [&](const Timed& a, const Timed& b) {
            return a.clock != b.clock ? a.clock < b.clock : callBefore(a.call, b.call);
        });
        m_calls[station].reserve(calls.size());
        for (const Timed& c : calls)
            m_calls[station].push_back(c.call);
        calls = {};
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

QList<int> Timetable::stationIds(const QString& name) const {
    const QString shown = displayName(name);
    const auto city = m_cities.constFind(shown);
    if (city != m_cities.constEnd())
        return *city;
    const int id = m_stationIds.value(shown, -1);
    return id >= 0 ? QList<int>{id} : QList<int>{};
}

QList<CityEntry> Timetable::cities() const {
    QList<CityEntry> list;
    for (auto it = m_cities.constBegin(); it != m_cities.constEnd(); ++it) {
        CityEntry city{it.key(), {}, 0};
        for (int id : *it) {
            const int trains = int(m_calls[size_t(id)].size());
            if (trains > 0) {
                city.stations << m_stationNames[id];
                city.trains += trains;
            }
        }
        if (city.stations.size() >= 2)
            list.append(city);
    }
    std::sort(list.begin(), list.end(),
              [](const CityEntry& a, const CityEntry& b) { return a.name < b.name; });
    return list;
}

std::vector<Timetable::Call> Timetable::callsAt(const QList<int>& ids) const {
    if (ids.size() == 1)
        return m_calls[size_t(ids.front())];
    // A train calling at two stations of a city counts once, at the first of them.
    std::unordered_map<int, Call> first;
    for (int id : ids) {
        for (const Call& c : m_calls[size_t(id)]) {
            auto [it, fresh] = first.try_emplace(c.train, c);
            if (!fresh && c.stop < it->second.stop)
                it->second = c;
        }
    }
    std::vector<Call> calls;
    calls.reserve(first.size());
    for (const auto& entry : first)
        calls.push_back(entry.second);
    std::sort(calls.begin(), calls.end(),
              [&](const Call& a, const Call& b) { return callBefore(a, b); });
    return calls;
}

bool Timetable::callBefore(const Call& a, const Call& b) const {
    const Train &x = m_trains[a.train], &y = m_trains[b.train];
    const int cx = leavesAt(x.stops[a.stop]) % minutesPerDay;
    const int cy = leavesAt(y.stops[b.stop]) % minutesPerDay;
    if (cx != cy)
        return cx < cy;
    if (const int c = compareNumbers(x.number, y.number); c != 0)
        return c < 0;
    return a.train < b.train;
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

int Timetable::firstCallAfter(const Train& train, int stop, const QList<int>& stations) const {
    for (qsizetype k = stop + 1; k < train.stops.size(); ++k) {
        if (stations.contains(train.stops[k].stationId))
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
    const QList<int> a = stationIds(from), b = stationIds(to);
    QList<TrainListRow> rows;
    if (a.isEmpty() || b.isEmpty())
        return rows;
    for (const Call& c : callsAt(a)) {
        const Train& train = m_trains[c.train];
        const int k = firstCallAfter(train, c.stop, b);
        if (k >= 0)
            rows.append(rowFor(train, c.stop, k));
    }
    return rows;
}

QList<TrainListRow> Timetable::trainsAtStation(const QString& station) const {
    const QList<int> s = stationIds(station);
    QList<TrainListRow> rows;
    for (const Call& c : s.isEmpty() ? std::vector<Call>() : callsAt(s)) {
        const Train& train = m_trains[c.train];
        const qsizetype last = train.stops.size() - 1;
        // A train that ends here is an arrival: shown from its origin, as a station board does.
        rows.append(c.stop == last ? rowFor(train, 0, last) : rowFor(train, c.stop, last));
    }
    return rows;
}

QStringList Timetable::transferCities(const QString& from, const QString& to) const {
    const QList<int> a = stationIds(from), b = stationIds(to);
    if (a.isEmpty() || b.isEmpty())
        return {};
    for (int id : a) {
        if (b.contains(id))
            return {};
    }
    // First legs: where each train from the departure goes, when it left and arrives.
    struct Leg {
        int leaves, arrives; // minutes on the clock of the train's day
    };
    std::unordered_map<int, std::vector<Leg>> firstLegs;
    for (const Call& c : callsAt(a)) {
        const Train& train = m_trains[c.train];
        const int leaves = leavesAt(train.stops[c.stop]);
        for (qsizetype k = c.stop + 1; k < train.stops.size(); ++k) {
            const TrainStop& s = train.stops[k];
            if (b.contains(s.stationId))
                return {}; // a through train
            if (!a.contains(s.stationId))
                firstLegs[s.stationId].push_back({leaves, arrivesAt(s)});
        }
    }
    std::unordered_map<int, int> best; // city → quickest whole journey in minutes
    for (const Call& c : callsAt(b)) {
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
    const QList<int> s = stationIds(city);
    if (s.isEmpty())
        return {};
    std::vector<Call> calls = callsAt(s);
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
