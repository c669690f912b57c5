#include "rowexport.h"

namespace {

QStringList seenHeaders(TrainList list) {
    QStringList headers;
    for (const ListColumn& column : trainListColumns(list))
        headers << QString::fromUtf16(column.header).remove(u' '); // "发 站" is padded to look
    return headers.mid(0, kDetailLinkColumn);
}

QStringList seenCells(const QStringList& row) {
    QStringList cells = row.mid(0, kDetailLinkColumn);
    while (cells.size() < kDetailLinkColumn)
        cells << QString();
    return cells;
}

QString textCell(QString cell) {
    for (QChar& c : cell) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return cell;
}

QString csvCell(const QString& cell) {
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') &&
        !cell.contains(u'\r'))
        return cell;
    QString quoted = cell;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

template <typename CellFn>
QString joined(TrainList list, const QList<QStringList>& rows, QChar separator,
               const QString& lineEnd, CellFn cellFn) {
    QString out;
    auto appendLine = [&](const QStringList& cells) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i)
                out += separator;
            out += cellFn(cells[i]);
        }
        out += lineEnd;
    };
    appendLine(seenHeaders(list));
    for (const QStringList& row : rows)
        appendLine(seenCells(row));
    return out;
}

} // namespace

QString rowsAsText(TrainList list, const QList<QStringList>& rows) {
    return joined(list, rows, u'\t', QStringLiteral("\n"), textCell);
}

QByteArray rowsAsCsv(TrainList list, const QList<QStringList>& rows) {
    return QByteArrayLiteral("\xEF\xBB\xBF") +
           joined(list, rows, u',', QStringLiteral("\r\n"), csvCell).toUtf8();
}
