#pragma once

#include "queries.h"
#include "trainlist.h"
#include "transfer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class PageFetcher;

// Everything a query leaves for the window to show; each member is nullopt where it does not
// apply. The windows and the command-line client both run queries through runQuery, so they
// decide alike.
struct QueryReport {
    QueryKind kind = QueryKind::Train;
    TrainList list = TrainList::ListView1;  // the list `rows` replaces
    std::optional<QString> address;         // what was fetched
    std::optional<QString> message;         // the message box text
    std::optional<QList<QStringList>> rows; // the list's new content; nullopt: untouched
    std::optional<QString> status;          // the first status panel's new text
    std::optional<QList<TransferEntry>> transfers;
    std::optional<QString> caption;    // the transfer window's caption
    std::optional<QString> error;      // why the fetch failed
    std::optional<QString> notice;     // why the service had no answer, in its own words
    std::optional<QString> buffer;     // the page buffer afterwards; nullopt: untouched
    std::optional<QString> navigate;   // the address the detail window opens
    std::optional<QStringList> labels; // the fare window's sixteen header values
};

// Carries out a plan: the page-load step, the error phrases, then the scraper or the transfer
// list. Runs the event loop while the page loads.
QueryReport runQuery(PageFetcher& fetcher, const QueryPlan& plan);

// Show2Search: a link with "show_" opens directly; any other is fetched and its frame opened.
QueryReport runDetail(PageFetcher& fetcher, const QString& timetableBase, const QString& link);

// SearchPJ_Click: the train's fare page, cut to its details; `rows` are the stops (14 cells).
QueryReport runFare(PageFetcher& fetcher, const QString& fareBase, const QString& trainNumber);
