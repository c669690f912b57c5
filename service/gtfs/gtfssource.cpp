#include "gtfssource.h"

#include "calendar.h"

namespace gtfs {

namespace {

source::DayRange rangeOf(const Feed& feed) {
    const auto [first, last] = serviceDays(feed);
    return {first, last};
}

} // namespace

std::unique_ptr<GtfsSource> GtfsSource::open(const QString& path, QString* error) {
    const std::unique_ptr<FeedSource> files = FeedSource::open(path, error);
    return files ? read(*files, error) : nullptr;
}

std::unique_ptr<GtfsSource> GtfsSource::read(const FeedSource& files, QString* error) {
    auto feed = std::make_unique<Feed>();
    if (!readFeed(files, *feed, error))
        return nullptr;
    return std::unique_ptr<GtfsSource>(new GtfsSource(std::move(feed), false));
}

std::unique_ptr<GtfsSource> GtfsSource::builtIn(QString* error) {
    std::unique_ptr<GtfsSource> sample = open(Timetable::builtInFeed(), error);
    if (sample)
        sample->m_sample = true;
    return sample;
}

GtfsSource::GtfsSource(std::unique_ptr<Feed> feed, bool sample)
    : m_feed(std::move(feed))
    , m_sample(sample) {
    m_builder = std::make_unique<TimetableBuilder>(*m_feed, m_feed->faults);
    // Every trip's stops now live in the builder's trains.
    m_feed->stopTimes = {};
    m_cities = Timetable::cityGroups(m_builder->stationNames());
    m_range = rangeOf(*m_feed);
    m_covered = gtfs::coveredDates(*m_feed);
}

QDate GtfsSource::defaultDay() const {
    return m_pinned.isValid() ? m_pinned : m_today();
}

QString GtfsSource::rangeText() const {
    if (!m_range.first.isValid())
        return QStringLiteral("时刻表没有注明任何运行日期。");
    return QStringLiteral("时刻表包含 %1 至 %2 的车次。")
        .arg(m_range.first.toString(Qt::ISODate), m_range.last.toString(Qt::ISODate));
}

std::shared_ptr<const Timetable> GtfsSource::timetable(QDate day, source::Failure* why) {
    auto fail = [&](const QString& text) {
        if (why)
            why->reason = text;
        return nullptr;
    };
    if (!day.isValid())
        return fail(QStringLiteral("日期无效。"));
    if (!m_range.first.isValid() || !m_range.contains(day))
        return fail(QStringLiteral("%1 不在时刻表的日期范围内；").arg(day.toString(Qt::ISODate)) +
                    rangeText());

    std::promise<std::shared_ptr<const Timetable>> promise;
    Built built;
    bool mine = false;
    {
        std::lock_guard lock(m_mutex);
        auto it = std::find_if(m_built.begin(), m_built.end(),
                               [&](const auto& entry) { return entry.first == day; });
        if (it != m_built.end()) {
            m_built.splice(m_built.begin(), m_built, it);
            built = it->second;
        } else {
            // Built outside the lock: other days keep answering meanwhile, and questions
            // about this day wait for this one build.
            built = promise.get_future().share();
            m_built.emplace_front(day, built);
            while (m_built.size() > size_t(keptDays))
                m_built.pop_back();
            mine = true;
        }
    }
    if (mine) {
        QString error;
        std::optional<QList<Train>> trains = m_builder->trainsOn(day, &error);
        promise.set_value(trains ? std::make_shared<const Timetable>(Timetable::fromTrains(
                                       std::move(*trains), m_builder->stationNames(),
                                       m_builder->stationLatin(), m_cities))
                                 : nullptr);
        if (!trains)
            return fail(error);
    }
    std::shared_ptr<const Timetable> t = built.get();
    if (!t) {
        QString error;
        m_builder->trainsOn(day, &error); // only counts: the day was refused before
        return fail(error);
    }
    if (t->trains().isEmpty())
        return fail(QStringLiteral("%1 没有列车运行；").arg(day.toString(Qt::ISODate)) +
                    rangeText());
    return t;
}

} // namespace gtfs
