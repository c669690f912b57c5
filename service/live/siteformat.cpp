#include "live/siteformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>

namespace live::site {

namespace {

const QString ticketHost = QStringLiteral("kyfw.12306.cn");
const QString searchHost = QStringLiteral("search.12306.cn");

QUrl siteUrl(const QString& host, const QString& path,
             const QList<std::pair<QString, QString>>& query = {}) {
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host);
    url.setPath(path);
    if (!query.isEmpty()) {
        QUrlQuery q;
        q.setQueryItems(query);
        url.setQuery(q);
    }
    return url;
}

QString isoDay(QDate day) {
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

// The row fields that have kept their places for years; newer rows only add fields after them.
namespace row {
constexpr int trainNo = 2, code = 3, startCode = 4, endCode = 5, fromCode = 6, toCode = 7,
              departure = 8, arrival = 9, duration = 10, startDate = 13, fromNo = 16, toNo = 17,
              seatTypes = 35, minFields = 37;
}

// The object under "data", or a fault saying why there is none.
Fault dataOf(const QByteArray& body, QJsonObject* root, QJsonValue* data) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return Fault::NotJson;
    if (!doc.isObject())
        return Fault::NotObject;
    *root = doc.object();
    *data = root->value(QStringLiteral("data"));
    return Fault::None;
}

QString messagesOf(const QJsonObject& root) {
    const QJsonValue m = root.value(QStringLiteral("messages"));
    if (m.isArray()) {
        QStringList parts;
        for (const QJsonValue& v : m.toArray())
            parts << v.toString();
        return parts.join(u' ').trimmed();
    }
    if (m.isString())
        return m.toString().trimmed();
    return root.value(QStringLiteral("errorMsg")).toString().trimmed();
}

QString clockOrEmpty(const QString& text) {
    return isClock(text) ? text : QString();
}

QString pathIn(const QByteArray& page, const char* variable) {
    const QRegularExpression re(
        QStringLiteral("var\\s+%1\\s*=\\s*['\"]([^'\"]+)['\"]").arg(QLatin1String(variable)));
    return re.match(QString::fromUtf8(page)).captured(1).trimmed();
}

} // namespace

bool isTelecode(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[A-Z]{3}$"));
    return re.match(text).hasMatch();
}

bool isClock(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]$"));
    return re.match(text).hasMatch();
}

QUrl stationListUrl() {
    return siteUrl(ticketHost, QStringLiteral("/otn/resources/js/framework/station_name.js"));
}

QUrl leftTicketInitUrl() {
    return siteUrl(ticketHost, QStringLiteral("/otn/leftTicket/init"));
}

QUrl transferInitUrl() {
    return siteUrl(ticketHost, QStringLiteral("/otn/lcQuery/init"));
}

QUrl leftTicketUrl(const QString& path, QDate day, const QString& fromCode, const QString& toCode) {
    return siteUrl(ticketHost, QStringLiteral("/otn/") + path,
                   {{QStringLiteral("leftTicketDTO.train_date"), isoDay(day)},
                    {QStringLiteral("leftTicketDTO.from_station"), fromCode},
                    {QStringLiteral("leftTicketDTO.to_station"), toCode},
                    {QStringLiteral("purpose_codes"), QStringLiteral("ADULT")}});
}

QUrl trainSearchUrl(const QString& number, QDate day) {
    return siteUrl(searchHost, QStringLiteral("/search/v1/train/search"),
                   {{QStringLiteral("keyword"), number},
                    {QStringLiteral("date"), day.toString(QStringLiteral("yyyyMMdd"))}});
}

QUrl stopListUrl(const QString& trainNo, QDate day) {
    return siteUrl(ticketHost, QStringLiteral("/otn/queryTrainInfo/query"),
                   {{QStringLiteral("leftTicketDTO.train_no"), trainNo},
                    {QStringLiteral("leftTicketDTO.train_date"), isoDay(day)},
                    {QStringLiteral("rand_code"), QString()}});
}

QUrl fareUrl(const QString& trainNo, const QString& fromNo, const QString& toNo,
             const QString& seatTypes, QDate day) {
    return siteUrl(ticketHost, QStringLiteral("/otn/leftTicket/queryTicketPrice"),
                   {{QStringLiteral("train_no"), trainNo},
                    {QStringLiteral("from_station_no"), fromNo},
                    {QStringLiteral("to_station_no"), toNo},
                    {QStringLiteral("seat_types"), seatTypes},
                    {QStringLiteral("train_date"), isoDay(day)}});
}

QUrl transferUrl(const QString& path, QDate day, const QString& fromCode, const QString& toCode) {
    const QString full = path.startsWith(u'/') ? path : QStringLiteral("/") + path;
    return siteUrl(ticketHost, full,
                   {{QStringLiteral("train_date"), isoDay(day)},
                    {QStringLiteral("from_station_telecode"), fromCode},
                    {QStringLiteral("to_station_telecode"), toCode},
                    {QStringLiteral("middle_station"), QString()},
                    {QStringLiteral("result_index"), QStringLiteral("0")},
                    {QStringLiteral("can_query"), QStringLiteral("Y")},
                    {QStringLiteral("isShowWZ"), QStringLiteral("N")},
                    {QStringLiteral("purpose_codes"), QStringLiteral("00")},
                    {QStringLiteral("channel"), QStringLiteral("E")}});
}

QUrl refererFor(const QUrl& url) {
    const QString path = url.path();
    if (path.contains(QLatin1String("/lcquery/")))
        return transferInitUrl();
    if (path.contains(QLatin1String("/queryTrainInfo/")))
        return siteUrl(ticketHost, QStringLiteral("/otn/queryTrainInfo/init"));
    return leftTicketInitUrl();
}

bool isRefusalRedirect(const QUrl& target) {
    const QString path = target.path();
    return path.contains(QLatin1String("error")) || path.contains(QLatin1String("queue")) ||
           path.contains(QLatin1String("busy")) || path.endsWith(QLatin1String(".html"));
}

StationList parseStationList(const QByteArray& script) {
    StationList list;
    const QString text = QString::fromUtf8(script);
    const qsizetype open = text.indexOf(u'\'');
    const qsizetype close = text.lastIndexOf(u'\'');
    if (open < 0 || close <= open)
        return list;
    const QStringList entries =
        text.mid(open + 1, close - open - 1).split(u'@', Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        const QStringList f = entry.split(u'|');
        if (f.size() < 5 || f[1].trimmed().isEmpty() || !isTelecode(f[2])) {
            ++list.skipped;
            continue;
        }
        Station s{f[1].trimmed(), f[2], f[3].trimmed(), f[4].trimmed(), {}};
        // Older lists stop after the index; newer ones add the city code and city.
        s.city = f.size() > 7 ? f[7].trimmed() : QString();
        list.stations.append(s);
    }
    return list;
}

QString leftTicketPathIn(const QByteArray& page) {
    return pathIn(page, "CLeftTicketUrl");
}

QString transferPathIn(const QByteArray& page) {
    return pathIn(page, "lc_search_url");
}

TicketAnswer parseTicketAnswer(const QByteArray& body) {
    TicketAnswer answer;
    QJsonObject root;
    QJsonValue data;
    answer.fault = dataOf(body, &root, &data);
    if (answer.fault != Fault::None)
        return answer;
    // The wrong-path answer: {"status":false,"c_url":"leftTicket/queryX","c_name":…}.
    const QString cUrl = root.value(QStringLiteral("c_url")).toString();
    if (!cUrl.isEmpty()) {
        answer.redirectPath = cUrl.startsWith(QLatin1String("/otn/")) ? cUrl.mid(5) : cUrl;
        return answer;
    }
    answer.message = messagesOf(root);
    if (!data.isObject()) {
        // A declined query names its reason in "messages" and carries no data.
        answer.fault = answer.message.isEmpty() ? Fault::WrongShape : Fault::Refused;
        return answer;
    }
    const QJsonObject d = data.toObject();
    const QJsonObject map = d.value(QStringLiteral("map")).toObject();
    for (auto it = map.begin(); it != map.end(); ++it)
        if (isTelecode(it.key()) && it.value().isString())
            answer.names.insert(it.key(), it.value().toString());
    const QJsonValue result = d.value(QStringLiteral("result"));
    if (!result.isArray()) {
        answer.fault = Fault::WrongShape;
        return answer;
    }
    for (const QJsonValue& v : result.toArray()) {
        const QStringList f = v.toString().split(u'|');
        if (f.size() < row::minFields || !isTelecode(f[row::startCode]) ||
            !isTelecode(f[row::endCode]) || !isTelecode(f[row::fromCode]) ||
            !isTelecode(f[row::toCode]) || !isClock(f[row::departure]) ||
            !isClock(f[row::arrival]) || f[row::code].trimmed().isEmpty()) {
            ++answer.skipped;
            continue;
        }
        TicketRow r;
        r.trainNo = f[row::trainNo];
        r.code = f[row::code].trimmed();
        r.startCode = f[row::startCode];
        r.endCode = f[row::endCode];
        r.fromCode = f[row::fromCode];
        r.toCode = f[row::toCode];
        r.departure = f[row::departure];
        r.arrival = f[row::arrival];
        // The duration runs past 24 hours on long journeys, so it is not a clock time.
        static const QRegularExpression span(QStringLiteral("^\\d{1,3}:[0-5]\\d$"));
        r.duration = span.match(f[row::duration]).hasMatch() ? f[row::duration] : QString();
        r.startDate = f[row::startDate];
        r.fromNo = f[row::fromNo];
        r.toNo = f[row::toNo];
        r.seatTypes = f[row::seatTypes];
        answer.rows.append(r);
    }
    return answer;
}

SearchAnswer parseTrainSearch(const QByteArray& body) {
    SearchAnswer answer;
    QJsonObject root;
    QJsonValue data;
    answer.fault = dataOf(body, &root, &data);
    if (answer.fault != Fault::None)
        return answer;
    if (data.isNull() || data.isUndefined())
        return answer; // no train of that number
    if (!data.isArray()) {
        answer.fault = Fault::WrongShape;
        return answer;
    }
    for (const QJsonValue& v : data.toArray()) {
        const QJsonObject o = v.toObject();
        SearchHit hit{o.value(QStringLiteral("station_train_code")).toString().trimmed(),
                      o.value(QStringLiteral("train_no")).toString().trimmed(),
                      o.value(QStringLiteral("from_station")).toString().trimmed(),
                      o.value(QStringLiteral("to_station")).toString().trimmed()};
        if (!hit.code.isEmpty() && !hit.trainNo.isEmpty())
            answer.hits.append(hit);
    }
    return answer;
}

StopAnswer parseStopList(const QByteArray& body) {
    StopAnswer answer;
    QJsonObject root;
    QJsonValue data;
    answer.fault = dataOf(body, &root, &data);
    if (answer.fault != Fault::None)
        return answer;
    const QJsonValue list = data.toObject().value(QStringLiteral("data"));
    if (!list.isArray()) {
        answer.fault = Fault::WrongShape;
        return answer;
    }
    for (const QJsonValue& v : list.toArray()) {
        const QJsonObject o = v.toObject();
        if (answer.trainClass.isEmpty())
            answer.trainClass = o.value(QStringLiteral("train_class_name")).toString();
        StopRow s;
        s.station = o.value(QStringLiteral("station_name")).toString().trimmed();
        s.stationNo = o.value(QStringLiteral("station_no")).toString();
        s.arrival = clockOrEmpty(o.value(QStringLiteral("arrive_time")).toString());
        s.departure = clockOrEmpty(o.value(QStringLiteral("start_time")).toString());
        bool ok = false;
        const int diff = o.value(QStringLiteral("arrive_day_diff")).toString().toInt(&ok);
        s.dayOffset = ok ? diff : -1;
        if (s.station.isEmpty() || (s.arrival.isEmpty() && s.departure.isEmpty())) {
            ++answer.skipped;
            continue;
        }
        answer.stops.append(s);
    }
    return answer;
}

FareAnswer parseFares(const QByteArray& body) {
    FareAnswer answer;
    QJsonObject root;
    QJsonValue data;
    answer.fault = dataOf(body, &root, &data);
    if (answer.fault != Fault::None)
        return answer;
    if (!data.isObject()) {
        answer.fault = Fault::WrongShape;
        return answer;
    }
    static const QRegularExpression price(QStringLiteral("^¥?\\s*(\\d+(?:\\.\\d+)?)$"));
    const QJsonObject d = data.toObject();
    for (auto it = d.begin(); it != d.end(); ++it) {
        // Keys of bare digits carry the same fares in tenths without the sign; the signed
        // values are what the site shows.
        const QString text = it.value().toString().trimmed();
        if (!text.startsWith(u'¥'))
            continue;
        const QRegularExpressionMatch m = price.match(text);
        if (m.hasMatch())
            answer.yuan.insert(it.key(), m.captured(1));
    }
    return answer;
}

QList<SeatColumn> seatColumns() {
    return {{"A1", 0}, {"A2", 1}, {"A3", 2}, {"A4", 3}, {"M", 4}, {"O", 5}};
}

TransferAnswer parseTransfers(const QByteArray& body) {
    TransferAnswer answer;
    QJsonObject root;
    QJsonValue data;
    answer.fault = dataOf(body, &root, &data);
    if (answer.fault != Fault::None)
        return answer;
    answer.message = root.value(QStringLiteral("errorMsg")).toString().trimmed();
    if (data.isString()) {
        // No plan at all comes as a sentence in place of the object.
        answer.message = data.toString().trimmed();
        return answer;
    }
    const QJsonValue middle = data.toObject().value(QStringLiteral("middleList"));
    if (middle.isUndefined() || middle.isNull())
        return answer;
    if (!middle.isArray()) {
        answer.fault = Fault::WrongShape;
        return answer;
    }
    for (const QJsonValue& v : middle.toArray()) {
        const QString name =
            v.toObject().value(QStringLiteral("middle_station_name")).toString().trimmed();
        if (!name.isEmpty() && !answer.middleStations.contains(name))
            answer.middleStations.append(name);
    }
    return answer;
}

} // namespace live::site
