#include "server.h"

#include "httplimits.h"
#include "pages.h"
#include "stationlist.h"
#include "updateroutes.h"
#include "trainpages.h"

#include <QRandomGenerator>

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

QByteArray noTrainPage(const QString& heading) {
    return pages::messagePage(heading, pages::noTrainPhrase);
}

QByteArray trainNumberAnswer(const Timetable& data, const QString& number) {
    const QString heading = QStringLiteral("车次 %1 的查询结果").arg(number);
    const QList<TrainListRow> rows = data.trainsByNumber(number);
    if (rows.isEmpty())
        return noTrainPage(heading);
    return pages::trainListPage(pages::ListKind::TrainNumber, heading, rows);
}

QByteArray stationToStationAnswer(const Timetable& data, const QString& from, const QString& to) {
    const QString heading = QStringLiteral("%1 到 %2 的列车").arg(from, to);
    if (!data.hasStation(from))
        return pages::messagePage(heading, pages::noDeparturePhrase);
    if (!data.hasStation(to))
        return pages::messagePage(heading, pages::noArrivalPhrase);
    const QList<TrainListRow> rows = data.trainsBetween(from, to);
    if (!rows.isEmpty())
        return pages::trainListPage(pages::ListKind::Station, heading, rows);
    const QStringList cities = data.transferCities(from, to);
    if (!cities.isEmpty())
        return pages::transferPage(from, to, cities);
    return noTrainPage(heading);
}

QByteArray stationAnswer(const Timetable& data, const QString& station) {
    return pages::trainListPage(pages::ListKind::Station,
                                QStringLiteral("经过 %1 的列车").arg(station),
                                data.trainsAtStation(station));
}

QByteArray legAnswer(const Timetable& data, const std::optional<QString>& from,
                     const QString& city) {
    const QString heading = from ? QStringLiteral("%1 到 %2 的列车").arg(*from, city)
                                 : QStringLiteral("到达 %1 的列车").arg(city);
    const QList<TrainListRow> rows = data.legTrains(from.value_or(QString()), city);
    if (rows.isEmpty())
        return noTrainPage(heading);
    return pages::trainListPage(pages::ListKind::Station, heading, rows);
}

void setPage(httplib::Response& res, const QByteArray& page) {
    res.set_content(page.constData(), size_t(page.size()), htmlType);
    res.set_header("Cache-Control", "no-cache");
}

} // namespace

struct TimetableServer::Impl {
    Timetable data;
    Release release = installedRelease();
    SessionStore sessions;
    GuardedServer http;
    std::string downloadBase; // where the manifest sends the updater: our own address
    std::atomic<bool> serving{false};
    std::atomic<bool> stopRequested{false};

    explicit Impl(Timetable d)
        : data(std::move(d)) {
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
        http.Get(R"(/show_findresult\.asp)",
                 [this](const httplib::Request& req, httplib::Response& res) { find(req, res); });
        // The client completes station names from this list.
        const QByteArray stationList = stationListPage(data.stations());
        http.Get("/stations.txt", [stationList](const httplib::Request&, httplib::Response& res) {
            res.set_content(stationList.constData(), size_t(stationList.size()),
                            "text/plain; charset=gb2312");
            res.set_header("Cache-Control", "no-cache");
        });
        http.Get("/banner.html", [](const httplib::Request&, httplib::Response& res) {
            setPage(res, pages::bannerPage());
        });
        http.Get("/portal.html", [](const httplib::Request&, httplib::Response& res) {
            setPage(res, pages::portalPage());
        });
        // The detail links of the train lists, and the fare service under its own base.
        http.Get("/train.asp", [this](const httplib::Request& req, httplib::Response& res) {
            setPage(res, pages::trainDetailAnswer(data, field(req, "cc"), true));
        });
        http.Get("/show_train.asp", [this](const httplib::Request& req, httplib::Response& res) {
            setPage(res, pages::trainDetailAnswer(data, field(req, "cc"), false));
        });
        http.Get("/fare/chaxun/resultc.asp",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     setPage(res, pages::fareAnswer(data, field(req, "txtcheci")));
                 });
        addUpdateRoutes(http, release, downloadBase);
        http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
            if (res.body.empty())
                setPage(res, pages::notFoundPage());
        });
    }

    void find(const httplib::Request& req, httplib::Response& res) {
        const QString type = field(req, "CX_Type");
        if (type == QLatin1String("CC")) {
            setPage(res, trainNumberAnswer(data, field(req, "CC")));
        } else if (type == QLatin1String("CZ")) {
            setPage(res, stationAnswer(data, field(req, "CZ")));
        } else if (type == QLatin1String("ZZ") && !req.has_param("FZ")) {
            // The transfer window's leg query: its departure is the one remembered below.
            const std::string id = cookieValue(req, sessionCookie);
            const std::optional<QString> from = id.empty() ? std::nullopt : sessions.departure(id);
            setPage(res, legAnswer(data, from, field(req, "DZ")));
        } else if (type == QLatin1String("ZZ")) {
            const QString from = field(req, "FZ");
            const std::string id = sessions.remember(cookieValue(req, sessionCookie), from);
            res.set_header("Set-Cookie",
                           std::string(sessionCookie) + "=" + id + "; Path=/; HttpOnly");
            setPage(res, stationToStationAnswer(data, from, field(req, "DZ")));
        } else {
            res.status = 400;
            setPage(res, pages::messagePage(QStringLiteral("查询结果"),
                                            QStringLiteral("查询类型不正确。")));
        }
    }
};

TimetableServer::TimetableServer(Timetable data)
    : d(std::make_unique<Impl>(std::move(data))) {}

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
