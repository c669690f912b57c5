#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// One line of a train list page, in the words the client's scrapers read back.
struct TrainListRow {
    QString train, origin, terminus, trainClass, fromStation, fromTime, toStation, toTime, duration,
        distance, link;

    bool operator==(const TrainListRow&) const = default;
};

struct TrainStop {
    QString station;
    int arrival = -1;   // minutes since 00:00 of the day the train sets off; -1 at the first stop
    int departure = -1; // same clock; -1 at the last stop
    int km = 0;         // from the first stop
};

struct Train {
    QString number;
    QString trainClass;
    QList<TrainStop> stops;
};

// "HH:MM" of a clock time (minutes wrapped to one day) and of a duration (hours unbounded).
QString clockText(int minutes);
QString durationText(int minutes);

class Dataset {
public:
    // Parses the timetable text format described at the top of data/timetable.txt.
    // On failure returns nothing and sets *error to "line N: what is wrong".
    static std::optional<Dataset> parse(const QString& text, QString* error);
    static std::optional<Dataset> loadFile(const QString& path, QString* error);
    // The sample timetable compiled into the program.
    static std::optional<Dataset> loadBuiltIn(QString* error);

    const QList<Train>& trains() const { return m_trains; }
    bool hasStation(const QString& name) const;

    // Trains whose number starts with `text` (any case): the exact match first, the rest in
    // data order. Each row runs from the origin to the terminus.
    QList<TrainListRow> trainsByNumber(const QString& text) const;
    // Trains that call at `from` and later at `to`, the row covering that stretch.
    QList<TrainListRow> trainsBetween(const QString& from, const QString& to) const;
    // Trains that call at `station`, each row from there to the terminus.
    QList<TrainListRow> trainsAtStation(const QString& station) const;
    // Stations where one can change from a train leaving `from` to a train reaching `to`,
    // ordered by first appearance along the departing trains (data order). Empty when
    // either station is unknown or a through train exists.
    QStringList transferCities(const QString& from, const QString& to) const;
    // The leg to a transfer city: trains from `from` to `city`, or with no departure known
    // (empty `from`), every train calling at `city`, each row from its origin to `city`.
    QList<TrainListRow> legTrains(const QString& from, const QString& city) const;

    static QString detailLink(const QString& number);
    // The train with this number, compared without regard to case; nullptr when none.
    const Train* findTrain(const QString& number) const;

private:
    static TrainListRow rowFor(const Train& train, qsizetype fromStop, qsizetype toStop);
    static qsizetype stopIndex(const Train& train, const QString& station);

    QList<Train> m_trains;
    QSet<QString> m_stations;
};
