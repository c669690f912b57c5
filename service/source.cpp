#include "source.h"

#include "contract/pagecontract.h"

namespace source {

QString TimetableSource::kind() const {
    return (isSample() ? contract::stations::sampleSource : contract::stations::otherSource)
        .toString();
}

namespace {

// What `ask` reads from the day's timetable, or why the day has none.
template <typename Ask>
auto onDay(TimetableDays& days, QDate day, Ask ask)
    -> Answer<decltype(ask(std::declval<const Timetable&>()))> {
    Failure why;
    const std::shared_ptr<const Timetable> t = days.timetable(day, &why);
    if (!t)
        return {{}, why};
    return {ask(*t), {}};
}

} // namespace

Answer<QList<StationListEntry>> TimetableDays::stations(QDate day) {
    return onDay(*this, day, [](const Timetable& t) { return t.stations(); });
}

Answer<QList<CityEntry>> TimetableDays::cities(QDate day) {
    return onDay(*this, day, [](const Timetable& t) { return t.cities(); });
}

Answer<QList<TrainListRow>> TimetableDays::trainsByNumber(QDate day, const QString& text) {
    return onDay(*this, day, [&](const Timetable& t) { return t.trainsByNumber(text); });
}

Answer<Between> TimetableDays::trainsBetween(QDate day, const QString& from, const QString& to) {
    return onDay(*this, day, [&](const Timetable& t) {
        Between b;
        if (!t.hasStation(from)) {
            b.outcome = Between::Outcome::NoDeparture;
        } else if (!t.hasStation(to)) {
            b.outcome = Between::Outcome::NoArrival;
        } else if (b.rows = t.trainsBetween(from, to); !b.rows.isEmpty()) {
            b.outcome = Between::Outcome::Trains;
        } else if (b.cities = t.transferCities(from, to); !b.cities.isEmpty()) {
            b.outcome = Between::Outcome::Transfer;
        }
        return b;
    });
}

Answer<QList<TrainListRow>> TimetableDays::trainsAtStation(QDate day, const QString& station) {
    return onDay(*this, day, [&](const Timetable& t) { return t.trainsAtStation(station); });
}

Answer<QList<TrainListRow>> TimetableDays::legTrains(QDate day, const QString& from,
                                                     const QString& city) {
    return onDay(*this, day, [&](const Timetable& t) { return t.legTrains(from, city); });
}

Answer<std::optional<Train>> TimetableDays::train(QDate day, const QString& number) {
    return onDay(*this, day, [&](const Timetable& t) {
        const Train* found = number.isEmpty() ? nullptr : t.findTrain(number);
        return found ? std::optional<Train>(*found) : std::nullopt;
    });
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
