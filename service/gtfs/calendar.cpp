#include "calendar.h"

#include <algorithm>

namespace gtfs {

namespace {

int dateNumber(QDate day) {
    return day.year() * 10000 + day.month() * 100 + day.day();
}

QDate fromNumber(int value) {
    return QDate(value / 10000, value / 100 % 100, value % 100);
}

// The reader sorts each service's exceptions.
bool contains(const std::vector<int>& dates, int date) {
    return std::binary_search(dates.begin(), dates.end(), date);
}

bool weeklyOn(const Service& s, int date, int weekday) {
    return s.hasCalendar && date >= s.startDate && date <= s.endDate &&
           (s.weekdays & (1 << (weekday - 1))) != 0;
}

} // namespace

std::vector<bool> servicesOn(const Feed& feed, QDate day) {
    const int date = dateNumber(day);
    const int weekday = day.dayOfWeek(); // 1 Monday … 7 Sunday
    std::vector<bool> on(feed.services.size(), false);
    for (size_t i = 0; i < feed.services.size(); ++i) {
        const Service& s = feed.services[i];
        if (contains(s.removed, date))
            continue;
        on[i] = contains(s.added, date) || weeklyOn(s, date, weekday);
    }
    return on;
}

std::pair<QDate, QDate> serviceDays(const Feed& feed) {
    int first = 0, last = 0;
    auto widen = [&](int from, int to) {
        first = first == 0 ? from : std::min(first, from);
        last = std::max(last, to);
    };
    for (const Service& s : feed.services) {
        if (s.hasCalendar && s.weekdays != 0 && s.startDate <= s.endDate)
            widen(s.startDate, s.endDate);
        for (int d : s.added)
            widen(d, d);
    }
    if (first == 0)
        return {};
    return {fromNumber(first), fromNumber(last)};
}

QString coveredDates(const Feed& feed) {
    const auto [first, last] = serviceDays(feed);
    if (!first.isValid())
        return {};
    return QStringLiteral("%1 to %2").arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate));
}

} // namespace gtfs
