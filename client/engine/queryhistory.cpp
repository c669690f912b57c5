#include "queryhistory.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

QString keyOf(QueryKind kind) {
    return QStringLiteral("history/") + queryName(kind);
}

// How many texts an entry of the kind has; 0 for the kinds not kept.
qsizetype textCount(QueryKind kind) {
    switch (kind) {
    case QueryKind::Train:
    case QueryKind::Station:
        return 1;
    case QueryKind::Between:
        return 2;
    default:
        return 0;
    }
}

// One entry is one string in the settings file; the texts of a pair are joined by a tab,
// which no station name holds.
constexpr QChar kSeparator = u'\t';

} // namespace

QueryHistory::QueryHistory()
    : QueryHistory(defaultFile()) {}

QueryHistory::QueryHistory(const QString& file)
    : m_file(file) {}

QString QueryHistory::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/history.ini");
}

QList<QStringList> QueryHistory::entries(QueryKind kind) const {
    const QSettings settings(m_file, QSettings::IniFormat);
    QList<QStringList> result;
    for (const QString& stored : settings.value(keyOf(kind)).toStringList()) {
        const QStringList texts = stored.split(kSeparator);
        if (texts.size() == textCount(kind) && !texts.contains(QString()))
            result << texts;
        if (result.size() == kLimit)
            break;
    }
    return result;
}

void QueryHistory::add(QueryKind kind, const QStringList& texts) {
    if (texts.isEmpty() || texts.size() != textCount(kind) || texts.contains(QString()))
        return;
    for (const QString& text : texts) {
        if (text.contains(kSeparator))
            return;
    }
    QList<QStringList> kept = entries(kind);
    // K7 and k7 are one query: the newest spelling stays.
    kept.removeIf([&texts](const QStringList& entry) {
        return entry.join(kSeparator).compare(texts.join(kSeparator), Qt::CaseInsensitive) == 0;
    });
    kept.prepend(texts);
    QStringList stored;
    for (const QStringList& entry : kept.mid(0, kLimit))
        stored << entry.join(kSeparator);
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(keyOf(kind), stored);
    settings.sync();
}

bool isWorthKeeping(const QueryReport& report) {
    if (report.message || report.error)
        return false;
    return (report.rows && !report.rows->isEmpty()) ||
           (report.transfers && !report.transfers->isEmpty());
}
