#include "live/livesource.h"

#include "live/fetcher.h"
#include "live/siteformat.h"
#include "live/ttlcache.h"
#include "contract/pagecontract.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <cstdio>

namespace live {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using source::Answer;
using source::Between;
using source::Failure;

namespace {

// What the user reads when the site gave no answer (the page's reason line).
namespace reason {
QString noNetwork(const QString& detail) {
    return QStringLiteral("无法连接铁路官方网站（%1），请检查网络连接后再试。").arg(detail);
}
QString refused(int seconds) {
    return QStringLiteral("铁路官方网站拒绝了查询（可能是查询过于频繁），请 %1 秒后再试。")
        .arg(seconds);
}
QString circuitOpen() {
    return QStringLiteral("铁路官方网站多次无法访问，实时查询暂停一分钟，请稍后再试。");
}
QString formatChanged(const QString& what) {
    return QStringLiteral("铁路官方网站的答复格式已变化，暂时无法读取（%1）。").arg(what);
}
QString siteSays(const QString& message) {
    return QStringLiteral("铁路官方网站答复：%1").arg(message);
}
QString outsideSale(QDate day, const source::DayRange& range) {
    const QString f = QStringLiteral("yyyy-MM-dd");
    return QStringLiteral("%1 不在铁路官方网站可查询的日期内（%2 至 %3）。")
        .arg(day.toString(f), range.first.toString(f), range.last.toString(f));
}
QString declinedDay() {
    return QStringLiteral("铁路官方网站没有答复这一天的查询。");
}
QString noStationList(const QString& why) {
    return QStringLiteral("无法取得铁路官方网站的车站表：%1").arg(why);
}
QString stationQueryUnavailable() {
    return QStringLiteral("实时来源不提供车站查询：铁路官方网站没有公开的按车站查询的接口。"
                          "请用站到站查询或车次查询。");
}
QString legWithoutDeparture() {
    return QStringLiteral("实时来源需要出发站：请先做一次站到站查询，再选择中转站。");
}
QString unknownStation(const QString& name) {
    return QStringLiteral("铁路官方网站的车站表中没有“%1”。").arg(name);
}
QString fareNote() {
    return QStringLiteral("票价为铁路官方网站所示全程票价（元），仅供参考；"
                          "购票请使用铁路官方网站或客户端。");
}
} // namespace reason

// How long answers are kept: by how often each changes on the site.
constexpr auto stationListAge = std::chrono::hours(24 * 7);
constexpr auto pathAge = 1h;
constexpr auto trainAge = 24h;
constexpr auto betweenAge = 10min;
constexpr auto fareAge = 6h;
constexpr auto transferAge = 5min;
constexpr auto emptyAge = 1min;
constexpr auto circuitTime = 60s;
constexpr int failuresToOpen = 3;
constexpr int maxOtherHits = 20;
// A refreshed list shorter than this share of the old one is taken for a broken answer.
constexpr double shortestRefresh = 0.8;

// Today and the days after it that the site sells.
source::DayRange saleWindow() {
    const QDate today = QDate::currentDate();
    return {today, today.addDays(LiveSource::saleDays - 1)};
}

QString dayKey(QDate day) {
    return day.toString(QStringLiteral("yyyyMMdd"));
}

// Minutes from 00:00 of the start day, never before `previous`.
int minutesAt(const QString& clock, int dayOffset, int previous) {
    const int m = clock.left(2).toInt() * 60 + clock.mid(3, 2).toInt();
    if (dayOffset >= 0)
        return std::max(dayOffset * 1440 + m, previous);
    int t = m;
    while (t < previous)
        t += 1440;
    return t;
}

QString trainClassOf(const QString& number, const QString& given) {
    const QString byLetter = letterClass(number);
    return byLetter.isEmpty() ? given : byLetter;
}

struct Fetched {
    QByteArray body;
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

bool looksLikeHtml(const QByteArray& body) {
    const QByteArray t = body.trimmed();
    return t.startsWith('<');
}

struct Stations {
    QList<site::Station> list;
    QHash<QString, qsizetype> byName;
    QHash<QString, qsizetype> byCode;
    QHash<QString, qsizetype> byCity; // the city's station of the same name, else its first
    QDateTime fetched;

    void index() {
        byName.clear();
        byCode.clear();
        byCity.clear();
        for (qsizetype i = 0; i < list.size(); ++i) {
            byName.insert(list[i].name, i);
            byCode.insert(list[i].code, i);
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString& city = list[i].city;
            if (!city.isEmpty() && !byCity.contains(city))
                byCity.insert(city, byName.value(city, i));
        }
    }
};

} // namespace

struct LiveSource::Impl {
    LiveOptions options;
    Fetcher fetcher;

    std::mutex stateMutex; // guards everything below up to the caches
    Stations stations;
    QString leftTicketPath;
    QString transferPath;
    Clock::time_point pathsFound{};
    bool reinitTried = false;
    int refusals = 0;
    int failures = 0;
    Clock::time_point backoffUntil{};
    Clock::time_point circuitUntil{};
    std::atomic<int> skipped{0};

    // Bounded: each holds at most its capacity of answers (see the README for the sizes).
    TtlCache<Answer<QList<site::TicketRow>>> tickets{1000};
    TtlCache<site::SearchAnswer> searches{1000};
    TtlCache<site::StopAnswer> stopLists{1000};
    TtlCache<source::FareTable> fareTables{500};
    TtlCache<QStringList> transfers{500};

    explicit Impl(LiveOptions o)
        : options(std::move(o))
        , fetcher(options.base, options.interval) {
        if (options.cacheDir.isEmpty())
            options.cacheDir = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    }

    QString stationFile() const {
        return QDir(options.cacheDir).filePath(QStringLiteral("station_name.js"));
    }

    // --- talking to the site ---------------------------------------------------------------

    void noteFailure() {
        if (++failures >= failuresToOpen) {
            circuitUntil = Clock::now() + circuitTime;
            failures = 0;
        }
    }

    int backOff() {
        // 2, 4, 8 … up to 60 seconds, with up to a second of jitter so retries do not line up.
        const int seconds = std::min(60, 2 << std::min(refusals, 5));
        ++refusals;
        backoffUntil = Clock::now() + std::chrono::seconds(seconds) +
                       std::chrono::milliseconds(QRandomGenerator::global()->bounded(1000));
        noteFailure();
        return seconds;
    }

    void forgetSession() {
        fetcher.clearCookies();
        std::lock_guard lock(stateMutex);
        leftTicketPath.clear();
        transferPath.clear();
        pathsFound = {};
    }

    // `day`, when given, is the day asked about: the site turns away days it does not sell
    // the way it turns away a visitor it distrusts, and that is no reason to start afresh or
    // to back off.
    Fetched fetch(const QUrl& url, bool json, QDate day = {}) {
        {
            std::lock_guard lock(stateMutex);
            const auto now = Clock::now();
            if (now < circuitUntil)
                return {{}, reason::circuitOpen()};
            if (now < backoffUntil)
                return {{},
                        reason::refused(int(
                            std::chrono::ceil<std::chrono::seconds>(backoffUntil - now).count()))};
        }
        for (int attempt = 0;; ++attempt) {
            const Reply r = fetcher.get(url, site::refererFor(url), json);
            std::unique_lock lock(stateMutex);
            if (!r.reached) {
                noteFailure();
                return {{}, reason::noNetwork(r.error)};
            }
            const bool redirected = r.status >= 300 && r.status < 400;
            // The wrong-path answer may come with a redirect status; its body is the answer.
            const bool pathAnswer = redirected && r.body.contains("\"c_url\"");
            const bool refused = (redirected && !pathAnswer) || r.status == 403 ||
                                 r.status == 429 ||
                                 (json && r.status == 200 && looksLikeHtml(r.body));
            if (!refused && (r.status == 200 || pathAnswer)) {
                failures = 0;
                refusals = 0;
                reinitTried = false;
                return {r.body, {}};
            }
            if (!refused) {
                noteFailure();
                return {{}, reason::siteSays(QStringLiteral("HTTP %1").arg(r.status))};
            }
            if (day.isValid() && !saleWindow().contains(day))
                return {{}, reason::declinedDay()};
            // Once after a refusal: a new visitor with fresh cookies and paths found anew.
            if (attempt == 0 && !reinitTried) {
                reinitTried = true;
                lock.unlock();
                forgetSession();
                if (json)
                    ensurePaths();
                continue;
            }
            if (json && r.status == 200)
                return {{}, reason::formatChanged(QStringLiteral("网页代替了数据"))};
            return {{}, reason::refused(backOff())};
        }
    }

    // Cookies and the current query paths from the two init pages.
    void ensurePaths() {
        {
            std::lock_guard lock(stateMutex);
            if (!leftTicketPath.isEmpty() && Clock::now() - pathsFound < pathAge)
                return;
        }
        const Fetched init = fetch(site::leftTicketInitUrl(), false);
        const QString left = init.ok() ? site::leftTicketPathIn(init.body) : QString();
        const Fetched lc = fetch(site::transferInitUrl(), false);
        const QString transfer = lc.ok() ? site::transferPathIn(lc.body) : QString();
        std::lock_guard lock(stateMutex);
        // Pages that name no path keep the usual ones; a wrong one is corrected by the site.
        leftTicketPath = left.isEmpty() ? site::defaultLeftTicketPath : left;
        transferPath = transfer.isEmpty() ? site::defaultTransferPath : transfer;
        pathsFound = Clock::now();
    }

    // --- the station list ----------------------------------------------------------------

    bool loadStationFile(Stations* into) {
        QFile file(stationFile());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        into->list = site::parseStationList(file.readAll()).stations;
        into->fetched = QFileInfo(file).lastModified();
        into->index();
        return !into->list.isEmpty();
    }

    // The list, from memory, the disk or the site; a refresh that looks broken is refused.
    QString ensureStations() {
        std::unique_lock lock(stateMutex);
        const QDateTime now = QDateTime::currentDateTime();
        auto fresh = [&] {
            return !stations.list.isEmpty() && stations.fetched.isValid() &&
                   stations.fetched.secsTo(now) < std::chrono::seconds(stationListAge).count();
        };
        if (stations.list.isEmpty())
            loadStationFile(&stations);
        if (fresh())
            return {};
        lock.unlock();
        const Fetched got = fetch(site::stationListUrl(), false);
        site::StationList parsed;
        if (got.ok())
            parsed = site::parseStationList(got.body);
        skipped += parsed.skipped;
        lock.lock();
        if (fresh())
            return {};
        const qsizetype old = stations.list.size();
        const bool usable = !parsed.stations.isEmpty() &&
                            parsed.stations.size() >= qsizetype(double(old) * shortestRefresh);
        if (usable) {
            QDir().mkpath(options.cacheDir);
            QSaveFile out(stationFile());
            if (out.open(QIODevice::WriteOnly)) {
                out.write(got.body);
                out.commit();
            }
            stations.list = parsed.stations;
            stations.fetched = now;
            stations.index();
            return {};
        }
        const QString why = !got.ok()                   ? got.reason
                            : parsed.stations.isEmpty() ? QStringLiteral("答复中没有车站")
                                                        : QStringLiteral("答复中的车站少于上次");
        if (old > 0) {
            // Kept as it is; the next try waits an hour rather than following every query.
            stations.fetched = now.addSecs(3600 - std::chrono::seconds(stationListAge).count());
            std::fprintf(stderr, "quillon-service: station list not refreshed (%s); kept %d\n",
                         qPrintable(why), int(old));
            return {};
        }
        return reason::noStationList(why);
    }

    // The telecode a user's name stands for: a station, else the city's station.
    QString codeFor(const QString& name) {
        std::lock_guard lock(stateMutex);
        const QString n = name.trimmed();
        qsizetype i = stations.byName.value(n, -1);
        if (i < 0)
            i = stations.byCity.value(n, -1);
        if (i < 0 && n.endsWith(u'站'))
            i = stations.byName.value(n.chopped(1), -1);
        return i < 0 ? QString() : stations.list[i].code;
    }

    QString nameFor(const QString& code, const QHash<QString, QString>& fromAnswer) {
        std::lock_guard lock(stateMutex);
        const qsizetype i = stations.byCode.value(code, -1);
        if (i >= 0)
            return stations.list[i].name;
        return fromAnswer.value(code, code);
    }

    // --- the queries ---------------------------------------------------------------------

    Answer<QList<site::TicketRow>> ticketRows(QDate day, const QString& fromCode,
                                              const QString& toCode) {
        const QString key = dayKey(day) + u'|' + fromCode + u'|' + toCode;
        if (auto hit = tickets.get(key))
            return *hit;
        ensurePaths();
        Answer<QList<site::TicketRow>> answer;
        // The init page's path, the site's correction of it, and once more if it moved again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            QString path;
            {
                std::lock_guard lock(stateMutex);
                path = leftTicketPath;
            }
            const Fetched got = fetch(site::leftTicketUrl(path, day, fromCode, toCode), true, day);
            if (!got.ok()) {
                answer.failure.reason = got.reason;
                return answer;
            }
            const site::TicketAnswer parsed = site::parseTicketAnswer(got.body);
            if (!parsed.redirectPath.isEmpty()) {
                std::lock_guard lock(stateMutex);
                leftTicketPath = parsed.redirectPath;
                continue;
            }
            skipped += parsed.skipped;
            if (parsed.fault == site::Fault::Refused) {
                answer.failure.reason = reason::siteSays(parsed.message);
                return answer;
            }
            if (parsed.fault != site::Fault::None) {
                answer.failure.reason = reason::formatChanged(QStringLiteral("余票查询"));
                return answer;
            }
            if (parsed.rows.isEmpty() && parsed.skipped > 0) {
                answer.failure.reason =
                    reason::formatChanged(QStringLiteral("%1 行车次无法读取").arg(parsed.skipped));
                return answer;
            }
            answer.value = parsed.rows;
            // The names of the answer's map travel with its rows in the cache.
            for (site::TicketRow& row : answer.value) {
                for (QString* code : {&row.startCode, &row.endCode, &row.fromCode, &row.toCode})
                    if (parsed.names.contains(*code))
                        nameHints.put(*code, parsed.names.value(*code), trainAge);
                // A row opened next for its stops or fares needs no train search.
                rowHints.put(dayKey(day) + u'|' + row.code.toUpper(), row, trainAge);
            }
            tickets.put(key, answer, answer.value.isEmpty() ? emptyAge : betweenAge);
            return answer;
        }
        answer.failure.reason = reason::formatChanged(QStringLiteral("查询地址反复变更"));
        return answer;
    }

    TtlCache<QString> nameHints{20000};
    TtlCache<site::TicketRow> rowHints{5000};

    QString stationName(const QString& code) {
        const QString known = nameFor(code, {});
        if (known != code)
            return known;
        return nameHints.get(code).value_or(code);
    }

    TrainListRow rowOf(const site::TicketRow& t) {
        TrainListRow row;
        row.train = t.code;
        row.origin = stationName(t.startCode);
        row.terminus = stationName(t.endCode);
        row.trainClass = trainClassOf(t.code, QString());
        row.fromStation = stationName(t.fromCode);
        row.fromTime = t.departure;
        row.toStation = stationName(t.toCode);
        row.toTime = t.arrival;
        row.duration = t.duration;
        row.distance = fares::none;
        row.link = Timetable::detailLink(t.code);
        return row;
    }

    Answer<QList<TrainListRow>> rowsBetween(QDate day, const QString& fromCode,
                                            const QString& toCode) {
        Answer<QList<TrainListRow>> out;
        const Answer<QList<site::TicketRow>> got = ticketRows(day, fromCode, toCode);
        out.failure = got.failure;
        for (const site::TicketRow& t : got.value)
            out.value.append(rowOf(t));
        std::stable_sort(
            out.value.begin(), out.value.end(),
            [](const TrainListRow& a, const TrainListRow& b) { return a.fromTime < b.fromTime; });
        return out;
    }

    Answer<QStringList> middleStations(QDate day, const QString& fromCode, const QString& toCode) {
        const QString key = dayKey(day) + u'|' + fromCode + u'|' + toCode;
        if (auto hit = transfers.get(key))
            return {*hit, {}};
        ensurePaths();
        QString path;
        {
            std::lock_guard lock(stateMutex);
            path = transferPath;
        }
        const Fetched got = fetch(site::transferUrl(path, day, fromCode, toCode), true, day);
        if (!got.ok())
            return {{}, {got.reason}};
        const site::TransferAnswer parsed = site::parseTransfers(got.body);
        if (parsed.fault != site::Fault::None)
            return {{}, {reason::formatChanged(QStringLiteral("中转查询"))}};
        transfers.put(key, parsed.middleStations,
                      parsed.middleStations.isEmpty() ? emptyAge : transferAge);
        return {parsed.middleStations, {}};
    }

    Answer<site::SearchAnswer> search(QDate day, const QString& number) {
        const QString key = dayKey(day) + u'|' + number.toUpper();
        if (auto hit = searches.get(key))
            return {*hit, {}};
        const Fetched got = fetch(site::trainSearchUrl(number.toUpper(), day), true, day);
        if (!got.ok())
            return {{}, {got.reason}};
        const site::SearchAnswer parsed = site::parseTrainSearch(got.body);
        if (parsed.fault != site::Fault::None)
            return {{}, {reason::formatChanged(QStringLiteral("车次搜索"))}};
        searches.put(key, parsed, parsed.hits.isEmpty() ? emptyAge : trainAge);
        return {parsed, {}};
    }

    Answer<site::StopAnswer> readStops(const QUrl& url, QDate day) {
        const Fetched got = fetch(url, true, day);
        if (!got.ok())
            return {{}, {got.reason}};
        const site::StopAnswer parsed = site::parseStopList(got.body);
        skipped += parsed.skipped;
        if (parsed.fault != site::Fault::None || (parsed.stops.isEmpty() && parsed.skipped > 0))
            return {{}, {reason::formatChanged(QStringLiteral("经停站"))}};
        return {parsed, {}};
    }

    // `day` is the day the train left its origin; `asked`, the user's day, decides how a
    // refusal is read. `fromCode` and `toCode`, when known, let the older interface answer
    // where the newer one does not.
    Answer<site::StopAnswer> stopsOf(QDate day, const QString& trainNo, const QString& fromCode,
                                     const QString& toCode, QDate asked) {
        const QString key = dayKey(day) + u'|' + trainNo;
        if (auto hit = stopLists.get(key))
            return {*hit, {}};
        ensurePaths(); // the stop list wants the site's cookies too
        Answer<site::StopAnswer> got = readStops(site::stopListUrl(trainNo, day), asked);
        if ((got.failure.isFailure() || got.value.stops.isEmpty()) && !fromCode.isEmpty() &&
            !toCode.isEmpty()) {
            Answer<site::StopAnswer> older =
                readStops(site::stopListByEndsUrl(trainNo, fromCode, toCode, day), asked);
            if (!older.failure.isFailure() && !older.value.stops.isEmpty())
                got = older;
        }
        if (!got.failure.isFailure())
            stopLists.put(key, got.value, got.value.stops.isEmpty() ? emptyAge : trainAge);
        return got;
    }

    static std::optional<site::SearchHit> exactHit(const site::SearchAnswer& found,
                                                   const QString& number) {
        for (const site::SearchHit& hit : found.hits)
            if (hit.code.compare(number.trimmed(), Qt::CaseInsensitive) == 0)
                return hit;
        return std::nullopt;
    }

    static Train trainOf(const site::SearchHit& hit, const site::StopAnswer& stops) {
        Train t;
        t.number = hit.code;
        t.trainClass = trainClassOf(hit.code, stops.trainClass);
        int clock = 0;
        for (qsizetype i = 0; i < stops.stops.size(); ++i) {
            const site::StopRow& s = stops.stops[i];
            TrainStop stop;
            stop.station = s.station;
            stop.km = TrainStop::unknownKm; // the site's stop lists give no distances
            const bool first = i == 0, last = i == stops.stops.size() - 1;
            if (!first && !s.arrival.isEmpty())
                clock = stop.arrival = minutesAt(s.arrival, s.dayOffset, clock);
            if (!last && !s.departure.isEmpty())
                clock = stop.departure = minutesAt(s.departure, first ? s.dayOffset : -1, clock);
            t.stops.append(stop);
        }
        return t;
    }

    // The train of exactly this number with its stops; no value when the site has none.
    struct Found {
        site::SearchHit hit;
        site::StopAnswer stops;
        QString seatTypes; // as the train's row gave them; empty when no row was at hand
        QDate startDay;    // the day the train left its origin, which the site keys it by
    };

    // A train of the list may have left its origin a day or more before the day asked for;
    // its stops and fares are filed under that day.
    static QDate startDayOf(const site::TicketRow& row, QDate day) {
        const QDate start = QDate::fromString(row.startDate, QStringLiteral("yyyyMMdd"));
        return start.isValid() && start <= day && start.daysTo(day) <= 3 ? start : day;
    }
    Answer<std::optional<Found>> find(QDate day, const QString& number) {
        Found found;
        found.startDay = day;
        QString fromCode, toCode;
        if (const auto row = rowHints.get(dayKey(day) + u'|' + number.trimmed().toUpper())) {
            // A train of a list on view: its row names it, its ends and its seat classes.
            found.hit = {row->code, row->trainNo, stationName(row->startCode),
                         stationName(row->endCode)};
            found.seatTypes = row->seatTypes;
            found.startDay = startDayOf(*row, day);
            fromCode = row->fromCode;
            toCode = row->toCode;
        } else {
            const Answer<site::SearchAnswer> searched = search(day, number.trimmed());
            if (searched.failure.isFailure())
                return {{}, searched.failure};
            const std::optional<site::SearchHit> exact = exactHit(searched.value, number);
            if (!exact)
                return {};
            found.hit = *exact;
            fromCode = codeFor(exact->from);
            toCode = codeFor(exact->to);
        }
        const Answer<site::StopAnswer> stops =
            stopsOf(found.startDay, found.hit.trainNo, fromCode, toCode, day);
        if (stops.failure.isFailure())
            return {{}, stops.failure};
        if (stops.value.stops.size() < 2)
            return {};
        found.stops = stops.value;
        return {found, {}};
    }

    // Any day goes to the site, which may still answer for it; where it gave nothing for a
    // day outside its sale window, that is the likely reason and the user is told.
    static void noteSaleWindow(QDate day, const source::DayRange& range, bool answered,
                               source::Failure* failure) {
        if (answered || range.contains(day))
            return;
        const QString outside = reason::outsideSale(day, range);
        failure->reason = failure->isFailure() ? failure->reason + u' ' + outside : outside;
    }
};

LiveSource::LiveSource(LiveOptions options)
    : d(std::make_unique<Impl>(std::move(options))) {}

LiveSource::~LiveSource() = default;

source::DayRange LiveSource::days() const {
    return saleWindow();
}

QString LiveSource::kind() const {
    return contract::stations::liveSource.toString();
}

QDate LiveSource::defaultDay() const {
    return QDate::currentDate();
}

Answer<QList<StationListEntry>> LiveSource::stations(QDate) {
    Answer<QList<StationListEntry>> out;
    out.failure.reason = d->ensureStations();
    std::lock_guard lock(d->stateMutex);
    for (const site::Station& s : d->stations.list)
        out.value.append(StationListEntry{s.name, 0, s.pinyin});
    return out;
}

Answer<QList<TrainListRow>> LiveSource::trainsByNumber(QDate day, const QString& text) {
    Answer<QList<TrainListRow>> out = numberRows(day, text);
    Impl::noteSaleWindow(day, days(), !out.value.isEmpty(), &out.failure);
    return out;
}

Answer<QList<TrainListRow>> LiveSource::numberRows(QDate day, const QString& text) {
    Answer<QList<TrainListRow>> out;
    // The train of exactly that number, by its row in a list on view or by the search.
    const Answer<std::optional<Impl::Found>> exact = d->find(day, text);
    if (exact.value) {
        const Train t = Impl::trainOf(exact.value->hit, exact.value->stops);
        TrainListRow row;
        row.train = t.number;
        row.origin = row.fromStation = t.stops.first().station;
        row.terminus = row.toStation = t.stops.last().station;
        row.trainClass = t.trainClass;
        row.fromTime = clockText(t.stops.first().departure);
        row.toTime = clockText(t.stops.last().arrival);
        row.duration = durationText(t.stops.last().arrival - t.stops.first().departure);
        row.distance = fares::none;
        row.link = Timetable::detailLink(t.number);
        out.value.append(row);
    } else if (exact.failure.isFailure()) {
        return {{}, exact.failure};
    }
    // Other trains whose number starts so: their ends only, their times one click away. They
    // are a help beside the train asked for, so a failed search leaves that train alone.
    const Answer<site::SearchAnswer> found = d->search(day, text.trimmed());
    if (found.failure.isFailure())
        return out.value.isEmpty() ? Answer<QList<TrainListRow>>{{}, found.failure} : out;
    int others = 0;
    for (const site::SearchHit& hit : found.value.hits) {
        if ((exact.value && hit.code == exact.value->hit.code) || ++others > maxOtherHits)
            continue;
        TrainListRow row;
        row.train = hit.code;
        row.origin = row.fromStation = hit.from;
        row.terminus = row.toStation = hit.to;
        row.trainClass = trainClassOf(hit.code, QString());
        row.fromTime = row.toTime = row.duration = row.distance = fares::none;
        row.link = Timetable::detailLink(hit.code);
        out.value.append(row);
    }
    return out;
}

Answer<Between> LiveSource::trainsBetween(QDate day, const QString& from, const QString& to) {
    Answer<Between> out = betweenRows(day, from, to);
    Impl::noteSaleWindow(day, days(), out.value.outcome != Between::Outcome::NoTrain, &out.failure);
    return out;
}

Answer<Between> LiveSource::betweenRows(QDate day, const QString& from, const QString& to) {
    Answer<Between> out;
    if (const QString why = d->ensureStations(); !why.isEmpty())
        return {{}, {why}};
    const QString fromCode = d->codeFor(from);
    const QString toCode = d->codeFor(to);
    if (fromCode.isEmpty()) {
        out.value.outcome = Between::Outcome::NoDeparture; // the page's phrase says it
        return out;
    }
    if (toCode.isEmpty()) {
        out.value.outcome = Between::Outcome::NoArrival;
        return out;
    }
    const Answer<QList<TrainListRow>> rows = d->rowsBetween(day, fromCode, toCode);
    if (rows.failure.isFailure())
        return {{}, rows.failure};
    if (!rows.value.isEmpty()) {
        out.value.outcome = Between::Outcome::Trains;
        out.value.rows = rows.value;
        return out;
    }
    const Answer<QStringList> middle = d->middleStations(day, fromCode, toCode);
    out.failure = middle.failure;
    if (!middle.value.isEmpty()) {
        out.value.outcome = Between::Outcome::Transfer;
        out.value.cities = middle.value;
    }
    return out;
}

Answer<QList<TrainListRow>> LiveSource::trainsAtStation(QDate, const QString&) {
    return {{}, {reason::stationQueryUnavailable()}};
}

Answer<QList<TrainListRow>> LiveSource::legTrains(QDate day, const QString& from,
                                                  const QString& city) {
    Answer<QList<TrainListRow>> out = legRows(day, from, city);
    Impl::noteSaleWindow(day, days(), !out.value.isEmpty(), &out.failure);
    return out;
}

Answer<QList<TrainListRow>> LiveSource::legRows(QDate day, const QString& from,
                                                const QString& city) {
    if (from.trimmed().isEmpty())
        return {{}, {reason::legWithoutDeparture()}};
    if (const QString why = d->ensureStations(); !why.isEmpty())
        return {{}, {why}};
    const QString fromCode = d->codeFor(from);
    const QString toCode = d->codeFor(city);
    if (fromCode.isEmpty() || toCode.isEmpty())
        return {{}, {reason::unknownStation(fromCode.isEmpty() ? from : city)}};
    return d->rowsBetween(day, fromCode, toCode);
}

Answer<std::optional<Train>> LiveSource::train(QDate day, const QString& number) {
    Answer<std::optional<Train>> out = trainStops(day, number);
    Impl::noteSaleWindow(day, days(), out.value.has_value(), &out.failure);
    return out;
}

Answer<std::optional<Train>> LiveSource::trainStops(QDate day, const QString& number) {
    const Answer<std::optional<Impl::Found>> found = d->find(day, number);
    if (!found.value)
        return {{}, found.failure};
    return {Impl::trainOf(found.value->hit, found.value->stops), {}};
}

Answer<std::optional<source::FareTable>> LiveSource::fares(QDate day, const QString& number) {
    Answer<std::optional<source::FareTable>> out = fareTable(day, number);
    Impl::noteSaleWindow(day, days(), out.value.has_value(), &out.failure);
    return out;
}

Answer<std::optional<source::FareTable>> LiveSource::fareTable(QDate day, const QString& number) {
    const QString key = dayKey(day) + u'|' + number.trimmed().toUpper();
    if (auto hit = d->fareTables.get(key))
        return {*hit, {}};
    const Answer<std::optional<Impl::Found>> found = d->find(day, number);
    if (!found.value)
        return {{}, found.failure};
    const site::SearchHit* exact = &found.value->hit;
    const Answer<site::StopAnswer> stops{found.value->stops, {}};
    // The seat classes the train sells decide which fares the site gives: its row's, else
    // the classes its kind of train usually has.
    const Train t = Impl::trainOf(*exact, stops.value);
    const QString seatTypes = !found.value->seatTypes.isEmpty() ? found.value->seatTypes
                              : fares::sellsSeatClasses(t)      ? QStringLiteral("OM9")
                                                                : QStringLiteral("1234");
    const Fetched got = d->fetch(site::fareUrl(exact->trainNo, stops.value.stops.first().stationNo,
                                               stops.value.stops.last().stationNo, seatTypes,
                                               found.value->startDay),
                                 true, day);
    if (!got.ok())
        return {{}, {got.reason}};
    const site::FareAnswer parsed = site::parseFares(got.body);
    if (parsed.fault != site::Fault::None)
        return {{}, {reason::formatChanged(QStringLiteral("票价"))}};
    source::FareTable table;
    table.note = reason::fareNote();
    table.sample = false;
    const fares::Cells none{fares::none, fares::none, fares::none,
                            fares::none, fares::none, fares::none};
    table.cells.fill(none, t.stops.size());
    // The site prices the whole journey; the terminus's line carries it.
    fares::Cells& last = table.cells.last();
    QString* columns[] = {&last.hardSeat,    &last.softSeat,   &last.hardSleeper,
                          &last.softSleeper, &last.firstClass, &last.secondClass};
    for (const site::SeatColumn& c : site::seatColumns())
        if (parsed.yuan.contains(QLatin1String(c.key)))
            *columns[c.column] = parsed.yuan.value(QLatin1String(c.key));
    d->fareTables.put(key, table, parsed.yuan.isEmpty() ? emptyAge : fareAge);
    return {table, {}};
}

QStringList LiveSource::check() {
    QStringList lines;
    auto line = [&](const char* what, const QString& failure, const QString& detail) {
        lines << QStringLiteral("%1: %2").arg(
            QLatin1String(what), failure.isEmpty() ? QStringLiteral("ok") + detail
                                                   : QStringLiteral("FAILED ") + failure);
    };
    const QDate day = QDate::currentDate().addDays(1);
    const Answer<QList<StationListEntry>> list = stations(day);
    line("station list", list.failure.reason,
         QStringLiteral(" (%1 stations)").arg(list.value.size()));
    const QString from = QStringLiteral("北京"), to = QStringLiteral("上海");
    const Answer<Between> between = trainsBetween(day, from, to);
    line("trains between stations", between.failure.reason,
         QStringLiteral(" (%1 trains %2 to %3 on %4)")
             .arg(between.value.rows.size())
             .arg(from, to, day.toString(Qt::ISODate)));
    {
        std::lock_guard lock(d->stateMutex);
        lines << QStringLiteral("query paths: %1, %2").arg(d->leftTicketPath, d->transferPath);
    }
    const QString number =
        between.value.rows.isEmpty() ? QStringLiteral("G1") : between.value.rows.first().train;
    const Answer<site::SearchAnswer> found = d->search(day, number);
    line("train search", found.failure.reason,
         QStringLiteral(" (%1 trains for %2)").arg(found.value.hits.size()).arg(number));
    const Answer<std::optional<Train>> stops = train(day, number);
    line("stop list", stops.failure.reason,
         QStringLiteral(" (%1 stops)").arg(stops.value ? stops.value->stops.size() : 0));
    const Answer<std::optional<source::FareTable>> fare = fares(day, number);
    line("fares", fare.failure.reason, fare.value ? QString() : QStringLiteral(" (none)"));
    const QString a = d->codeFor(QStringLiteral("拉萨")), b = d->codeFor(QStringLiteral("三亚"));
    const Answer<QStringList> middle = d->middleStations(day, a, b);
    line("transfers", middle.failure.reason,
         QStringLiteral(" (%1 transfer stations)").arg(middle.value.size()));
    lines << QStringLiteral("rows skipped as unreadable: %1").arg(skippedRows());
    return lines;
}

int LiveSource::skippedRows() const {
    return d->skipped;
}

int LiveSource::requestCount() const {
    return d->fetcher.requestCount();
}

} // namespace live
