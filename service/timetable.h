#pragma once

#include "gtfs/faults.h"
#include "stationlist.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace gtfs {
struct Feed;
}

// One line of a train list page, in the words the client's scrapers read back.
struct TrainListRow {
    QString train, origin, terminus, trainClass, fromStation, fromTime, toStation, toTime, duration,
        distance, link;

    bool operator==(const TrainListRow&) const = default;
};

struct TrainStop {
    QString station;
    int stationId = -1;
    int arrival = -1;   // minutes since 00:00 of the day the train sets off; -1 at the first stop
    int departure = -1; // same clock; -1 at the last stop
    int km = 0;         // from the first stop; unknownKm where the source gives no distance
    static constexpr int unknownKm = -1;
};

struct Train {
    QString number;
    QString trainClass;
    QList<TrainStop> stops;
};

// "HH:MM" of a clock time (minutes wrapped to one day) and of a duration (hours unbounded).
QString clockText(int minutes);
QString durationText(int minutes);
// The class a train number's letter names ("G" 高速动车 …); empty for other numbers.
QString letterClass(const QString& number);

// What loading a feed found besides the trains.
struct LoadReport {
    gtfs::Faults faults;
    QString coveredDates; // "2024-01-01 to 2024-12-31"
};

// The trains of one service day with indexes by station and by number, built once at start
// and only read afterwards, so server threads share it without locking.
class Timetable {
public:
    // The trains of a feed's tables that run on `day`; skipped rows go to *faults.
    static Timetable build(const gtfs::Feed& feed, QDate day, gtfs::Faults* faults = nullptr);
    // Reads a feed folder or zip file. Nothing with *error naming file and line when the feed
    // cannot be used.
    static std::optional<Timetable> load(const QString& path, QDate day, LoadReport* report,
                                         QString* error);
    // The sample feed compiled into the program; it runs every day.
    static std::optional<Timetable> loadBuiltIn(QString* error, QDate day = QDate::currentDate());
    // Where the sample feed compiled into the program is read from.
    static QString builtInFeed();

    // A city's name and the stations it groups, by index into the station names.
    using Cities = QHash<QString, QList<int>>;
    // Built trains; their stops' stationId index `stationNames`. Empty `cities` works them
    // out with cityGroups().
    static Timetable fromTrains(QList<Train> trains, QStringList stationNames,
                                QStringList stationLatin, Cities cities = {});
    // Cities of two or more stations, known by name: a station belongs to the city whose
    // name its own name starts with when the rest is a direction (东西南北), "站", both, or
    // two characters after a name that is itself a station (上海 → 上海虹桥).
    static Cities cityGroups(const QStringList& stationNames);

    // How a name from a feed is shown: the characters the client's cuts rely on become
    // their fullwidth forms. Queries pass through it too, so either spelling finds a name.
    static QString displayName(const QString& name);
    static QString detailLink(const QString& number);

    const QList<Train>& trains() const { return m_trains; }
    // A station, or a city of several stations (whose queries cover all of them).
    bool hasStation(const QString& name) const { return !stationIds(name).isEmpty(); }
    // Every station with its number of trains, sorted by name (code points).
    QList<StationListEntry> stations() const;
    // The cities of two or more stations with trains, sorted by name.
    QList<CityEntry> cities() const;

    // Trains whose number starts with `text` (any case): the exact number first, then by
    // number. Each row runs from the origin to the terminus.
    QList<TrainListRow> trainsByNumber(const QString& text) const;
    // Trains that call at `from` and later at `to`: their first call at `from` and the first
    // call at `to` after it, by departure time, then number.
    QList<TrainListRow> trainsBetween(const QString& from, const QString& to) const;
    // Trains that call at `station`, once each, from there to the terminus; a train that ends
    // there is shown arriving, from its origin to `station`.
    QList<TrainListRow> trainsAtStation(const QString& station) const;
    // Stations C where one can change from a train `from`→C to a later train C→`to`
    // (waiting into the next day allowed), quickest whole journey first, at most 20.
    // Empty when either station is unknown or a through train exists.
    QStringList transferCities(const QString& from, const QString& to) const;
    // The leg to a transfer city: trains from `from` to `city`, or with no departure known
    // (empty `from`), every train calling at `city`, each row from its origin to `city`.
    QList<TrainListRow> legTrains(const QString& from, const QString& city) const;
    // The train with this number (any case), its earliest run; nullptr when none.
    const Train* findTrain(const QString& number) const;

    static constexpr int maxTransferCities = 20;

private:
    struct Call {
        int train;
        int stop;
    };

    // The city's stations when `name` is a city, else the station's; empty when unknown.
    QList<int> stationIds(const QString& name) const;
    std::vector<Call> callsAt(const QList<int>& stations) const;
    bool callBefore(const Call& a, const Call& b) const;
    void buildIndexes();
    int firstCallAfter(const Train& train, int stop, const QList<int>& stations) const;
    static TrainListRow rowFor(const Train& train, qsizetype fromStop, qsizetype toStop);

    QList<Train> m_trains;
    QStringList m_stationNames;
    QStringList m_stationLatin;
    QHash<QString, int> m_stationIds;
    Cities m_cities;
    std::vector<std::vector<Call>> m_calls; // per station, first call of each train, in row order
    std::vector<std::pair<QString, int>> m_numbers; // upper-case number, train; sorted
};
