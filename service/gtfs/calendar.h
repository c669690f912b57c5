#pragma once

#include "feed.h"

#include <QDate>
#include <QString>

#include <utility>
#include <vector>

namespace gtfs {

// Which services run on `day`: calendar.txt by weekday within its dates, then
// calendar_dates.txt adding (1) or removing (2) single days. Indexed like feed.services.
std::vector<bool> servicesOn(const Feed& feed, QDate day);

// The first and last day any service runs; invalid dates when none.
std::pair<QDate, QDate> serviceDays(const Feed& feed);

// The first and last day any service runs, as "2024-01-01 to 2024-12-31"; empty when none.
QString coveredDates(const Feed& feed);

} // namespace gtfs
