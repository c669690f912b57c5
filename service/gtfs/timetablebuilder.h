#pragma once

#include "feed.h"
#include "timetable.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <unordered_map>
#include <vector>

namespace gtfs {

// A stop's position with the cosine of its latitude, worked out once per stop rather than for
// every trip that passes it.
struct StopPlace {
    double lat = 0;    // radians
    double lon = 0;    // degrees: differences are taken before converting
    double cosLat = 0; // of lat
};

// Turns a feed's trips into trains. Every trip's stops are worked out once, when the builder
// is made; a day then only picks the trips that run and repeats the frequency-based ones, so
// the trains of several days share their stop lists and building a day is cheap. The feed
// must outlive the builder; its stop_times may be dropped once the builder exists.
class TimetableBuilder {
public:
    TimetableBuilder(const Feed& feed, Faults& faults);

    // Past this many calls a day is refused as a whole rather than served in part; about
    // 60 times a national railway's day, some 2.4 GB of trains and indexes.
    static constexpr qsizetype maxCallsPerDay = 10'000'000;

    // The trains running on `day`; nothing, with *error saying why and where, when the day
    // would pass maxCallsPerDay.
    std::optional<QList<Train>> trainsOn(QDate day, QString* error) const;

    const QStringList& stationNames() const { return m_stationNames; }
    const QStringList& stationLatin() const { return m_stationLatin; }

private:
    // One timed call of a trip while it is being built, in seconds of the service day.
    struct TripCall {
        int station;
        int stop;
        int arrival, departure; // both -1 for a call the feed gives no time
        int line;
        double km = 0; // along the trip from its first call, once measured
    };

    void mapStations();
    void buildTrips();
    void addCall(const StopTime& st, int& lastSequence, std::vector<TripCall>& calls);
    double distance(const TripCall& a, const TripCall& b) const;
    // Per stop with a position: the stops measured from it so far, with their distance.
    using Measured = std::vector<std::vector<std::pair<int, double>>>;
    // Sets each call's km, measuring each pair of places once.
    void measure(std::vector<TripCall>& calls, Measured& measured) const;
    void interpolate(std::vector<TripCall>& calls);
    QString number(const Trip& trip) const;
    Train makeTrain(int trip, const std::vector<TripCall>& calls, int shift) const;

    const Feed& m_feed;
    Faults& m_faults;
    QStringList m_stationNames, m_stationLatin;
    std::vector<int> m_stationOfStop;
    // Per stop: the stop whose position it has (itself, else its station), or -1.
    std::vector<int> m_placeOfStop;
    std::vector<StopPlace> m_places; // per stop with a position
    // Per trip: its train (no stops when the trip has fewer than two timed stops).
    std::vector<Train> m_trains;
    // The calls of frequency-based trips, which each run shifts.
    std::unordered_map<int, std::vector<TripCall>> m_repeatedCalls;
    std::unordered_map<int, std::vector<const Frequency*>> m_frequencies;
};

} // namespace gtfs
