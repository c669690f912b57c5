#pragma once

#include "stationlist.h"
#include "timetable.h"
#include "trainpages.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Where the pages' answers come from: a GTFS timetable, or a live source. The page writers
// only see this interface, so they never know which one answers. Every call names its day;
// a source may be asked from several server threads at once.
namespace source {

// What a source could not answer, in words the client shows the user (Chinese). Empty when
// the source answered, even when the answer holds no train.
struct Failure {
    QString reason;
    bool isFailure() const { return !reason.isEmpty(); }
};

template <typename T> struct Answer {
    T value{};
    Failure failure;
};

// The days a source can answer, both ends included; invalid dates when it does not know.
struct DayRange {
    QDate first, last;
    bool contains(QDate day) const {
        return !first.isValid() || !last.isValid() || (day >= first && day <= last);
    }
};

// The station-to-station question's outcomes the client tells apart.
struct Between {
    enum class Outcome { Trains, Transfer, NoDeparture, NoArrival, NoTrain };
    Outcome outcome = Outcome::NoTrain;
    QList<TrainListRow> rows; // Trains
    QStringList cities;       // Transfer
};

// A train's fares by stop, from its origin; `note` says where the figures come from.
struct FareTable {
    QList<fares::Cells> cells; // one per stop of the train
    QString note;
    bool sample = true; // made-up fares, which the page must call so
};

class TimetableSource {
public:
    virtual ~TimetableSource() = default;

    virtual DayRange days() const = 0;
    // The day a request without a date prefix asks for (today, unless pinned).
    virtual QDate defaultDay() const = 0;
    // Whether the figures are made up (the built-in sample): pages say so.
    virtual bool isSample() const { return false; }
    // The source's kind as stations.txt names it (contract::stations::sourceField).
    virtual QString kind() const;

    virtual Answer<QList<StationListEntry>> stations(QDate day) = 0;
    virtual Answer<QList<TrainListRow>> trainsByNumber(QDate day, const QString& text) = 0;
    virtual Answer<Between> trainsBetween(QDate day, const QString& from, const QString& to) = 0;
    virtual Answer<QList<TrainListRow>> trainsAtStation(QDate day, const QString& station) = 0;
    // The transfer window's leg: from `from` (empty when unknown) to `city`.
    virtual Answer<QList<TrainListRow>> legTrains(QDate day, const QString& from,
                                                  const QString& city) = 0;
    // The train with this number on that day with its stops; no value when there is none.
    virtual Answer<std::optional<Train>> train(QDate day, const QString& number) = 0;
    virtual Answer<std::optional<FareTable>> fares(QDate day, const QString& number) = 0;
    // Names that stand for several stations (北京 for 北京西, 北京南 ...), for the station
    // list; none unless the source knows cities.
    virtual Answer<QList<CityEntry>> cities(QDate) { return {}; }
};

} // namespace source

namespace source {

// A source whose answers come from one built Timetable per day: the per-day questions are
// answered here, the days' timetables by the subclass.
class TimetableDays : public TimetableSource {
public:
    // The day's timetable, or nullptr with `why` saying in words for the user why there is
    // none (a day the feed does not cover, a day on which nothing runs ...).
    virtual std::shared_ptr<const Timetable> timetable(QDate day, Failure* why) = 0;

    Answer<QList<StationListEntry>> stations(QDate day) override;
    Answer<QList<TrainListRow>> trainsByNumber(QDate day, const QString& text) override;
    Answer<Between> trainsBetween(QDate day, const QString& from, const QString& to) override;
    Answer<QList<TrainListRow>> trainsAtStation(QDate day, const QString& station) override;
    Answer<QList<TrainListRow>> legTrains(QDate day, const QString& from,
                                          const QString& city) override;
    Answer<std::optional<Train>> train(QDate day, const QString& number) override;
    Answer<std::optional<FareTable>> fares(QDate day, const QString& number) override;
    Answer<QList<CityEntry>> cities(QDate day) override;
};

// One timetable for every day: what the service served before it knew days, and what tests
// that need no calendar use.
class FixedTimetable : public TimetableDays {
public:
    explicit FixedTimetable(Timetable data, bool sample = false)
        : m_data(std::make_shared<const Timetable>(std::move(data)))
        , m_sample(sample) {}
    DayRange days() const override { return {}; }
    QDate defaultDay() const override { return QDate::currentDate(); }
    bool isSample() const override { return m_sample; }
    std::shared_ptr<const Timetable> timetable(QDate, Failure*) override { return m_data; }

private:
    std::shared_ptr<const Timetable> m_data;
    bool m_sample;
};

} // namespace source
