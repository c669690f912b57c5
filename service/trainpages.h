#pragma once

#include "timetable.h"

#include "contract/pagecontract.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// The pages about one train: its stop list behind the detail links of the train lists, and
// its fare page on the fare service. The client cuts both by exact text markers after
// removing every double quote, so their markup is a contract with client/engine/detail.cpp
// and client/engine/fare.cpp.
namespace pages {

inline const QString missingParametersPhrase = contract::missingParameters.toString();
inline const QString noFarePhrase = contract::noFare.toString();

// The stop page for the embedded browser ("show_train.asp?cc=").
// `day`, when valid, is named in the heading: the day the stops are of.
QByteArray trainStopsPage(const Train& train, QDate day = {});
// The page behind a station row's link ("train.asp?cc="): the stop page in a frame.
QByteArray trainFramePage(const Train& train, QDate day = {});
QByteArray farePage(const Train& train);

// Answers for a requested number (any case); unknown or empty numbers get the phrases above.
QByteArray trainDetailAnswer(const Timetable& data, const QString& number, bool framed);
QByteArray fareAnswer(const Timetable& data, const QString& number);

} // namespace pages

// SAMPLE fares, not a real tariff: the base is 0.05861 yuan per kilometre from the origin,
// times a factor per class, rounded to the nearest half yuan. Multiple-unit trains (G, D, C)
// sell only first and second class; the others only seats and sleepers.
namespace fares {

inline constexpr int baseRatePer100000 = 5861; // yuan per km, times 100000
// Factors in tenths.
inline constexpr int hardSeat = 10, softSeat = 20, hardSleeper[3] = {19, 20, 21},
                     softSleeper[2] = {30, 32}, secondClass = 50, firstClass = 80;

inline const QString none = QStringLiteral("--");

bool sellsSeatClasses(const Train& train);
// The fare in yuan with one decimal, e.g. "77.0".
QString fare(int km, int factorTenths);

// The six fare cells of a stop: "--" where the train has no such class or at the origin.
struct Cells {
    QString hardSeat, softSeat, hardSleeper, softSleeper, firstClass, secondClass;
};
Cells cells(const Train& train, int km);

QString formulaText();

} // namespace fares

namespace pages {
// A fare page from fares given per stop (one Cells per stop of the train) and a note on
// where the figures come from.
QByteArray farePage(const Train& train, const QList<fares::Cells>& cells, const QString& note,
                    bool sample = true);
} // namespace pages
