#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// One station of the service's station list (stations.txt), which the client completes
// station names from.
struct StationListEntry {
    QString name;   // as the pages show it
    int trains = 0; // trains of the service day calling there
    QString latin;  // the feed's own pinyin (translations.txt, zh-Latn), or empty
};

// A city of several stations, which queries may name instead of one of them.
struct CityEntry {
    QString name;
    QStringList stations;
    int trains = 0; // calls of the service day at its stations
};

// The whole stations.txt as GB2312 bytes: a "#" header line, then one line per station,
// "NAME\tPINYIN\tINITIALS\tTRAINS\n", sorted by name in code-point order. A name given twice
// is written once, with the larger train count. The header's fifth field names the days the
// service answers, "dates YYYYMMDD YYYYMMDD", when `first` and `last` are valid. Each city
// comes on a line of its own after the header, "#city\tNAME\tPINYIN\tINITIALS\tTRAINS\t"
// followed by its stations separated by blanks; readers that skip "#" lines see the list as
// before. A `source` kind, when given, follows as "source KIND".
QByteArray stationListPage(const QList<StationListEntry>& entries,
                           const QList<CityEntry>& cities = {}, QDate first = {}, QDate last = {},
                           const QString& source = {});
