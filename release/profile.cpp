#include "release/profile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

QString readText(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(in.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// The name of a "[section]" line, or nullopt for any other line.
std::optional<QStringView> sectionName(QStringView line) {
    line = line.trimmed();
    if (!line.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = line.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return line.sliced(1, close - 1).trimmed();
}

// The key of a "key=value" line, or nullopt when the line has no "=".
std::optional<QStringView> keyName(QStringView line) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return line.first(eq).trimmed();
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QStringList splitLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the text ended with a line break
    return lines;
}

} // namespace

QString readProfileString(const QString& section, const QString& key, const QString& file) {
    const QStringList lines = splitLines(readText(file));
    bool inSection = false;
    for (const QString& line : lines) {
        if (const auto name = sectionName(line)) {
            if (inSection)
                return {}; // the first matching section decides
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        const auto name = keyName(line);
        if (name && sameName(*name, key))
            return QStringView(line).sliced(line.indexOf(u'=') + 1).trimmed().toString();
    }
    return {};
}

bool writeProfileString(const QString& section, const QString& key, const QString& value,
                        const QString& file) {
    const QString text = readText(file);
    const QString eol = text.contains(u"\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString clean = value;
    clean.remove(u'\r');
    clean.remove(u'\n');
    const QString entry = key + u'=' + clean;

    QStringList lines = splitLines(text);
    qsizetype sectionLine = -1;
    for (qsizetype i = 0; i < lines.size() && sectionLine < 0; ++i) {
        const auto name = sectionName(lines[i]);
        if (name && sameName(*name, section))
            sectionLine = i;
    }

    if (sectionLine < 0) {
        lines << (u'[' + section + u']') << entry;
    } else {
        qsizetype insertAt = sectionLine + 1; // after the section's last non-blank line
        bool replaced = false;
        for (qsizetype i = sectionLine + 1; i < lines.size(); ++i) {
            if (sectionName(lines[i]))
                break;
            const auto name = keyName(lines[i]);
            if (name && sameName(*name, key)) {
                lines[i] = entry;
                replaced = true;
                break;
            }
            if (!lines[i].trimmed().isEmpty())
                insertAt = i + 1;
        }
        if (!replaced)
            lines.insert(insertAt, entry);
    }

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write((lines.join(eol) + eol).toUtf8());
    return out.commit();
}
