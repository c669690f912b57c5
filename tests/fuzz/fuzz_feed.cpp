// The feed reader and the timetable built from it on arbitrary tables: loading must end
// without a crash, and whatever it keeps must be a timetable the pages can show.
#include "gtfs/feed.h"
#include "timetable.h"

#include "feedtext.h"

#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_feed: %s\n", what);
    std::abort();
}

void check(const Timetable& t) {
    // Runs of one trip share number and ends; asking once for each keeps the check linear.
    QSet<QString> asked;
    for (const Train& train : t.trains()) {
        if (train.stops.size() < 2)
            fail("a train with fewer than two stops");
        if (train.stops.first().arrival != -1 || train.stops.last().departure != -1)
            fail("first stop with an arrival or last stop with a departure");
        int previous = train.stops.first().departure;
        int km = 0;
        for (qsizetype i = 1; i < train.stops.size(); ++i) {
            const TrainStop& s = train.stops[i];
            if (s.arrival < previous || (s.departure >= 0 && s.departure < s.arrival))
                fail("time goes back along a train");
            if (s.km < km)
                fail("distance shrinks along a train");
            previous = s.departure >= 0 ? s.departure : s.arrival;
            km = s.km;
        }
        const QString& from = train.stops.first().station;
        const QString& to = train.stops.last().station;
        if (asked.contains(train.number + u'\n' + from + u'\n' + to))
            continue;
        asked.insert(train.number + u'\n' + from + u'\n' + to);
        if (!t.findTrain(train.number) || t.trainsByNumber(train.number).isEmpty())
            fail("a train is not found by its number");
        if (from != to && t.trainsBetween(from, to).isEmpty())
            fail("a train is not found between its ends");
        t.transferCities(to, from);
    }
    for (const StationListEntry& s : t.stations()) {
        if (t.trainsAtStation(s.name).size() != s.trains)
            fail("the station list counts other trains than the station query");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const gtfs::MemorySource source =
        feedSource(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    gtfs::Feed feed;
    QString error;
    if (!gtfs::readFeed(source, feed, &error)) {
        if (error.isEmpty())
            fail("a refused feed without a message");
        return 0;
    }
    check(Timetable::build(feed, QDate(2025, 6, 2), &feed.faults));
    return 0;
}
