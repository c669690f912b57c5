#pragma once

#include "feed.h"
#include "source.h"
#include "timetablebuilder.h"

#include <QDate>
#include <QString>

#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>

namespace gtfs {

// A GTFS feed as a source of answers for any day it covers. The whole feed is kept; a day's
// timetable is built on the first question about that day, and the last `keptDays` days
// asked stay built. Days share their trains' stop lists (TimetableBuilder), so each kept day
// costs its trains' headers and its indexes, about a tenth of the feed itself.
class GtfsSource : public source::TimetableDays {
public:
    using Clock = std::function<QDate()>;
    static constexpr int keptDays = 7;

    // Reads a feed folder or zip file; nullptr with *error naming file and line when the
    // feed cannot be used. Rows skipped on the way are in faults().
    static std::unique_ptr<GtfsSource> open(const QString& path, QString* error);
    static std::unique_ptr<GtfsSource> read(const FeedSource& files, QString* error);
    // The sample compiled into the program.
    static std::unique_ptr<GtfsSource> builtIn(QString* error);

    // Where "today" comes from; the local date unless a test sets a clock.
    void setClock(Clock today) { m_today = std::move(today); }
    // A day every question without a date asks for, in place of today.
    void pinDay(QDate day) { m_pinned = day; }

    const Faults& faults() const { return m_feed->faults; }
    // "2019-03-01 to 2019-08-20"; empty when the feed names no day of service.
    QString coveredDates() const { return m_covered; }

    source::DayRange days() const override { return m_range; }
    QDate defaultDay() const override;
    bool isSample() const override { return m_sample; }
    std::shared_ptr<const Timetable> timetable(QDate day, source::Failure* why) override;

private:
    GtfsSource(std::unique_ptr<Feed> feed, bool sample);
    QString rangeText() const;

    using Built = std::shared_future<std::shared_ptr<const Timetable>>;

    std::unique_ptr<Feed> m_feed;
    std::unique_ptr<TimetableBuilder> m_builder;
    Timetable::Cities m_cities;
    source::DayRange m_range;
    QString m_covered;
    bool m_sample = false;
    Clock m_today = [] { return QDate::currentDate(); };
    QDate m_pinned;
    std::mutex m_mutex;
    std::list<std::pair<QDate, Built>> m_built; // most recently asked first
};

} // namespace gtfs
