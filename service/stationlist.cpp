#include "stationlist.h"

#include "pages.h"
#include "pinyin.h"

#include <map>
#include <string>

namespace {

// Tabs and line breaks would split a line of the list; the feed cannot mean them in a name.
QString oneField(QString text) {
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

} // namespace

QByteArray stationListPage(const QList<StationListEntry>& entries) {
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
    QString text = QString(comment) + QStringLiteral(" name\tpinyin\tinitials\ttrains") + lineEnd;
    for (const auto& [key, entry] : byName) {
        const pinyin::Reading reading = entry.latin.trimmed().isEmpty()
                                            ? pinyin::of(entry.name)
                                            : pinyin::fromTranslation(entry.name, entry.latin);
        text += entry.name + separator + reading.full + separator + reading.initials + separator +
                QString::number(std::max(entry.trains, 0)) + lineEnd;
    }
    return pages::toGb(text);
}
