#pragma once

#include "loopbackserver.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>

using namespace Qt::StringLiterals;

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
        const QJsonObject data{{u"result"_s, result}, {u"flag"_s, u"1"_s}, {u"map"_s, map}};
        return QJsonDocument(QJsonObject{{u"httpstatus"_s, 200},
                                         {u"data"_s, data},
                                         {u"messages"_s, u""_s},
                                         {u"status"_s, true}})
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
                     count(u"stations"_s);
                     res.set_content(stationScript.toStdString(), "application/javascript");
                 });
        http.Get(otn + "leftTicket/init", [this](const httplib::Request&, httplib::Response& res) {
            count(u"init"_s);
            res.set_header("Set-Cookie", "JSESSIONID=replay; Path=/otn");
            res.set_content(initPage.toStdString(), "text/html");
        });
        http.Get(otn + "lcQuery/init", [this](const httplib::Request&, httplib::Response& res) {
            count(u"lcinit"_s);
            res.set_content("<script>var lc_search_url = '/lcquery/queryT';</script>", "text/html");
        });
        // Every other query path is a stale one.
        http.Get(R"(/kyfw\.12306\.cn/otn/leftTicket/query[A-Y]?)", [this](const httplib::Request&,
                                                                          httplib::Response& res) {
            count(u"wrongPath"_s);
            res.status = wrongPathStatus;
            if (wrongPathStatus == 302)
                res.set_header("Location", "/kyfw.12306.cn/otn/view/error.html");
            res.set_content(
                R"({"c_url":"leftTicket/queryZ","c_name":"CLeftTicketUrl","status":false})",
                "application/json");
        });
        http.Get(otn + "leftTicket/queryZ",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     count(u"queryZ"_s);
                     answerBetween(req.get_param_value("leftTicketDTO.from_station") + "-" +
                                       req.get_param_value("leftTicketDTO.to_station"),
                                   res);
                 });
        http.Get("/kyfw.12306.cn/lcquery/queryT", [this](const httplib::Request& req,
                                                         httplib::Response& res) {
            count(u"transfer"_s);
            QJsonArray middle;
            if (req.get_param_value("from_station_telecode") == "LSQ" &&
                req.get_param_value("to_station_telecode") == "SYQ")
                for (const char* name : {"西宁", "广州南", "西宁"})
                    middle.append(QJsonObject{{u"middle_station_name"_s, QString::fromUtf8(name)},
                                              {u"all_lishi"_s, u"50:10"_s}});
            json(res, QJsonObject{{u"data"_s, QJsonObject{{u"middleList"_s, middle}}},
                                  {u"status"_s, true},
                                  {u"errorMsg"_s, u""_s}});
        });
        http.Get("/search.12306.cn/search/v1/train/search", [this](const httplib::Request& req,
                                                                   httplib::Response& res) {
            count(u"search"_s);
            const QString key = QString::fromStdString(req.get_param_value("keyword"));
            QJsonArray hits;
            for (const Made& t : trains())
                if (t.code.startsWith(key))
                    hits.append(QJsonObject{{u"station_train_code"_s, t.code},
                                            {u"train_no"_s, trainNo(t.code)},
                                            {u"from_station"_s, t.stops.first().name},
                                            {u"to_station"_s, t.stops.last().name}});
            json(res, QJsonObject{{u"data"_s, hits}, {u"status"_s, true}, {u"errorMsg"_s, u""_s}});
        });
        http.Get(otn + "queryTrainInfo/query",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     count(u"stops"_s, req.get_param_value("leftTicketDTO.train_date"));
                     json(res, stopsAnswer(req.get_param_value("leftTicketDTO.train_no")));
                 });
        http.Get(otn + "leftTicket/queryTicketPrice",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     count(u"price"_s, req.get_param_value("train_date"));
                     const bool multipleUnit =
                         QString::fromStdString(req.get_param_value("seat_types")).contains(u'O');
                     QJsonObject data{
                         {u"OT"_s, QJsonArray()},
                         {u"train_no"_s, QString::fromStdString(req.get_param_value("train_no"))}};
                     if (multipleUnit) {
                         data.insert(u"O"_s, u"¥553.5"_s);
                         data.insert(u"M"_s, u"¥930.0"_s);
                         data.insert(u"A9"_s, u"¥1748.0"_s);
                         data.insert(u"9"_s, u"17480"_s);
                     } else {
                         data.insert(u"A1"_s, u"¥156.5"_s);
                         data.insert(u"A3"_s, u"¥283.5"_s);
                         data.insert(u"A4"_s, u"¥441.0"_s);
                         data.insert(u"WZ"_s, u"¥156.5"_s);
                     }
                     json(res, QJsonObject{{u"data"_s, data}, {u"status"_s, true}});
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
    // The train date the last request of this kind named.
    QString lastDate(const QString& what) const {
        QMutexLocker lock(&m_mutex);
        return m_dates.value(what);
    }

private:
    // The made-up trains: every train of the between answers below can be searched for and
    // has its stops; their rows agree with the stops.
    struct MadeStop {
        QString name, arrive, leave, dayDiff;
    };
    struct Made {
        QString code;
        QList<MadeStop> stops;
    };
    static QString trainNo(const QString& code) { return u"5a000"_s + code + u"01"_s; }
    static QList<Made> trains() {
        return {{u"G101"_s,
                 {{u"北京南"_s, u"----"_s, u"07:00"_s, u"0"_s},
                  {u"济南西"_s, u"08:30"_s, u"08:32"_s, u"0"_s},
                  {u"南京南"_s, u"10:20"_s, u"10:22"_s, u"0"_s},
                  {u"上海虹桥"_s, u"11:30"_s, u"11:30"_s, u"0"_s}}},
                {u"G1011"_s,
                 {{u"北京南"_s, u"----"_s, u"07:30"_s, u"0"_s},
                  {u"南京南"_s, u"11:00"_s, u"11:00"_s, u"0"_s}}},
                {u"G103"_s,
                 {{u"北京南"_s, u"----"_s, u"06:45"_s, u"0"_s},
                  {u"南京南"_s, u"10:05"_s, u"10:07"_s, u"0"_s},
                  {u"上海虹桥"_s, u"11:20"_s, u"11:20"_s, u"0"_s}}},
                {u"K511"_s,
                 {{u"青岛北"_s, u"----"_s, u"20:15"_s, u"0"_s},
                  {u"北京"_s, u"05:40"_s, u"06:10"_s, u"1"_s},
                  {u"南京南"_s, u"14:10"_s, u"14:20"_s, u"1"_s},
                  {u"上海"_s, u"18:55"_s, u"18:55"_s, u"1"_s}}},
                {u"Z22"_s,
                 {{u"拉萨"_s, u"----"_s, u"09:20"_s, u"0"_s},
                  {u"格尔木"_s, u"22:40"_s, u"23:00"_s, u"0"_s},
                  {u"西宁"_s, u"06:35"_s, u"06:35"_s, u"1"_s}}}};
    }

    static QJsonObject stopsAnswer(const std::string& number) {
        QJsonArray stops;
        for (const Made& t : trains()) {
            if (trainNo(t.code).toStdString() != number)
                continue;
            for (qsizetype i = 0; i < t.stops.size(); ++i) {
                const MadeStop& s = t.stops[i];
                QJsonObject o{
                    {u"station_name"_s, s.name},
                    {u"station_no"_s, QStringLiteral("%1").arg(i + 1, 2, 10, QChar(u'0'))},
                    {u"arrive_time"_s, s.arrive},
                    {u"start_time"_s, s.leave},
                    {u"arrive_day_diff"_s, s.dayDiff},
                    {u"isEnabled"_s, true}};
                if (i == 0)
                    o.insert(u"train_class_name"_s,
                             t.code.startsWith(u'G') ? u"高速"_s : u"快速"_s);
                stops.append(o);
            }
        }
        return {{u"data"_s, QJsonObject{{u"data"_s, stops}}},
                {u"status"_s, true},
                {u"httpstatus"_s, 200}};
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
            rows = {row(u"G101"_s, u"BNQ"_s, u"SQQ"_s, u"BNQ"_s, u"SQQ"_s, u"07:00"_s, u"11:30"_s,
                        u"04:30"_s),
                    row(u"K511"_s, u"QBQ"_s, u"SHQ"_s, u"BJQ"_s, u"SHQ"_s, u"06:10"_s, u"18:55"_s,
                        u"12:45"_s, 37),
                    row(u"G103"_s, u"BNQ"_s, u"SQQ"_s, u"BNQ"_s, u"SQQ"_s, u"06:45"_s, u"11:20"_s,
                        u"04:35"_s, 49),
                    // Unreadable rows: too few fields, a lower-case telecode, a bad time.
                    row(u"G105"_s, u"BNQ"_s, u"SQQ"_s, u"BNQ"_s, u"SQQ"_s, u"08:00"_s, u"12:30"_s,
                        u"04:30"_s, 36),
                    row(u"G107"_s, u"BNQ"_s, u"sqq"_s, u"BNQ"_s, u"SQQ"_s, u"08:10"_s, u"12:40"_s,
                        u"04:30"_s),
                    row(u"G109"_s, u"BNQ"_s, u"SQQ"_s, u"BNQ"_s, u"SQQ"_s, u"8:20"_s, u"12:50"_s,
                        u"04:30"_s)};
        } else if (key == QLatin1String("LSQ-XNQ")) {
            rows = {row(u"Z22"_s, u"LSQ"_s, u"XNQ"_s, u"LSQ"_s, u"XNQ"_s, u"09:20"_s, u"06:35"_s,
                        u"21:15"_s)};
        }
        const QJsonObject map{{u"BNQ"_s, u"北京南"_s},
                              {u"SQQ"_s, u"上海虹桥"_s},
                              {u"QBQ"_s, u"青岛北"_s},
                              {u"BJQ"_s, u"北京"_s},
                              {u"SHQ"_s, u"上海"_s}};
        res.set_content(ticketAnswer(rows, map).toStdString(), "application/json");
    }

    static void json(httplib::Response& res, const QJsonObject& o) {
        res.set_content(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(),
                        "application/json");
    }

    void count(const QString& what, const std::string& date = {}) {
        QMutexLocker lock(&m_mutex);
        ++m_hits[what];
        m_dates[what] = QString::fromStdString(date);
    }

    mutable QMutex m_mutex;
    QHash<QString, int> m_hits;
    QHash<QString, QString> m_dates;
};
