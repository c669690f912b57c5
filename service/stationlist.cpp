#include "stationlist.h"

#include "pages.h"
#include "pinyin.h"

#include <QHash>

#include <map>
#include <mutex>

namespace {

// Tabs and line breaks would split a line of the list; the feed cannot mean them in a name.
QString oneField(QString text) {
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

// The same names come back in every day's list, and their pinyin is most of a list's making:
// each name is read once per run.
pinyin::Reading readingOf(const QString& name, const QString& latin) {
    static std::mutex mutex;
    static QHash<std::pair<QString, QString>, pinyin::Reading> known;
    const std::pair<QString, QString> key(name, latin.trimmed());
    {
        std::lock_guard lock(mutex);
        const auto it = known.constFind(key);
        if (it != known.constEnd())
            return *it;
    }
    const pinyin::Reading reading =
        key.second.isEmpty() ? pinyin::of(name) : pinyin::fromTranslation(name, latin);
    std::lock_guard lock(mutex);
    if (known.size() >= 200'000) // far past any railway's stations; only bounds the memory
        known.clear();
    known.insert(key, reading);
    return reading;
}

} // namespace

QByteArray stationListPage(const QList<StationListEntry>& entries, const QList<CityEntry>& cities,
                           QDate first, QDate last, const QString& source) {
    // Keyed by code points, so the order is code-point order even beyond the BMP.
    std::map<std::u32string, StationListEntry> byName;
    for (const StationListEntry& entry : entries) {
        StationListEntry clean = entry;
        clean.name = oneField(entry.name);
        if (clean.name.isEmpty())
            continue;
        const QList<uint> points = clean.name.toUcs4();
        const std::u32string key(points.begin(), points.end());
        auto [it, added] = byName.try_emplace(key, clean);
        if (!added) {
            it->second.trains = std::max(it->second.trains, clean.trains);
            if (it->second.latin.isEmpty())
                it->second.latin = clean.latin;
        }
    }

    using namespace contract::stations;
    QString text = QString(comment) + QStringLiteral(" name\tpinyin\tinitials\ttrains");
    if (first.isValid() && last.isValid())
        text += separator + datesField.toString() + first.toString(QStringLiteral("yyyyMMdd")) +
                u' ' + last.toString(QStringLiteral("yyyyMMdd"));
    if (!source.isEmpty())
        text += separator + sourceField.toString() + source;
    text += lineEnd;
    for (const CityEntry& city : cities) {
        const QString name = oneField(city.name);
        const pinyin::Reading reading = readingOf(name, {});
        QStringList stations;
        for (const QString& s : city.stations)
            stations << oneField(s).replace(cityStationSeparator, QChar(0x3000));
        text += cityLine.toString() + separator + name + separator + reading.full + separator +
                reading.initials + separator + QString::number(std::max(city.trains, 0)) +
                separator + stations.join(cityStationSeparator) + lineEnd;
    }
    for (const auto& [key, entry] : byName) {
        const pinyin::Reading reading = readingOf(entry.name, entry.latin);
        text += entry.name + separator + reading.full + separator + reading.initials + separator +
                QString::number(std::max(entry.trains, 0)) + lineEnd;
    }
    return pages::toGb(text);
}
