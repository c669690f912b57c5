#include "output.h"

#include "fare.h"
#include "queryrunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

template <typename T> QJsonValue orNull(const std::optional<T>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString padded(const QString& text, int width) {
    return text + QString(std::max(0, width - displayWidth(text)), u' ');
}

void appendAligned(QString& out, const QList<QStringList>& table) {
    QList<int> widths;
    for (const QStringList& row : table) {
        widths.resize(std::max(widths.size(), row.size()));
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    }
    for (const QStringList& row : table) {
        QStringList cells;
        for (qsizetype c = 0; c < row.size(); ++c)
            cells << padded(row[c], widths[c]);
        out += cells.join(QStringLiteral("  ")).trimmed() + u'\n';
    }
}

} // namespace

int displayWidth(QStringView text) {
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += isWide(c) ? 2 : 1;
    return width;
}

namespace {

QJsonValue rowsJson(const std::optional<QList<QStringList>>& rows) {
    if (!rows)
        return QJsonValue::Null;
    QJsonArray array;
    for (const QStringList& row : *rows)
        array.append(QJsonArray::fromStringList(row));
    return array;
}

QJsonValue legsJson(const Legs& legs) {
    if (!legs)
        return QJsonValue::Null;
    QJsonArray array;
    for (const LegResult& leg : *legs) {
        array.append(QJsonObject{{QStringLiteral("city"), leg.city},
                                 {QStringLiteral("path"), leg.path},
                                 {QStringLiteral("message"), orNull(leg.report->message)},
                                 {QStringLiteral("rows"), rowsJson(leg.report->rows)},
                                 {QStringLiteral("status"), orNull(leg.report->status)}});
    }
    return array;
}

QStringList listHeaders(const QueryReport& report) {
    if (report.kind == QueryKind::Fare)
        return fareColumnHeaders();
    QStringList headers;
    for (const ListColumn& column : trainListColumns(report.list))
        headers << QString::fromUtf16(column.header);
    return headers;
}

void appendRows(QString& out, const QueryReport& report) {
    if (!report.rows)
        return;
    QList<QStringList> table{listHeaders(report)};
    table += *report.rows;
    appendAligned(out, table);
}

} // namespace

QByteArray formatJson(const QueryReport& report, const Legs& legs) {
    QJsonObject object;
    object.insert(QStringLiteral("query"), queryName(report.kind));
    object.insert(QStringLiteral("address"), orNull(report.address));
    object.insert(QStringLiteral("message"), orNull(report.message));
    object.insert(QStringLiteral("rows"), rowsJson(report.rows));
    object.insert(QStringLiteral("status"), orNull(report.status));
    object.insert(QStringLiteral("caption"), orNull(report.caption));
    object.insert(QStringLiteral("error"), orNull(report.error));
    object.insert(QStringLiteral("navigate"), orNull(report.navigate));
    object.insert(QStringLiteral("labels"),
                  report.labels ? QJsonValue(QJsonArray::fromStringList(*report.labels))
                                : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("legs"), legsJson(legs));

    QJsonValue transfers = QJsonValue::Null;
    if (report.transfers) {
        QJsonArray array;
        for (const TransferEntry& entry : *report.transfers)
            array.append(QJsonObject{{QStringLiteral("city"), entry.city},
                                     {QStringLiteral("path"), entry.path}});
        transfers = array;
    }
    object.insert(QStringLiteral("transfers"), transfers);

    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray formatCompletionJson(const QStringList& stations, const QString& error) {
    QJsonObject object;
    for (const char* key : {"query", "address", "message", "rows", "status", "transfers", "caption",
                            "error", "navigate", "labels", "legs"})
        object.insert(QLatin1String(key), QJsonValue::Null);
    if (!error.isEmpty())
        object.insert(QStringLiteral("error"), error);
    object.insert(QStringLiteral("stations"), error.isEmpty()
                                                  ? QJsonValue(QJsonArray::fromStringList(stations))
                                                  : QJsonValue(QJsonValue::Null));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray formatCompletionTable(const QStringList& stations, const QString& error) {
    QString out;
    for (const QString& name : stations)
        out += name + u'\n';
    if (!error.isEmpty())
        out += QStringLiteral("错误：") + error + u'\n';
    return out.toUtf8();
}

QByteArray formatTable(const QueryReport& report, const Legs& legs) {
    QString out;
    if (report.labels) {
        for (qsizetype i = 0; i < report.labels->size(); ++i)
            out += QStringLiteral("%1  %2\n").arg(i, 2).arg(report.labels->at(i));
    }
    appendRows(out, report);
    if (report.transfers) {
        if (report.caption)
            out += *report.caption + u'\n';
        QList<QStringList> table{{QStringLiteral("中转城市"), QStringLiteral("明细")}};
        for (const TransferEntry& entry : *report.transfers)
            table << QStringList{entry.city, entry.path};
        appendAligned(out, table);
    }
    if (report.navigate)
        out += QStringLiteral("明细：") + *report.navigate + u'\n';
    if (report.status)
        out += *report.status + u'\n';
    if (report.message)
        out += QStringLiteral("信息：") + *report.message + u'\n';
    if (report.error)
        out += QStringLiteral("错误：") + *report.error + u'\n';
    if (legs) {
        for (const LegResult& leg : *legs) {
            out += u'\n' + leg.city + u'\n';
            out += QString::fromUtf8(formatTable(*leg.report));
        }
    }
    return out.toUtf8();
}
