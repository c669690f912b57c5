#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringView>

// Asking the timetable service about a day. A service that knows days answers every page
// under "d/YYYYMMDD/" after its base, and names the days it can answer in the header line of
// its stations.txt ("dates YYYYMMDD YYYYMMDD"); the base the user configured stays as it is
// and the prefix is added per request.

struct ServiceDays {
    bool known = false; // the service takes a date prefix
    QDate first, last;  // the days it can answer, both ends included
    bool contains(QDate day) const { return known && day >= first && day <= last; }
};

// What the header line of a stations.txt says; not known for a list without one.
ServiceDays parseServiceDays(const QByteArray& stationList);
// The kind of source the header names ("sample", "live" …); empty when it names none.
QString parseServiceSource(const QByteArray& stationList);
// How the status bar names that source ("样例时刻表"); empty for a source it need not name.
QString sourceCredit(const QString& source);

// The addresses to ask for one day, and what to tell the user about them.
struct DayBases {
    QString timetable;
    QString fare;
    QDate day;      // the day the answers are for; invalid when the service picks (today)
    QString notice; // for the status panel; empty when the day can be asked as chosen
};

// The timetable base with the day's prefix when the service knows days. A service that does
// not gets the plain base, and a notice when `day` is not `today`. The fare base takes the
// prefix too when it lies under the timetable base (the bundled service's fare pages).
DayBases basesForDay(const QString& timetableBase, const QString& fareBase, QDate day, QDate today,
                     const ServiceDays& days);

// The reason a page gives for having no answer (<p class=reason>…</p>, the page's double
// quotes already removed), entities decoded; empty when it gives none.
QString cutReason(QStringView buffer);

// "2026-12-12（周六）"
QString dayText(QDate day);

// What the status panel says after a query for `bases`: the page's own reason when it gave
// one, else the notice of the bases, else the day the answer is for.
QString dayStatus(const DayBases& bases, const QString& reason);

inline constexpr QStringView kNoDayQueries = u"此时刻服务不支持按日期查询";
