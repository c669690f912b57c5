#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// One line of the service's stations.txt: NAME, FULL_PINYIN, INITIALS, TRAINS.
struct Station {
    QString name;
    QString pinyin;   // lower-case a-z, no separators
    QString initials; // lower-case a-z
    int trains = 0;   // trains of the service day calling there
    // For a city that groups several stations ("#city" lines): its stations; else empty.
    QStringList cityStations = {};
};

// Reads stations.txt as the service sends it (GB2312 bytes, "\n" line ends, "#" comments).
// Lines that cannot be read (wrong field count, TRAINS not a number) are skipped. A
// "#city\tNAME\tPINYIN\tINITIALS\tTRAINS\tSTATION STATION ..." line gives a city.
QList<Station> parseStationList(const QByteArray& bytes);

// The station list ready for completion: one answer per keystroke without scanning text twice.
class StationIndex {
public:
    StationIndex() = default;
    explicit StationIndex(QList<Station> stations);

    bool isEmpty() const { return m_stations.isEmpty(); }
    qsizetype size() const { return m_stations.size(); }

    // Names for what the user typed, best first: the exact name, then exact initials or full
    // pinyin, then prefixes of name, initials or pinyin; within each, cities of several
    // stations first, then more trains first, then by name. Case does not matter, nor whether
    // ü is typed u or v (lv/lu, lve/lue, nv/nu); an empty text has no candidates. A city
    // stands for the station of its own name.
    QStringList complete(QStringView typed, qsizetype limit = kCompletionLimit) const;

    // The full pinyin of a name the list knows, or the null text.
    QString pinyinOf(const QString& name) const;
    bool isCity(const QString& name) const { return m_cities.contains(name); }
    // How a candidate is offered: "北京 (全部车站)" for a city, else the name itself.
    QString label(const QString& name) const;

    static constexpr qsizetype kCompletionLimit = 10;

private:
    struct Entry {
        QString foldedName;
        QString reading; // the full pinyin with ü written u
        QString initials;
    };
    QList<Station> m_stations; // by trains (descending), then by name
    QList<Entry> m_entries;    // parallel to m_stations
    QHash<QString, qsizetype> m_byName;
    QHash<QString, QStringList> m_cities;
};

// What a station box holds once the user leaves it or runs its query: the text itself when it
// names a station or nothing completes it, else the first completion (initials "bjx" become
// the best station they start).
QString settledStationText(const StationIndex& index, const QString& typed);

inline constexpr QStringView kWholeCity = u" (全部车站)";
