#include "feed.h"

#include "csvtable.h"

#include <QDate>
#include <QHash>

#include <algorithm>
#include <charconv>
#include <utility>

namespace gtfs {

namespace {

template <typename T> bool parseNumber(std::string_view text, T& value) {
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Ids of one table, hashed to the index of their row: open addressing over the rows' own id
// strings, so an id is stored once and a lookup allocates nothing.
template <typename Row> class IdIndex {
public:
    explicit IdIndex(const std::vector<Row>& rows)
        : m_rows(rows) {}
    void reserve(size_t n) {
        if (n * 2 > m_slots.size())
            rehash(n * 2);
    }
    // The index of id, or -1.
    int find(std::string_view id) const {
        if (m_slots.empty())
            return -1;
        const size_t hash = std::hash<std::string_view>()(id);
        for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.row < 0)
                return -1;
            if (slot.hash == std::uint32_t(hash) && m_rows[size_t(slot.row)].id == id)
                return slot.row;
        }
    }
    // Adds the row at `row` under its id, which find() has not found.
    void add(int row) {
        if ((m_count + 1) * 2 > m_slots.size())
            rehash(std::max<size_t>(16, m_slots.size() * 2));
        place(row, std::hash<std::string_view>()(m_rows[size_t(row)].id));
        ++m_count;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        int row = -1;
    };
    void place(int row, size_t hash) {
        size_t at = hash & m_mask;
        while (m_slots[at].row >= 0)
            at = (at + 1) & m_mask;
        m_slots[at] = {std::uint32_t(hash), row};
    }
    void rehash(size_t wanted) {
        size_t capacity = 16;
        while (capacity < wanted)
            capacity *= 2;
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(capacity));
        m_mask = capacity - 1;
        for (const Slot& slot : old) {
            if (slot.row >= 0)
                place(slot.row, std::hash<std::string_view>()(m_rows[size_t(slot.row)].id));
        }
    }
    const std::vector<Row>& m_rows;
    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    size_t m_count = 0;
};

class FeedReader {
public:
    FeedReader(const FeedSource& source, Feed& feed)
        : m_source(source)
        , m_feed(feed) {}

    bool read(QString* error) {
        m_error = error;
        for (const QString& table :
             {stopsTable, QStringLiteral("routes.txt"), tripsTable, stopTimesTable}) {
            if (!m_source.has(table))
                return fail(QStringLiteral("%1: missing from the feed").arg(table));
        }
        const QString calendar = QStringLiteral("calendar.txt");
        const QString calendarDates = QStringLiteral("calendar_dates.txt");
        if (!m_source.has(calendar) && !m_source.has(calendarDates))
            return fail(QStringLiteral("%1 and %2: both missing from the feed; one of them "
                                       "says on which days trips run")
                            .arg(calendar, calendarDates));
        return readStops() && readRoutes() && (!m_source.has(calendar) || readCalendar()) &&
               (!m_source.has(calendarDates) || readCalendarDates()) && readTrips() &&
               readStopTimes() && readFrequencies() && readTranslations();
    }

private:
    bool fail(const QString& message) {
        *m_error = message;
        return false;
    }

    // Past these many lines or bytes a table is refused at once, so no feed makes memory or
    // time grow without bound. Both are a hundred times a national railway network's tables
    // (200,000 stop times, 11,000 trips), and the rows they allow fit in a few GiB.
    static constexpr TableLimits stopTimesLimits{20'000'000, std::int64_t(4) << 30};
    static constexpr TableLimits otherLimits{5'000'000, std::int64_t(1) << 30};

    bool table(const QString& name, const std::vector<Column>& columns,
               const std::function<void(const Record&)>& onRecord,
               const RowEstimate& onEstimate = {}) {
        m_table = name;
        return readTable(m_source, name, columns, onRecord,
                         name == stopTimesTable ? stopTimesLimits : otherLimits, m_error,
                         onEstimate);
    }

    template <typename Row> static RowEstimate reserve(std::vector<Row>& rows, IdIndex<Row>& ids) {
        return [&rows, &ids](std::int64_t n) {
            rows.reserve(rows.size() + size_t(n));
            ids.reserve(rows.size() + size_t(n));
        };
    }

    void fault(const QString& kind, const Record& r) { m_feed.faults.add(kind, m_table, r.line); }

    bool readStops() {
        enum { id, name, parent, type, lat, lon };
        return table(
            stopsTable,
            {{"stop_id", true},
             {"stop_name", true},
             {"parent_station"},
             {"location_type"},
             {"stop_lat"},
             {"stop_lon"}},
            [&](const Record& r) {
                Stop s;
                s.id = r[id];
                int t = 0;
                if (!r[type].empty() && (!parseNumber(r[type], t) || t < 0 || t > 4))
                    return fault(QStringLiteral("bad location_type"), r);
                s.type = t == 0   ? LocationType::Platform
                         : t == 1 ? LocationType::Station
                                  : LocationType::Other;
                s.name = utf8(r[name]);
                s.parentId = r[parent];
                s.hasPosition = parseNumber(r[lat], s.lat) && parseNumber(r[lon], s.lon) &&
                                s.lat >= -90 && s.lat <= 90 && s.lon >= -180 && s.lon <= 180;
                if (m_stops.find(s.id) >= 0)
                    return fault(QStringLiteral("duplicate stop_id"), r);
                m_feed.stops.push_back(std::move(s));
                m_stops.add(int(m_feed.stops.size() - 1));
            },
            reserve(m_feed.stops, m_stops));
    }

    bool readRoutes() {
        enum { id, shortName, longName, type };
        return table(
            QStringLiteral("routes.txt"),
            {{"route_id", true}, {"route_short_name"}, {"route_long_name"}, {"route_type", true}},
            [&](const Record& r) {
                Route route;
                route.id = r[id];
                if (!parseNumber(r[type], route.type))
                    return fault(QStringLiteral("bad route_type"), r);
                route.shortName = utf8(r[shortName]);
                route.longName = utf8(r[longName]);
                if (m_routes.find(route.id) >= 0)
                    return fault(QStringLiteral("duplicate route_id"), r);
                m_feed.routes.push_back(std::move(route));
                m_routes.add(int(m_feed.routes.size() - 1));
            },
            reserve(m_feed.routes, m_routes));
    }

    Service& service(std::string_view id) {
        int i = m_services.find(id);
        if (i < 0) {
            i = int(m_feed.services.size());
            m_feed.services.push_back(Service{std::string(id), false, 0, 0, 0, {}, {}});
            m_services.add(i);
        }
        return m_feed.services[size_t(i)];
    }

    bool readCalendar() {
        static const char* const days[] = {"monday", "tuesday",  "wednesday", "thursday",
                                           "friday", "saturday", "sunday"};
        std::vector<Column> columns{{"service_id", true}, {"start_date", true}, {"end_date", true}};
        for (const char* day : days)
            columns.push_back({day, true});
        return table(QStringLiteral("calendar.txt"), columns, [&](const Record& r) {
            const int start = parseDate(r[1]);
            const int end = parseDate(r[2]);
            if (start < 0 || end < 0)
                return fault(QStringLiteral("bad date"), r);
            std::uint8_t weekdays = 0;
            for (int d = 0; d < 7; ++d) {
                const std::string_view flag = r[size_t(3 + d)];
                if (flag != "0" && flag != "1")
                    return fault(QStringLiteral("bad weekday flag"), r);
                if (flag == "1")
                    weekdays |= std::uint8_t(1 << d);
            }
            Service& s = service(r[0]);
            if (s.hasCalendar)
                return fault(QStringLiteral("duplicate service_id"), r);
            s.hasCalendar = true;
            s.weekdays = weekdays;
            s.startDate = start;
            s.endDate = end;
        });
    }

    bool readCalendarDates() {
        return table(QStringLiteral("calendar_dates.txt"),
                     {{"service_id", true}, {"date", true}, {"exception_type", true}},
                     [&](const Record& r) {
                         const int date = parseDate(r[1]);
                         if (date < 0)
                             return fault(QStringLiteral("bad date"), r);
                         if (r[2] != "1" && r[2] != "2")
                             return fault(QStringLiteral("bad exception_type"), r);
                         Service& s = service(r[0]);
                         (r[2] == "1" ? s.added : s.removed).push_back(date);
                     }) &&
               sortExceptions();
    }

    // Sorted, so a day's services are found by halving, however many exceptions a feed lists.
    bool sortExceptions() {
        for (Service& s : m_feed.services) {
            std::sort(s.added.begin(), s.added.end());
            std::sort(s.removed.begin(), s.removed.end());
        }
        return true;
    }

    bool readTrips() {
        enum { route, serviceId, id, shortName };
        return table(
            tripsTable,
            {{"route_id", true}, {"service_id", true}, {"trip_id", true}, {"trip_short_name"}},
            [&](const Record& r) {
                Trip t;
                t.route = m_routes.find(r[route]);
                if (t.route < 0)
                    return fault(QStringLiteral("unknown route"), r);
                t.service = m_services.find(r[serviceId]);
                if (t.service < 0)
                    return fault(QStringLiteral("unknown service"), r);
                t.id = r[id];
                t.shortName = utf8(r[shortName]);
                t.line = r.line;
                if (m_trips.find(t.id) >= 0)
                    return fault(QStringLiteral("duplicate trip_id"), r);
                m_feed.trips.push_back(std::move(t));
                m_trips.add(int(m_feed.trips.size() - 1));
            },
            reserve(m_feed.trips, m_trips));
    }

    bool readStopTimes() {
        enum { trip, arrival, departure, stop, sequence };
        std::string lastTripId;
        int lastTrip = -1;
        return table(
            stopTimesTable,
            {{"trip_id", true},
             {"arrival_time", true},
             {"departure_time", true},
             {"stop_id", true},
             {"stop_sequence", true}},
            [&](const Record& r) {
                StopTime st;
                st.line = r.line;
                // A trip's stop times mostly stand together: its id is looked up
                // once for them all.
                if (r[trip] != lastTripId) {
                    lastTripId = r[trip];
                    lastTrip = m_trips.find(lastTripId);
                }
                st.trip = lastTrip;
                if (st.trip < 0)
                    return fault(QStringLiteral("unknown trip"), r);
                st.stop = m_stops.find(r[stop]);
                if (st.stop < 0)
                    return fault(QStringLiteral("unknown stop"), r);
                if (m_feed.stops[size_t(st.stop)].type == LocationType::Other)
                    return fault(QStringLiteral("stop is an entrance or node"), r);
                if (!parseNumber(r[sequence], st.sequence) || st.sequence < 0)
                    return fault(QStringLiteral("bad stop_sequence"), r);
                if (!readTime(r[arrival], st.arrival) || !readTime(r[departure], st.departure))
                    return fault(QStringLiteral("bad time"), r);
                m_feed.stopTimes.push_back(st);
            },
            [&](std::int64_t n) { m_feed.stopTimes.reserve(m_feed.stopTimes.size() + size_t(n)); });
    }

    static bool readTime(std::string_view text, int& seconds) {
        seconds = text.empty() ? -1 : parseTime(text);
        return text.empty() || seconds >= 0;
    }

    bool readFrequencies() {
        if (!m_source.has(QStringLiteral("frequencies.txt")))
            return true;
        return table(
            QStringLiteral("frequencies.txt"),
            {{"trip_id", true}, {"start_time", true}, {"end_time", true}, {"headway_secs", true}},
            [&](const Record& r) {
                Frequency f;
                f.line = r.line;
                f.trip = m_trips.find(r[0]);
                if (f.trip < 0)
                    return fault(QStringLiteral("unknown trip"), r);
                f.start = parseTime(r[1]);
                f.end = parseTime(r[2]);
                if (f.start < 0 || f.end < 0)
                    return fault(QStringLiteral("bad time"), r);
                if (!parseNumber(r[3], f.headway) || f.headway <= 0 || f.end <= f.start)
                    return fault(QStringLiteral("bad headway or period"), r);
                m_feed.frequencies.push_back(f);
            });
    }

    bool readTranslations() {
        const QString name = QStringLiteral("translations.txt");
        if (!m_source.has(name))
            return true;
        enum { tableName, field, language, translation, recordId, fieldValue };
        // Names given by field_value apply to every stop of that name.
        QHash<QString, QString> byName;
        const bool ok =
            table(name,
                  {{"table_name"},
                   {"field_name"},
                   {"language"},
                   {"translation"},
                   {"record_id"},
                   {"field_value"}},
                  [&](const Record& r) {
                      if (r[tableName] != "stops" || r[field] != "stop_name" ||
                          (r[language] != "zh-Latn" && r[language] != "zh-Latn-pinyin") ||
                          r[translation].empty())
                          return;
                      const QString latin = utf8(r[translation]);
                      if (!r[recordId].empty())
                          m_feed.latinNames[std::string(r[recordId])] = latin;
                      else if (!r[fieldValue].empty())
                          byName[utf8(r[fieldValue])] = latin;
                  });
        if (!byName.isEmpty()) {
            for (const Stop& s : m_feed.stops) {
                const auto it = byName.constFind(s.name);
                if (it != byName.constEnd())
                    m_feed.latinNames.emplace(s.id, *it);
            }
        }
        return ok;
    }

    const FeedSource& m_source;
    Feed& m_feed;
    QString* m_error = nullptr;
    QString m_table;
    IdIndex<Stop> m_stops{m_feed.stops};
    IdIndex<Route> m_routes{m_feed.routes};
    IdIndex<Trip> m_trips{m_feed.trips};
    IdIndex<Service> m_services{m_feed.services};
};

} // namespace

int parseTime(std::string_view text) {
    const size_t first = text.find(':');
    if (first == std::string_view::npos || first == 0 || first > 3 || text.size() != first + 6 ||
        text[first + 3] != ':')
        return -1;
    int h = 0, m = 0, s = 0;
    if (!parseNumber(text.substr(0, first), h) || !parseNumber(text.substr(first + 1, 2), m) ||
        !parseNumber(text.substr(first + 4, 2), s) || h < 0 || m < 0 || m > 59 || s < 0 || s > 59)
        return -1;
    return h * 3600 + m * 60 + s;
}

int parseDate(std::string_view text) {
    int value = 0;
    if (text.size() != 8 || !parseNumber(text, value))
        return -1;
    return QDate(value / 10000, value / 100 % 100, value % 100).isValid() ? value : -1;
}

bool readFeed(const FeedSource& source, Feed& feed, QString* error) {
    return FeedReader(source, feed).read(error);
}

} // namespace gtfs
