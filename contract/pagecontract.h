#pragma once

#include <QChar>
#include <QStringView>

// The contract between the timetable service's pages and the client's scrapers. The client cuts
// pages at exact texts after removing every double quote, so the markers below are written as
// the client sees them; the service writes the same markup with its attribute values quoted.
// Change anything here only together with both sides.
namespace contract {

// The version this repository builds and installs.
inline constexpr QStringView version = u"" QUILLON_VERSION;

// The port of the bundled service in the client's built-in addresses.
inline constexpr quint16 defaultPort = 18730;

// Every page and stations.txt are GB2312 text, read and written with the GB18030 codec (a
// superset, so nothing the service writes is lost).
inline constexpr char encoding[] = "GB18030";

// Phrases of pages that carry no list.
inline constexpr QStringView noTrain = u"不存在所查询的车次信息。";
inline constexpr QStringView noDeparture = u"发站不存在。";
inline constexpr QStringView noArrival = u"到站不存在。";
inline constexpr QStringView transferOffer = u"请选择中转站";
inline constexpr QStringView missingParameters = u"参数丢失";
inline constexpr QStringView noFare = u"信息目前暂不存在。";

// Addresses, relative to the timetable base (the fare query to the fare base).
inline constexpr char listQuery[] = "show_findresult.asp?CX_Type=";
inline constexpr QStringView stopsPage = u"show_train.asp?cc=";
// Pages meant for display, opened as they are; a train-number row's link is made one by
// putting this in front of it.
inline constexpr QStringView displayPage = u"show_";
inline constexpr QStringView framePage = u"train.asp?cc=";
inline constexpr char fareQuery[] = "chaxun/resultc.asp?txtcheci=";
inline constexpr QStringView transferLink = u"zzz.asp?zzz=";
inline constexpr char stationList[] = "stations.txt";

// Markers of the train lists: a train-number row starts at trainRow, a station row at
// stationRow (the station lists' header row starts there too and names headerOrigin).
namespace rows {
inline constexpr QStringView trainRow = u"width=75";
inline constexpr QStringView stationRow = u"<td width=75";
inline constexpr QStringView headerOrigin = u"始发站";
inline constexpr QStringView number = u"<span class=blue1>";
inline constexpr QStringView origin = u"align=absbottom />";
inline constexpr QStringView terminus = u"align=absmiddle />";
inline constexpr QStringView trainClass = u"class=bt>";
inline constexpr QStringView centred = u"align=center>";
inline constexpr QStringView time = u"<strong>";
} // namespace rows

// Markers of the pages about one train: the frame page holds the stop page's address between
// the two pictures; the fare page's header and stops follow the vertical title.
namespace train {
inline constexpr QStringView detailsStart = u"Img/Tab_Mid.gif";
inline constexpr QStringView detailsEnd = u"Img/Tab_Bottom.gif";
inline constexpr QStringView frame = u"<iframe src=";
inline constexpr QStringView fareTitle = u"详<br>细<br>情<br>况";
inline constexpr QStringView fareEnd = u"<div align=center>";
inline constexpr QStringView stopNumber = u"height=18>";
} // namespace train

// stations.txt: lines end in "\n"; a line starting with "#" is a comment; the others are
// NAME, PINYIN, INITIALS and TRAINS separated by tabs.
namespace stations {
inline constexpr QChar comment = u'#';
inline constexpr QChar separator = u'\t';
inline constexpr QChar lineEnd = u'\n';
enum Field { Name, Pinyin, Initials, Trains, FieldCount };
// The header line's field naming the days the service answers: "dates YYYYMMDD YYYYMMDD".
inline constexpr QStringView datesField = u"dates ";
// The header line's field naming where the answers come from, "source KIND": the built-in
// sample's made-up times, the railway's official site read live, or another timetable.
inline constexpr QStringView sourceField = u"source ";
inline constexpr QStringView sampleSource = u"sample";
inline constexpr QStringView liveSource = u"live";
inline constexpr QStringView otherSource = u"timetable";
// A city of several stations: "#city", the four fields of a station, then its stations
// separated by blanks; readers that skip comment lines never see it.
inline constexpr QStringView cityLine = u"#city";
inline constexpr QChar cityStationSeparator = u' ';
} // namespace stations

// The class letters of train numbers, in the order of the client's filter row. A number has a
// class letter when it starts (blanks aside) with one of them, in either case, followed by a
// digit: "G12" and "k7" have one, "Tram", "T" and "1461" have none.
inline constexpr QStringView classLetters = u"GCDZTK";

inline QChar classLetter(QStringView number) {
    number = number.trimmed();
    if (number.size() < 2 || !number[1].isDigit())
        return {};
    const QChar letter = number.front().toUpper();
    return classLetters.contains(letter) ? letter : QChar();
}

// Multiple-unit trains (G, D, C) sell first and second class instead of seats and sleepers.
inline bool isMultipleUnit(QStringView number) {
    const QChar letter = classLetter(number);
    return letter == u'G' || letter == u'D' || letter == u'C';
}

} // namespace contract
