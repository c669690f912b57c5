#include "server.h"

#include "httplimits.h"
#include "pages.h"
#include "stationlist.h"
#include "updateroutes.h"
#include "trainpages.h"

#include <QRandomGenerator>

#include <algorithm>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

const char* const htmlType = "text/html; charset=gb2312";

// Remembers the departure station of each client's last station-to-station query, which the
// leg query of the transfer window omits. Oldest sessions go first once the table is full.
class SessionStore {
public:
    std::string remember(const std::string& id, const QString& from) {
        std::lock_guard lock(m_mutex);
        auto it = m_from.find(id);
        if (it != m_from.end()) {
            it->second = from;
            return id;
        }
        if (m_order.size() >= maxSessions) {
            m_from.erase(m_order.front());
            m_order.pop_front();
        }
        QRandomGenerator64* random = QRandomGenerator64::system();
        const std::string fresh =
            QByteArray::number(random->generate(), 16).rightJustified(16, '0').toStdString() +
            QByteArray::number(random->generate(), 16).rightJustified(16, '0').toStdString();
        m_from.emplace(fresh, from);
        m_order.push_back(fresh);
        return fresh;
    }

    std::optional<QString> departure(const std::string& id) const {
        std::lock_guard lock(m_mutex);
        auto it = m_from.find(id);
        if (it == m_from.end())
            return std::nullopt;
        return it->second;
    }

private:
    static constexpr size_t maxSessions = 10000;
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, QString> m_from;
    std::deque<std::string> m_order;
};

std::string cookieValue(const httplib::Request& req, const std::string& name) {
    const std::string header = req.get_header_value("Cookie");
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find(';', pos);
        if (end == std::string::npos)
            end = header.size();
        std::string pair = header.substr(pos, end - pos);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.compare(0, name.size() + 1, name + "=") == 0)
            return pair.substr(name.size() + 1);
        pos = end + 1;
    }
    return {};
}

QString field(const httplib::Request& req, const char* name) {
    // Values are GB2312 text, percent-encoded or raw; exactly as typed, blanks included.
    return pages::fromGb(QByteArray::fromStdString(req.get_param_value(name)));
}

QByteArray noTrainPage(const QString& heading, const source::Failure& why = {}) {
    return pages::messagePage(heading, pages::noTrainPhrase, why.reason);
}

QByteArray trainNumberAnswer(source::TimetableSource& src, QDate day, const QString& number) {
    const QString heading = QStringLiteral("车次 %1 的查询结果").arg(number);
    const auto answer = src.trainsByNumber(day, number);
    if (answer.value.isEmpty())
        return noTrainPage(heading, answer.failure);
    return pages::trainListPage(pages::ListKind::TrainNumber, heading, answer.value);
}

QByteArray stationToStationAnswer(source::TimetableSource& src, QDate day, const QString& from,
                                  const QString& to) {
    const QString heading = QStringLiteral("%1 到 %2 的列车").arg(from, to);
    const auto answer = src.trainsBetween(day, from, to);
    if (answer.failure.isFailure())
        return noTrainPage(heading, answer.failure);
    using Outcome = source::Between::Outcome;
    switch (answer.value.outcome) {
    case Outcome::NoDeparture:
        return pages::messagePage(heading, pages::noDeparturePhrase);
    case Outcome::NoArrival:
        return pages::messagePage(heading, pages::noArrivalPhrase);
    case Outcome::Trains:
        return pages::trainListPage(pages::ListKind::Station, heading, answer.value.rows);
    case Outcome::Transfer:
        return pages::transferPage(from, to, answer.value.cities);
    case Outcome::NoTrain:
        break;
    }
    return noTrainPage(heading);
}

QByteArray stationAnswer(source::TimetableSource& src, QDate day, const QString& station) {
    const QString heading = QStringLiteral("经过 %1 的列车").arg(station);
    const auto answer = src.trainsAtStation(day, station);
    if (answer.failure.isFailure())
        return noTrainPage(heading, answer.failure);
    return pages::trainListPage(pages::ListKind::Station, heading, answer.value);
}

QByteArray legAnswer(source::TimetableSource& src, QDate day, const std::optional<QString>& from,
                     const QString& city) {
    const QString heading = from ? QStringLiteral("%1 到 %2 的列车").arg(*from, city)
                                 : QStringLiteral("到达 %1 的列车").arg(city);
    const auto answer = src.legTrains(day, from.value_or(QString()), city);
    if (answer.value.isEmpty())
        return noTrainPage(heading, answer.failure);
    return pages::trainListPage(pages::ListKind::Station, heading, answer.value);
}

QByteArray detailAnswer(source::TimetableSource& src, QDate day, const QString& number,
                        bool framed) {
    const auto answer = src.train(day, number);
    if (!answer.value)
        return pages::messagePage(QStringLiteral("列车详情"),
                                  pages::missingParametersPhrase +
                                      QStringLiteral("：没有车次 %1。").arg(number),
                                  answer.failure.reason);
    return framed ? pages::trainFramePage(*answer.value, day)
                  : pages::trainStopsPage(*answer.value, day);
}

QByteArray fareAnswer(source::TimetableSource& src, QDate day, const QString& number) {
    const auto train = src.train(day, number);
    const auto fares = train.value ? src.fares(day, number) : decltype(src.fares(day, number)){};
    if (!train.value || !fares.value)
        return pages::messagePage(QStringLiteral("票价查询"), pages::noFarePhrase,
                                  train.failure.isFailure() ? train.failure.reason
                                                            : fares.failure.reason);
    return pages::farePage(*train.value, fares.value->cells, fares.value->note,
                           fares.value->sample);
}

// The day a "/d/YYYYMMDD/" prefix names; invalid for anything but eight digits of a real
// date.
QDate prefixDay(const std::string& text) {
    if (text.size() != 8 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return QDate::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMdd"));
}

void setPage(httplib::Response& res, const QByteArray& page) {
    res.set_content(page.constData(), size_t(page.size()), htmlType);
    res.set_header("Cache-Control", "no-cache");
}

} // namespace

struct TimetableServer::Impl {
    std::shared_ptr<source::TimetableSource> source;
    Release release = installedRelease();
    SessionStore sessions;
    GuardedServer http;
    std::string downloadBase; // where the manifest sends the updater: our own address
    std::atomic<bool> serving{false};
    std::atomic<bool> stopRequested{false};
    // stations.txt of the last days asked: the pinyin of every name is worth keeping.
    std::mutex listMutex;
    std::deque<std::pair<QDate, QByteArray>> stationLists;

    explicit Impl(std::shared_ptr<source::TimetableSource> s)
        : source(std::move(s)) {
        // Headers and body go out in separate writes; without this each answer waits for the
        // client's delayed acknowledgement.
        http.set_tcp_nodelay(true);
        // Answers go out uncompressed: this build of the HTTP library compresses with Brotli at
        // its slowest setting whenever a client accepts "br", about a second per 100 KB page,
        // which is far more than a loopback transfer of the page costs. The request is the
        // library's own non-const object; only our view of it is const.
        http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
            const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
            dropUnservedRange(req);
            return httplib::Server::HandlerResponse::Unhandled;
        });
        // Every page of the timetable and fare services, for the default day or for the day
        // of a "/d/YYYYMMDD/" prefix, which the client puts in front of its base address.
        for (const char* page : dayPages) {
            http.Get(std::string("/") + page,
                     [this, page](const httplib::Request& req, httplib::Response& res) {
                         answer(page, source->defaultDay(), req, res);
                     });
        }
        http.Get(R"(/d/([^/]*)/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            const QDate day = prefixDay(req.matches[1].str());
            if (!day.isValid()) {
                res.status = 400;
                const QString text =
                    QStringLiteral("地址中的日期“%1”无效：应为 8 位数字的年月日，"
                                   "例如 /d/20261212/。")
                        .arg(QString::fromStdString(req.matches[1].str().substr(0, 40)));
                setPage(res, pages::messagePage(QStringLiteral("日期有误"), text, text));
                return;
            }
            const std::string rest = req.matches[2].str();
            for (const char* page : dayPages) {
                if (rest == page)
                    return answer(page, day, req, res);
            }
            res.status = 404;
        });
        http.Get("/banner.html", [](const httplib::Request&, httplib::Response& res) {
            setPage(res, pages::bannerPage());
        });
        http.Get("/portal.html", [](const httplib::Request&, httplib::Response& res) {
            setPage(res, pages::portalPage());
        });
        addUpdateRoutes(http, release, downloadBase);
        http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
            if (res.body.empty())
                setPage(res, pages::notFoundPage());
        });
    }

    static constexpr const char* dayPages[] = {"show_findresult.asp", "stations.txt", "train.asp",
                                               "show_train.asp", "fare/chaxun/resultc.asp"};

    void answer(std::string_view page, QDate day, const httplib::Request& req,
                httplib::Response& res) {
        if (page == "show_findresult.asp")
            find(day, req, res);
        else if (page == "stations.txt")
            stationList(day, res);
        // The detail links of the train lists, and the fare service under its own base.
        else if (page == "train.asp")
            setPage(res, detailAnswer(*source, day, field(req, "cc"), true));
        else if (page == "show_train.asp")
            setPage(res, detailAnswer(*source, day, field(req, "cc"), false));
        else
            setPage(res, fareAnswer(*source, day, field(req, "txtcheci")));
    }

    // The client completes station names from this list; its header names the days the
    // service answers.
    void stationList(QDate day, httplib::Response& res) {
        QByteArray list;
        {
            std::lock_guard lock(listMutex);
            for (const auto& [listDay, bytes] : stationLists) {
                if (listDay == day)
                    list = bytes;
            }
        }
        if (list.isEmpty()) {
            const source::DayRange range = source->days();
            list = stationListPage(source->stations(day).value, source->cities(day).value,
                                   range.first, range.last, source->kind());
            std::lock_guard lock(listMutex);
            stationLists.emplace_back(day, list);
            if (stationLists.size() > 8)
                stationLists.pop_front();
        }
        res.set_content(list.constData(), size_t(list.size()), "text/plain; charset=gb2312");
        res.set_header("Cache-Control", "no-cache");
    }

    void find(QDate day, const httplib::Request& req, httplib::Response& res) {
        const QString type = field(req, "CX_Type");
        if (type == QLatin1String("CC")) {
            setPage(res, trainNumberAnswer(*source, day, field(req, "CC")));
        } else if (type == QLatin1String("CZ")) {
            setPage(res, stationAnswer(*source, day, field(req, "CZ")));
        } else if (type == QLatin1String("ZZ") && !req.has_param("FZ")) {
            // The transfer window's leg query: its departure is the one remembered below.
            const std::string id = cookieValue(req, sessionCookie);
            const std::optional<QString> from = id.empty() ? std::nullopt : sessions.departure(id);
            setPage(res, legAnswer(*source, day, from, field(req, "DZ")));
        } else if (type == QLatin1String("ZZ")) {
            const QString from = field(req, "FZ");
            const std::string id = sessions.remember(cookieValue(req, sessionCookie), from);
            res.set_header("Set-Cookie",
                           std::string(sessionCookie) + "=" + id + "; Path=/; HttpOnly");
            setPage(res, stationToStationAnswer(*source, day, from, field(req, "DZ")));
        } else {
            res.status = 400;
            setPage(res, pages::messagePage(QStringLiteral("查询结果"),
                                            QStringLiteral("查询类型不正确。")));
        }
    }
};

TimetableServer::TimetableServer(std::shared_ptr<source::TimetableSource> source) {
    pages::setSampleTimetable(source->isSample());
    d = std::make_unique<Impl>(std::move(source));
}

TimetableServer::TimetableServer(Timetable data)
    : d(std::make_unique<Impl>(std::make_shared<source::FixedTimetable>(std::move(data)))) {}

TimetableServer::~TimetableServer() {
    stop();
}

void TimetableServer::setRelease(Release release) {
    d->release = std::move(release);
}

int TimetableServer::bind(const QString& host, int port) {
    const int bound = d->http.bindGuarded(host.toStdString(), port);
    // A wildcard address names no host a client can reach: the routes then take the address
    // the client's connection arrived at.
    const bool wildcard = host.isEmpty() || host == u"0.0.0.0" || host == u"::";
    d->downloadBase = wildcard || bound < 0 ? std::string() : ownDownloadBase(host, bound);
    return bound;
}

bool TimetableServer::serve() {
    d->serving = true;
    if (d->stopRequested) {
        d->serving = false;
        return true;
    }
    const bool ok = d->http.listen_after_bind();
    d->serving = false;
    return ok;
}

void TimetableServer::stop() {
    d->stopRequested = true;
    // httplib ignores stop() until its accept loop has started; wait for that loop when
    // serve() has already been entered, so an early stop is not lost.
    while (d->serving && !d->http.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    d->http.stop();
}

void TimetableServer::serveConnection(int fd) {
    d->http.serveConnection(fd);
}
