#include "stationindex.h"

#include "module1.h"

#include "contract/pagecontract.h"

#include <algorithm>

namespace {

bool isLowerLatin(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'a' && c <= u'z'; });
}

// ü is written v in the list ("lvliang") but "lue" in lue and nue; people type either u or v
// for it, so readings are compared with both written u.
QString foldedReading(QString text) {
    text.replace(u'v', u'u');
    text.replace(u'ü', u'u');
    return text;
}

} // namespace

QList<Station> parseStationList(const QByteArray& bytes) {
    QList<Station> stations;
    const QString text = Module1::DecodeBytes(bytes, QStringLiteral("gb2312"));
    using namespace contract::stations;
    for (QStringView line : QStringView(text).split(lineEnd)) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const bool city =
            line.startsWith(cityLine) && line.mid(cityLine.size()).startsWith(separator);
        if (city)
            line = line.mid(cityLine.size() + 1);
        else if (line.isEmpty() || line.startsWith(comment))
            continue;
        const QList<QStringView> fields = line.split(separator);
        if (fields.size() != (city ? FieldCount + 1 : FieldCount) || fields[Name].isEmpty())
            continue;
        bool ok = false;
        const int trains = fields[Trains].toInt(&ok);
        if (!ok || trains < 0 || !isLowerLatin(fields[Pinyin]) || !isLowerLatin(fields[Initials]))
            continue;
        QStringList members;
        if (city) {
            for (QStringView m : fields[FieldCount].split(cityStationSeparator, Qt::SkipEmptyParts))
                members << m.toString();
            if (members.size() < 2)
                continue;
        }
        stations.append({fields[Name].toString(), fields[Pinyin].toString(),
                         fields[Initials].toString(), trains, members});
    }
    return stations;
}

StationIndex::StationIndex(QList<Station> stations)
    : m_stations(std::move(stations)) {
    for (const Station& s : m_stations) {
        if (!s.cityStations.isEmpty())
            m_cities.insert(s.name, s.cityStations);
    }
    // A station named like its city is asked for as the city, so only the city is offered.
    m_stations.removeIf(
        [this](const Station& s) { return s.cityStations.isEmpty() && m_cities.contains(s.name); });
    std::stable_sort(m_stations.begin(), m_stations.end(), [](const Station& a, const Station& b) {
        if (a.cityStations.isEmpty() != b.cityStations.isEmpty())
            return b.cityStations.isEmpty();
        if (a.trains != b.trains)
            return a.trains > b.trains;
        return a.name < b.name;
    });
    m_entries.reserve(m_stations.size());
    for (qsizetype i = 0; i < m_stations.size(); ++i) {
        const Station& s = m_stations[i];
        m_entries.append({s.name.toCaseFolded(), foldedReading(s.pinyin), s.initials});
        m_byName.insert(s.name, i);
    }
}

QStringList StationIndex::complete(QStringView typed, qsizetype limit) const {
    QStringList result;
    if (typed.isEmpty() || limit <= 0)
        return result;
    const QString key = typed.toString().toCaseFolded();
    const QString reading = foldedReading(key);
    // Stations are already in (trains, name) order, so each tier only needs to keep the first
    // `limit` it meets; tiers are walked once each, best first.
    enum Tier { ExactName, ExactReading, Prefix, TierCount };
    QList<qsizetype> tiers[TierCount];
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        Tier tier;
        if (e.foldedName == key)
            tier = ExactName;
        else if (e.initials == key || e.reading == reading)
            tier = ExactReading;
        else if (e.foldedName.startsWith(key) || e.initials.startsWith(key) ||
                 e.reading.startsWith(reading))
            tier = Prefix;
        else
            continue;
        if (tiers[tier].size() < limit)
            tiers[tier].append(i);
    }
    for (const QList<qsizetype>& tier : tiers) {
        for (qsizetype i : tier) {
            if (result.size() == limit)
                return result;
            result.append(m_stations[i].name);
        }
    }
    return result;
}

QString StationIndex::label(const QString& name) const {
    return isCity(name) ? name + kWholeCity.toString() : name;
}

QString StationIndex::pinyinOf(const QString& name) const {
    const auto it = m_byName.constFind(name);
    return it == m_byName.cend() ? QString() : m_stations[*it].pinyin;
}

QString settledStationText(const StationIndex& index, const QString& typed) {
    const QString text = typed.trimmed();
    if (text.isEmpty() || !index.pinyinOf(text).isNull())
        return typed;
    const QStringList candidates = index.complete(text, 1);
    return candidates.isEmpty() ? typed : candidates.first();
}
