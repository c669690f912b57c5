#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Everything the railway site's formats decide: hosts, paths, query fields, field positions of
// its answers. The next format change of the site is a change here and in its test.
namespace live::site {

// The site's default query paths, used until its own pages name others.
inline const QString defaultLeftTicketPath = QStringLiteral("leftTicket/queryG");
inline const QString defaultTransferPath = QStringLiteral("/lcquery/queryG");

QUrl stationListUrl();
QUrl leftTicketInitUrl();
QUrl transferInitUrl();
// `path` as the init page names it ("leftTicket/queryG").
QUrl leftTicketUrl(const QString& path, QDate day, const QString& fromCode, const QString& toCode);
QUrl trainSearchUrl(const QString& number, QDate day);
QUrl stopListUrl(const QString& trainNo, QDate day);
// The older stop list interface, still answered; it wants the ends of the journey asked about.
QUrl stopListByEndsUrl(const QString& trainNo, const QString& fromCode, const QString& toCode,
                       QDate day);
QUrl fareUrl(const QString& trainNo, const QString& fromNo, const QString& toNo,
             const QString& seatTypes, QDate day);
// `path` as the transfer init page names it ("/lcquery/queryG").
QUrl transferUrl(const QString& path, QDate day, const QString& fromCode, const QString& toCode);
// The page a request goes to as a referer, so the site sees the same road a browser takes.
QUrl refererFor(const QUrl& url);

// What reading an answer found wrong: the answer is not in the format this code knows.
enum class Fault { None, NotJson, NotObject, WrongShape, Refused };

struct Station {
    QString name, code, pinyin, initials, city;
};

// The station list script: "@jzb|甲站北|JZQ|jiazhanbei|jzb|0|0001|甲站|||@…". Entries with a
// malformed telecode are skipped and counted.
struct StationList {
    QList<Station> stations;
    int skipped = 0;
};
StationList parseStationList(const QByteArray& script);

// The query path an init page names ("var CLeftTicketUrl = 'leftTicket/queryG';"), or empty.
QString leftTicketPathIn(const QByteArray& page);
QString transferPathIn(const QByteArray& page);

// One train of a between-stations answer: a row of "|"-separated fields (37 to 58 of them so
// far, percent-encoded or not), or in older answers an object of named fields.
struct TicketRow {
    QString trainNo, code, startCode, endCode, fromCode, toCode, departure, arrival, duration;
    QString startDate, fromNo, toNo, seatTypes;
};
struct TicketAnswer {
    Fault fault = Fault::None;
    QString redirectPath; // the path the site told us to use instead ("c_url")
    QString message;      // the site's own words when it declined ("messages")
    QList<TicketRow> rows;
    QHash<QString, QString> names; // telecode -> name, from the answer's "map"
    int skipped = 0;               // rows that failed the checks
};
TicketAnswer parseTicketAnswer(const QByteArray& body);

struct SearchHit {
    QString code, trainNo, from, to;
};
struct SearchAnswer {
    Fault fault = Fault::None;
    QList<SearchHit> hits;
};
SearchAnswer parseTrainSearch(const QByteArray& body);

struct StopRow {
    QString station, stationNo, arrival, departure; // times HH:MM, empty where none
    int dayOffset = -1; // days after the start at arrival (departure at the first stop); -1 unknown
};
struct StopAnswer {
    Fault fault = Fault::None;
    QString trainClass;
    QList<StopRow> stops;
    int skipped = 0;
};
StopAnswer parseStopList(const QByteArray& body);

// Fares by seat class, in yuan as the site writes them ("¥553.5" -> "553.5").
struct FareAnswer {
    Fault fault = Fault::None;
    QHash<QString, QString> yuan; // seat key ("O", "M", "A1" …) -> yuan
};
FareAnswer parseFares(const QByteArray& body);
// The fare table's six columns and the site's seat keys that fill each.
struct SeatColumn {
    const char* key;
    int column; // 0 hard seat, 1 soft seat, 2 hard sleeper, 3 soft sleeper, 4 first, 5 second
};
QList<SeatColumn> seatColumns();

struct TransferAnswer {
    Fault fault = Fault::None;
    QStringList middleStations; // in the site's order, each once
    QString message;
};
TransferAnswer parseTransfers(const QByteArray& body);

bool isTelecode(const QString& text);
bool isClock(const QString& text);

} // namespace live::site
