#include "live/siteformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

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

// Pages saved from a script's string carry their quotes escaped (\'…\'); `null` names none.
QString pathIn(const QByteArray& page, const char* variable) {
    const QRegularExpression re(
        QStringLiteral("var\\s+%1\\s*=\\s*\\\\?['\"]([^'\"\\\\]+)\\\\?['\"]")
            .arg(QLatin1String(variable)));
    return re.match(QString::fromUtf8(page)).captured(1).trimmed();
}

// A path as the site names it ("leftTicket/queryG", "/otn/leftTicket/queryG"), relative to
// its /otn/ folder.
QString queryPathOf(QString path) {
    while (path.startsWith(u'/'))
        path.remove(0, 1);
    if (path.startsWith(QLatin1String("otn/")))
        path.remove(0, 4);
    return path;
}

// Rows copied out of a page whole are percent-encoded, separators included.
QString rowText(const QString& row) {
    if (row.contains(u'|') || !row.contains(QLatin1String("%7C"), Qt::CaseInsensitive))
        return row;
    return QUrl::fromPercentEncoding(row.toUtf8());
}

// The checks every row passes, whichever shape it came in.
bool isReadable(const QString& code, const QString& startCode, const QString& endCode,
                const QString& fromCode, const QString& toCode, const QString& departure,
                const QString& arrival) {
    return !code.trimmed().isEmpty() && isTelecode(startCode) && isTelecode(endCode) &&
           isTelecode(fromCode) && isTelecode(toCode) && isClock(departure) && isClock(arrival);
}

TicketRow checkedRow(TicketRow r) {
    // The duration runs past 24 hours on long journeys, so it is not a clock time.
    static const QRegularExpression span(QStringLiteral("^\\d{1,3}:[0-5]\\d$"));
    if (!span.match(r.duration).hasMatch())
        r.duration.clear();
    return r;
}

// Answers before the pipe rows named each field: {"queryLeftNewDTO":{"train_no":…},…}.
void readNamedRows(const QJsonArray& list, TicketAnswer* answer) {
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject().value(QStringLiteral("queryLeftNewDTO")).toObject();
        auto field = [&o](const auto& name) { return o.value(name).toString().trimmed(); };
        TicketRow r{field("train_no"_L1),
                    field("station_train_code"_L1),
                    field("start_station_telecode"_L1),
                    field("end_station_telecode"_L1),
                    field("from_station_telecode"_L1),
                    field("to_station_telecode"_L1),
                    field("start_time"_L1),
                    field("arrive_time"_L1),
                    field("lishi"_L1),
                    field("start_train_date"_L1),
                    field("from_station_no"_L1),
                    field("to_station_no"_L1),
                    field("seat_types"_L1)};
        if (!isReadable(r.code, r.startCode, r.endCode, r.fromCode, r.toCode, r.departure,
                        r.arrival)) {
            ++answer->skipped;
            continue;
        }
        for (const QLatin1StringView end : {"start"_L1, "end"_L1, "from"_L1, "to"_L1}) {
            const QString code = field(QString(end) + "_station_telecode"_L1);
            const QString name = field(QString(end) + "_station_name"_L1);
            if (isTelecode(code) && !name.isEmpty())
                answer->names.insert(code, name);
        }
        answer->rows.append(checkedRow(r));
    }
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

QUrl stopListByEndsUrl(const QString& trainNo, const QString& fromCode, const QString& toCode,
                       QDate day) {
    return siteUrl(ticketHost, QStringLiteral("/otn/czxx/queryByTrainNo"),
                   {{QStringLiteral("train_no"), trainNo},
                    {QStringLiteral("from_station_telecode"), fromCode},
                    {QStringLiteral("to_station_telecode"), toCode},
                    {QStringLiteral("depart_date"), isoDay(day)}});
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
    const QString cUrl = root.value(QStringLiteral("c_url")).toString().trimmed();
    if (!cUrl.isEmpty()) {
        answer.redirectPath = queryPathOf(cUrl);
        return answer;
    }
    answer.message = messagesOf(root);
    if (data.isArray()) {
        readNamedRows(data.toArray(), &answer);
        return answer;
    }
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
        const QStringList f = rowText(v.toString()).split(u'|');
        if (f.size() < row::minFields ||
            !isReadable(f[row::code], f[row::startCode], f[row::endCode], f[row::fromCode],
                        f[row::toCode], f[row::departure], f[row::arrival])) {
            ++answer.skipped;
            continue;
        }
        answer.rows.append(checkedRow(
            {f[row::trainNo], f[row::code].trimmed(), f[row::startCode], f[row::endCode],
             f[row::fromCode], f[row::toCode], f[row::departure], f[row::arrival], f[row::duration],
             f[row::startDate], f[row::fromNo], f[row::toNo], f[row::seatTypes]}));
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
    // The stop list sits under data.data; answers quoted without their envelope hold it
    // under data itself.
    const QJsonValue list = data.isArray() ? data : data.toObject().value(QStringLiteral("data"));
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
