#pragma once

#include "faults.h"
#include "feedsource.h"

#include <QString>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The tables of a GTFS feed as read, with references between them resolved to indexes.
// Nothing here knows about trains or pages; rows that make no sense are skipped and counted.
namespace gtfs {

enum class LocationType : std::uint8_t { Platform = 0, Station = 1, Other = 2 };

struct Stop {
    std::string id;
    QString name;
    std::string parentId;
    LocationType type = LocationType::Platform;
    bool hasPosition = false;
    double lat = 0, lon = 0;
};

struct Route {
    std::string id;
    QString shortName, longName;
    int type = -1;
};

struct Trip {
    std::string id;
    QString shortName;
    int route = -1;
    int service = -1;
    int line = 0;
};

struct StopTime {
    int trip = -1;
    int stop = -1;
    int sequence = 0;
    int arrival = -1; // seconds from noon minus 12 h of the service day; -1 when empty
    int departure = -1;
    int line = 0;
};

struct Frequency {
    int trip = -1;
    int start = 0, end = 0, headway = 0; // seconds
    int line = 0;
};

// calendar.txt and calendar_dates.txt of one service_id.
struct Service {
    std::string id;
    bool hasCalendar = false;
    std::uint8_t weekdays = 0;       // bit 0 Monday … bit 6 Sunday
    int startDate = 0, endDate = 0;  // YYYYMMDD
    std::vector<int> added, removed; // sorted
};

struct Feed {
    std::vector<Stop> stops;
    std::vector<Route> routes;
    std::vector<Trip> trips;
    std::vector<StopTime> stopTimes;
    std::vector<Frequency> frequencies;
    std::vector<Service> services;
    // Stop id to a romanised stop name from translations.txt (zh-Latn, zh-Latn-pinyin).
    std::unordered_map<std::string, QString> latinNames;
    Faults faults;
};

inline const QString stopsTable = QStringLiteral("stops.txt");
inline const QString stopTimesTable = QStringLiteral("stop_times.txt");
inline const QString tripsTable = QStringLiteral("trips.txt");

// Reads every table the timetable needs. False with *error ("stops.txt:1: missing column
// stop_name") for a feed that cannot be used at all.
bool readFeed(const FeedSource& source, Feed& feed, QString* error);

// "HH:MM:SS" (hours may pass 24) in seconds; -1 when it is no such time.
int parseTime(std::string_view text);
// A valid calendar date as YYYYMMDD; -1 otherwise.
int parseDate(std::string_view text);

} // namespace gtfs
