#pragma once

#include "loopbackserver.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>

// Stands for the railway site on 127.0.0.1, in its formats, with made-up stations and trains.
// Requests arrive as /HOST/PATH?QUERY (the service's replay base). The init page names a
// stale path whose answer is the site's wrong-path redirect, as the site does after a change.
class ReplaySite {
public:
    LoopbackServer loopback;
    QByteArray stationScript = defaultStations();
    // Answers by "FROM-TO" telecodes for pairs other than the built-in ones.
    QHash<QString, std::pair<int, QByteArray>> between;
    // The init page names a stale path; a page that names none leaves the default one.
    QByteArray initPage = "<html><head><script>var CLeftTicketUrl = 'leftTicket/queryA';"
                          "</script></head></html>";
    // The status the wrong-path answer comes with (200, or a redirect).
    int wrongPathStatus = 200;

    static QByteArray defaultStations() {
        return QStringLiteral("var station_names ='@bjq|北京|BJQ|beijing|bj|0|0001|北京|||"
                              "@bnq|北京南|BNQ|beijingnan|bjn|1|0001|北京|||"
                              "@shq|上海|SHQ|shanghai|sh|2|0002|上海|||"
                              "@sqq|上海虹桥|SQQ|shanghaihongqiao|shhq|3|0002|上海|||"
                              "@nnq|南京南|NNQ|nanjingnan|njn|4|0003|南京|||"
                              "@jxq|济南西|JXQ|jinanxi|jnx|5|0004|济南|||"
                              "@lsq|拉萨|LSQ|lasa|ls|6|0005|拉萨|||"
                              "@xnq|西宁|XNQ|xining|xn|7|0006|西宁|||"
                              "@syq|三亚|SYQ|sanya|sy|8|0007|三亚|||"
                              "@gnq|广州南|GNQ|guangzhounan|gzn|9|0008|广州|||"
                              "@cnq|长沙南|CNQ|changshanan|csn|10|0009|长沙|||"
                              "@whq|武汉|WHQ|wuhan|wh|11|0010|武汉|||"
                              "@bad|坏站|bq1|huaizhan|hz|12|0011|坏|||';")
            .toUtf8();
    }

    // A row of the between-stations answer with `fields` fields (the site's rows have 37 to
    // 58); the fields the service reads sit where the site puts them.
    static QString row(const QString& code, const QString& start, const QString& end,
                       const QString& from, const QString& to, const QString& leaves,
                       const QString& arrives, const QString& duration, int fields = 58) {
        QStringList f(qMax(fields, 36));
        f[0] = QStringLiteral("c2VjcmV0%0A");
        f[1] = QStringLiteral("预订");
        f[2] = QStringLiteral("5a000") + code + QStringLiteral("01");
        f[3] = code;
        f[4] = start;
        f[5] = end;
        f[6] = from;
        f[7] = to;
        f[8] = leaves;
        f[9] = arrives;
        f[10] = duration;
        f[11] = QStringLiteral("Y");
        f[13] = QStringLiteral("20300101");
        f[16] = QStringLiteral("01");
        f[17] = QStringLiteral("04");
        // Seat classes: multiple-unit trains sell first and second class, the others berths.
        const bool multipleUnit = QStringLiteral("GDC").contains(code.front());
        f[35] = multipleUnit ? QStringLiteral("OM9") : QStringLiteral("1413");
        return f.mid(0, fields).join(u'|');
    }

    static QByteArray ticketAnswer(const QStringList& rows, const QJsonObject& map) {
        QJsonArray result;
        for (const QString& r : rows)
            result.append(r);
        const QJsonObject data{{"result", result}, {"flag", "1"}, {"map", map}};
        return QJsonDocument(
                   QJsonObject{
                       {"httpstatus", 200}, {"data", data}, {"messages", ""}, {"status", true}})
            .toJson(QJsonDocument::Compact);
    }

    bool start(int port = 0) {
        auto& http = loopback.server;
        // Headers and body go out in two writes; without this each answer waits for the
        // delayed acknowledgement, which is the replay's cost, not the site's.
        http.set_tcp_nodelay(true);
        const std::string otn = "/kyfw.12306.cn/otn/";
        http.Get(otn + "resources/js/framework/station_name.js",
                 [this](const httplib::Request&, httplib::Response& res) {
                     count("stations");
                     res.set_content(stationScript.toStdString(), "application/javascript");
                 });
        http.Get(otn + "leftTicket/init", [this](const httplib::Request&, httplib::Response& res) {
            count("init");
            res.set_header("Set-Cookie", "JSESSIONID=replay; Path=/otn");
            res.set_content(initPage.toStdString(), "text/html");
        });
        http.Get(otn + "lcQuery/init", [this](const httplib::Request&, httplib::Response& res) {
            count("lcinit");
            res.set_content("<script>var lc_search_url = '/lcquery/queryT';</script>", "text/html");
        });
        // Every other query path is a stale one.
        http.Get(R"(/kyfw\.12306\.cn/otn/leftTicket/query[A-Y]?)", [this](const httplib::Request&,
                                                                          httplib::Response& res) {
            count("wrongPath");
            res.status = wrongPathStatus;
            if (wrongPathStatus == 302)
                res.set_header("Location", "/kyfw.12306.cn/otn/view/error.html");
            res.set_content(
                R"({"c_url":"leftTicket/queryZ","c_name":"CLeftTicketUrl","status":false})",
                "application/json");
        });
        http.Get(otn + "leftTicket/queryZ",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     count("queryZ");
                     answerBetween(req.get_param_value("leftTicketDTO.from_station") + "-" +
                                       req.get_param_value("leftTicketDTO.to_station"),
                                   res);
                 });
        http.Get("/kyfw.12306.cn/lcquery/queryT",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     count("transfer");
                     QJsonArray middle;
                     if (req.get_param_value("from_station_telecode") == "LSQ" &&
                         req.get_param_value("to_station_telecode") == "SYQ")
                         for (const char* name : {"西宁", "广州南", "西宁"})
                             middle.append(QJsonObject{{"middle_station_name", name},
                                                       {"all_lishi", "50:10"}});
                     json(res, QJsonObject{{"data", QJsonObject{{"middleList", middle}}},
                                           {"status", true},
                                           {"errorMsg", ""}});
                 });
        http.Get("/search.12306.cn/search/v1/train/search",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     count("search");
                     const QString key = QString::fromStdString(req.get_param_value("keyword"));
                     QJsonArray hits;
                     for (const Made& t : trains())
                         if (t.code.startsWith(key))
                             hits.append(QJsonObject{{"station_train_code", t.code},
                                                     {"train_no", trainNo(t.code)},
                                                     {"from_station", t.stops.first().name},
                                                     {"to_station", t.stops.last().name}});
                     json(res, QJsonObject{{"data", hits}, {"status", true}, {"errorMsg", ""}});
                 });
        http.Get(otn + "queryTrainInfo/query",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     count("stops");
                     json(res, stopsAnswer(req.get_param_value("leftTicketDTO.train_no")));
                 });
        http.Get(otn + "leftTicket/queryTicketPrice", [this](const httplib::Request& req,
                                                             httplib::Response& res) {
            count("price");
            const bool multipleUnit =
                QString::fromStdString(req.get_param_value("seat_types")).contains(u'O');
            QJsonObject data{{"OT", QJsonArray()},
                             {"train_no", QString::fromStdString(req.get_param_value("train_no"))}};
            if (multipleUnit) {
                data.insert("O", "¥553.5");
                data.insert("M", "¥930.0");
                data.insert("A9", "¥1748.0");
                data.insert("9", "17480");
            } else {
                data.insert("A1", "¥156.5");
                data.insert("A3", "¥283.5");
                data.insert("A4", "¥441.0");
                data.insert("WZ", "¥156.5");
            }
            json(res, QJsonObject{{"data", data}, {"status", true}});
        });
        http.Get(otn + "view/error.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body>网络可能存在问题，请您重试一下！</body></html>",
                            "text/html");
        });
        return loopback.start(port);
    }

    QString base() const { return loopback.url(QStringLiteral("/")); }

    int hits(const QString& what) const {
        QMutexLocker lock(&m_mutex);
        return m_hits.value(what);
    }

private:
    // The made-up trains: every train of the between answers below can be searched for and
    // has its stops; their rows agree with the stops.
    struct MadeStop {
        const char *name, *arrive, *leave, *dayDiff;
    };
    struct Made {
        QString code;
        QList<MadeStop> stops;
    };
    static QString trainNo(const QString& code) { return "5a000" + code + "01"; }
    static QList<Made> trains() {
        return {{"G101",
                 {{"北京南", "----", "07:00", "0"},
                  {"济南西", "08:30", "08:32", "0"},
                  {"南京南", "10:20", "10:22", "0"},
                  {"上海虹桥", "11:30", "11:30", "0"}}},
                {"G1011", {{"北京南", "----", "07:30", "0"}, {"南京南", "11:00", "11:00", "0"}}},
                {"G103",
                 {{"北京南", "----", "06:45", "0"},
                  {"南京南", "10:05", "10:07", "0"},
                  {"上海虹桥", "11:20", "11:20", "0"}}},
                {"K511",
                 {{"青岛北", "----", "20:15", "0"},
                  {"北京", "05:40", "06:10", "1"},
                  {"南京南", "14:10", "14:20", "1"},
                  {"上海", "18:55", "18:55", "1"}}},
                {"Z22",
                 {{"拉萨", "----", "09:20", "0"},
                  {"格尔木", "22:40", "23:00", "0"},
                  {"西宁", "06:35", "06:35", "1"}}}};
    }

    static QJsonObject stopsAnswer(const std::string& number) {
        QJsonArray stops;
        for (const Made& t : trains()) {
            if (trainNo(t.code).toStdString() != number)
                continue;
            for (qsizetype i = 0; i < t.stops.size(); ++i) {
                const MadeStop& s = t.stops[i];
                QJsonObject o{{"station_name", s.name},
                              {"station_no", QStringLiteral("%1").arg(i + 1, 2, 10, QChar(u'0'))},
                              {"arrive_time", s.arrive},
                              {"start_time", s.leave},
                              {"arrive_day_diff", s.dayDiff},
                              {"isEnabled", true}};
                if (i == 0)
                    o.insert("train_class_name", t.code.startsWith(u'G') ? "高速" : "快速");
                stops.append(o);
            }
        }
        return {{"data", QJsonObject{{"data", stops}}}, {"status", true}, {"httpstatus", 200}};
    }

    void answerBetween(const std::string& pair, httplib::Response& res) {
        QString key = QString::fromStdString(pair);
        if (!between.contains(key) && between.contains(QStringLiteral("*")))
            key = QStringLiteral("*"); // the answer for every other pair
        if (between.contains(key)) {
            const auto& [status, body] = between[key];
            res.status = status;
            if (status == 302)
                res.set_header("Location", "/kyfw.12306.cn/otn/view/error.html");
            res.set_content(body.toStdString(), "application/json");
            return;
        }
        QStringList rows;
        if (key == QLatin1String("BJQ-SQQ") || key == QLatin1String("BJQ-SHQ")) {
            rows = {row("G101", "BNQ", "SQQ", "BNQ", "SQQ", "07:00", "11:30", "04:30"),
                    row("K511", "QBQ", "SHQ", "BJQ", "SHQ", "06:10", "18:55", "12:45", 37),
                    row("G103", "BNQ", "SQQ", "BNQ", "SQQ", "06:45", "11:20", "04:35", 49),
                    // Unreadable rows: too few fields, a lower-case telecode, a bad time.
                    row("G105", "BNQ", "SQQ", "BNQ", "SQQ", "08:00", "12:30", "04:30", 36),
                    row("G107", "BNQ", "sqq", "BNQ", "SQQ", "08:10", "12:40", "04:30"),
                    row("G109", "BNQ", "SQQ", "BNQ", "SQQ", "8:20", "12:50", "04:30")};
        } else if (key == QLatin1String("LSQ-XNQ")) {
            rows = {row("Z22", "LSQ", "XNQ", "LSQ", "XNQ", "09:20", "06:35", "21:15")};
        }
        const QJsonObject map{{"BNQ", "北京南"},
                              {"SQQ", "上海虹桥"},
                              {"QBQ", "青岛北"},
                              {"BJQ", "北京"},
                              {"SHQ", "上海"}};
        res.set_content(ticketAnswer(rows, map).toStdString(), "application/json");
    }

    static void json(httplib::Response& res, const QJsonObject& o) {
        res.set_content(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(),
                        "application/json");
    }

    void count(const QString& what) {
        QMutexLocker lock(&m_mutex);
        ++m_hits[what];
    }

    mutable QMutex m_mutex;
    QHash<QString, int> m_hits;
};
