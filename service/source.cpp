#include "source.h"

#include "contract/pagecontract.h"

namespace source {

QString TimetableSource::kind() const {
    return (isSample() ? contract::stations::sampleSource : contract::stations::otherSource)
        .toString();
}

namespace {

template <typename T> Answer<T> failed(const Failure& why) {
    return {T{}, why};
}

} // namespace

Answer<QList<StationListEntry>> TimetableDays::stations(QDate day) {
    Failure why;
    const std::shared_ptr<const Timetable> t = timetable(day, &why);
    if (!t)
        return failed<QList<StationListEntry>>(why);
    return {t->stations(), {}};
}

Answer<QList<CityEntry>> TimetableDays::cities(QDate day) {
    Failure why;
    const std::shared_ptr<const Timetable> t = timetable(day, &why);
    if (!t)
        return failed<QList<CityEntry>>(why);
    return {t->cities(), {}};
}

Answer<QList<TrainListRow>> TimetableDays::trainsByNumber(QDate day, const QString& text) {
    Failure why;
    const std::shared_ptr<const Timetable> t = timetable(day, &why);
    if (!t)
        return failed<QList<TrainListRow>>(why);
    return {t->trainsByNumber(text), {}};
}

Answer<Between> TimetableDays::trainsBetween(QDate day, const QString& from, const QString& to) {
    Failure why;
    const std::shared_ptr<const Timetable> t = timetable(day, &why);
    if (!t)
        return failed<Between>(why);
    Between b;
    if (!t->hasStation(from)) {
        b.outcome = Between::Outcome::NoDeparture;
    } else if (!t->hasStation(to)) {
        b.outcome = Between::Outcome::NoArrival;
    } else if (b.rows = t->trainsBetween(from, to); !b.rows.isEmpty()) {
        b.outcome = Between::Outcome::Trains;
    } else if (b.cities = t->transferCities(from, to); !b.cities.isEmpty()) {
        b.outcome = Between::Outcome::Transfer;
    }
    return {b, {}};
}

Answer<QList<TrainListRow>> TimetableDays::trainsAtStation(QDate day, const QString& station) {
    Failure why;
    const std::shared_ptr<const Timetable> t = timetable(day, &why);
    if (!t)
        return failed<QList<TrainListRow>>(why);
    return {t->trainsAtStation(station), {}};
}

Answer<QList<TrainListRow>> TimetableDays::legTrains(QDate day, const QString& from,
                                                     const QString& city) {
    Failure why;
    const std::shared_ptr<const Timetable> t = timetable(day, &why);
    if (!t)
        return failed<QList<TrainListRow>>(why);
    return {t->legTrains(from, city), {}};
}

Answer<std::optional<Train>> TimetableDays::train(QDate day, const QString& number) {
    Failure why;
    const std::shared_ptr<const Timetable> t = timetable(day, &why);
    if (!t)
        return failed<std::optional<Train>>(why);
    const Train* found = number.isEmpty() ? nullptr : t->findTrain(number);
    return {found ? std::optional<Train>(*found) : std::nullopt, {}};
}

Answer<std::optional<FareTable>> TimetableDays::fares(QDate day, const QString& number) {
    const Answer<std::optional<Train>> found = train(day, number);
    if (!found.value)
        return {std::nullopt, found.failure};
    FareTable table;
    for (const TrainStop& stop : found.value->stops)
        table.cells << fares::cells(*found.value, stop.km);
    table.note = fares::formulaText();
    return {table, {}};
}

} // namespace source
