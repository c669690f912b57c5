#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One station of the service's station list (stations.txt), which the client completes
// station names from.
struct StationListEntry {
    QString name;   // as the pages show it
    int trains = 0; // trains of the service day calling there
    QString latin;  // the feed's own pinyin (translations.txt, zh-Latn), or empty
};

// The whole stations.txt as GB2312 bytes: a "#" header line, then one line per station,
// "NAME\tPINYIN\tINITIALS\tTRAINS\n", sorted by name in code-point order. A name given twice
// is written once, with the larger train count.
QByteArray stationListPage(const QList<StationListEntry>& entries);
