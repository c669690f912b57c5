#pragma once

#include "timetable.h"

#include "contract/pagecontract.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The HTML pages of the timetable service, as GB2312 bytes. The client reads them by exact
// text markers (contract/pagecontract.h), so the row markup here is a contract: change it
// only together with the client's scrapers.
namespace pages {

inline const QString noTrainPhrase = contract::noTrain.toString();
inline const QString noDeparturePhrase = contract::noDeparture.toString();
inline const QString noArrivalPhrase = contract::noArrival.toString();
inline const QString transferPhrase = contract::transferOffer.toString();

enum class ListKind {
    TrainNumber, // rows start at "width=75"; the header row must not contain it
    Station,     // rows start at "<td width=75"; one header row the client filters out
};

// Whether the timetable pages call their data sample data: true for the built-in sample,
// false once the service serves a user's feed. Set before serving. Fares stay sample fares.
void setSampleTimetable(bool sample);
bool isSampleTimetable();

QString escapeHtml(const QString& text);
QByteArray toGb(const QString& text);
QString fromGb(const QByteArray& bytes);

// A whole page: the GB2312 head with `title` (escaped here) and `css`, then `body` as given.
QByteArray document(const QString& title, const QString& css, const QString& body);

QByteArray trainListPage(ListKind kind, const QString& heading, const QList<TrainListRow>& rows);
// `reason`, when given, goes on a line of its own the client shows the user:
// <p class="reason">…</p>.
QByteArray messagePage(const QString& heading, const QString& message,
                       const QString& reason = QString());
QByteArray transferPage(const QString& from, const QString& to, const QStringList& cities);
QByteArray notFoundPage();

// The publisher's pages: the banner shown in the client's main window (about 150 x 110
// pixels) and the portal opened in the user's browser.
QByteArray bannerPage();
QByteArray portalPage();

} // namespace pages
