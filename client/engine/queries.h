#pragma once

#include "trainlist.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// The queries of the main window and the transfer window.
enum class QueryKind { Train, Between, Station, Leg, Detail, Fare };

// "train", "between", "station", "leg", "detail", "fare": the command-line client's names.
QString queryName(QueryKind kind);

// What a click on a query button asks for before anything is fetched: either a message (an
// empty box) or the address to load.
struct QueryPlan {
    QueryKind kind;
    QString message;    // when not empty: show it, fetch nothing
    QByteArray address; // the encoded address to load otherwise
};

// SZCommand1_Click: the train number of Text3, as typed.
QueryPlan planTrainQuery(const QString& timetableBase, const QString& trainNumber);

// SZCommand2_Click: station to station when the arrival box is visible, else the station query.
QueryPlan planStationQuery(const QString& timetableBase, const QString& from, const QString& to,
                           bool arrivalVisible);

// SearchZhongZhuan: a leg path from the transfer list ("明细" cell), appended to the base.
QueryPlan planLegQuery(const QString& timetableBase, const QString& legPath);

// What to do with the loaded page: show one of the service's error phrases, hand the page to
// the list scraper, or, for a station-to-station page offering transfer cities, to the
// transfer query.
struct PageOutcome {
    enum Action { ShowMessage, Scrape, Transfer };
    Action action;
    QString message;
    TrainList list; // the list a scrape fills
};
PageOutcome judgePage(QueryKind kind, QStringView buffer);

// Texts of the queries.
inline constexpr QStringView kEmptyTrainNumber = u"请输入车次名称！车次名称不能为空。";
inline constexpr QStringView kEmptyDeparture = u"【发站】内容不能为空。";
inline constexpr QStringView kEmptyArrival = u"【到站】内容不能为空。";
inline constexpr QStringView kEmptyStation = u"【站名】内容不能为空。";
inline constexpr QStringView kEmptyLegPath = u"错误。请重新选择。";
