#include "csvtable.h"

#include <QByteArrayView>

#include <csv.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace gtfs {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr size_t maxRecordBytes = 1 << 20;

// libcsv grows its field buffer without bound; past a record's limit it gets no more, and
// the parse ends with CSV_ENOMEM.
void* cappedRealloc(void* p, size_t size) {
    return size > maxRecordBytes + 4096 ? nullptr : std::realloc(p, size);
}

std::int64_t lineFeeds(std::string_view text) {
    return std::count(text.begin(), text.end(), '\n');
}

} // namespace

class CsvTableReader {
public:
    CsvTableReader(const QString& table, const std::vector<Column>& columns,
                   const std::function<void(const Record&)>& onRecord, const TableLimits& limits)
        : m_table(table)
        , m_columns(columns)
        , m_onRecord(onRecord)
        , m_limits(limits)
        , m_positions(columns.size(), -1) {
        // Every line feed outside a record is reported too, so blank lines keep the count.
        csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
        csv_set_realloc_func(&m_parser, cappedRealloc);
    }
    ~CsvTableReader() { csv_free(&m_parser); }
    CsvTableReader(const CsvTableReader&) = delete;
    CsvTableReader& operator=(const CsvTableReader&) = delete;

    // Row estimates are made from the table's size and its first piece.
    void estimateWith(std::int64_t tableBytes, const RowEstimate* onEstimate) {
        m_tableBytes = tableBytes;
        m_onEstimate = onEstimate;
    }

    bool feed(std::string_view piece) {
        m_bytes += std::int64_t(piece.size());
        if (m_bytes > m_limits.bytes)
            return fail(QStringLiteral("larger than %1 MiB, more than the service reads from "
                                       "one table")
                            .arg(m_limits.bytes >> 20),
                        m_textLine);
        if (m_first) {
            m_first = false;
            estimate(piece);
        }
        // The parser gets whole lines: text is checked a line at a time, and a line that is
        // refused is never parsed. A line begun in an earlier piece is completed from this one.
        if (!m_pending.empty()) {
            const size_t end = piece.find('\n');
            const size_t n = end == npos ? piece.size() : end + 1;
            if (m_pending.size() + n > maxRecordBytes)
                return fail(QStringLiteral("record longer than 1 MiB"), m_textLine);
            m_pending.append(piece.substr(0, n));
            piece.remove_prefix(n);
            if (end == npos)
                return true;
            if (!parse(m_pending))
                return false;
            m_pending.clear();
        }
        const size_t last = piece.rfind('\n');
        const size_t whole = last == npos ? 0 : last + 1;
        if (!parse(piece.substr(0, whole)))
            return false;
        if (piece.size() - whole > maxRecordBytes)
            return fail(QStringLiteral("record longer than 1 MiB"), m_textLine);
        m_pending.assign(piece.substr(whole));
        return true;
    }

    bool finish(QString* error) {
        if (!m_error && !m_pending.empty())
            parse(m_pending);
        if (!m_error && csv_fini(&m_parser, onField, onRecordEnd, this) != 0)
            fail(QStringLiteral("not CSV: unterminated quoted field"), m_line);
        if (!m_error && !m_headerRead)
            fail(QStringLiteral("empty file, no header line"), 1);
        if (m_error) {
            *error = *m_error;
            return false;
        }
        return true;
    }

private:
    void estimate(std::string_view first) {
        if (!m_onEstimate || !*m_onEstimate || m_tableBytes <= 0 || first.empty())
            return;
        const std::int64_t lines = lineFeeds(first);
        std::int64_t rows = lines + 1;
        if (std::int64_t(first.size()) < m_tableBytes)
            rows = m_tableBytes * lines / std::int64_t(first.size()) * 33 / 32 + 16;
        (*m_onEstimate)(std::min(rows, m_limits.lines));
    }

    // Whole lines, each ending with a line feed but perhaps the last of the table.
    bool parse(std::string_view text) {
        if (text.empty())
            return true;
        // A BOM is whole only once the first line is: pieces may split it.
        if (m_textLine == 1 && text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        if (!checkText(text))
            return false;
        const std::int64_t feeds = lineFeeds(text);
        const std::int64_t lines = feeds + (text.back() == '\n' ? 0 : 1);
        const std::int64_t allowed = m_limits.lines - (m_textLine - 1);
        if (lines > allowed) {
            // The lines up to the limit are read, so what the table holds there is checked.
            size_t cut = 0;
            for (std::int64_t i = 0; i < allowed; ++i)
                cut = text.find('\n', cut) + 1;
            return parse(text.substr(0, cut)) &&
                   fail(QStringLiteral("more than %1 lines, more than the service reads from "
                                       "one table")
                            .arg(m_limits.lines),
                        m_limits.lines + 1);
        }
        const size_t n = csv_parse(&m_parser, text.data(), text.size(), onField, onRecordEnd, this);
        if (n != text.size() && !m_error) {
            const int line = int(m_textLine + lineFeeds(text.substr(0, n)));
            if (csv_error(&m_parser) == CSV_ENOMEM)
                return fail(QStringLiteral("record longer than 1 MiB"), line);
            return fail(QStringLiteral("not CSV: %1 (a quote inside an unquoted field or "
                                       "text after a closing quote)")
                            .arg(QString::fromUtf8(csv_strerror(csv_error(&m_parser)))),
                        line);
        }
        m_textLine += feeds;
        return !m_error;
    }

    // GTFS tables are UTF-8 text. The first line that is not is named.
    bool checkText(std::string_view text) {
        const bool nul = std::memchr(text.data(), 0, text.size()) != nullptr;
        if (!nul && QByteArrayView(text.data(), qsizetype(text.size())).isValidUtf8())
            return true;
        std::int64_t line = m_textLine;
        while (!text.empty()) {
            const size_t end = text.find('\n');
            const std::string_view one = text.substr(0, end);
            if (one.find('\0') != npos)
                return fail(QStringLiteral("not CSV text (NUL byte)"), int(line));
            if (!QByteArrayView(one.data(), qsizetype(one.size())).isValidUtf8())
                return fail(QStringLiteral("not UTF-8 text; GTFS tables are UTF-8"), int(line));
            text.remove_prefix(end == npos ? text.size() : end + 1);
            ++line;
        }
        return true;
    }

    bool fail(const QString& what, std::int64_t line) {
        if (!m_error)
            m_error = QStringLiteral("%1:%2: %3").arg(m_table).arg(line).arg(what);
        return false;
    }

    // libcsv's field is valid only during the call: its bytes are kept until the record ends.
    static void onField(void* text, size_t length, void* self) {
        auto* r = static_cast<CsvTableReader*>(self);
        if (r->m_text.size() + length > maxRecordBytes) {
            r->fail(QStringLiteral("record longer than 1 MiB"), r->m_line);
            return;
        }
        r->m_bounds.emplace_back(r->m_text.size(), length);
        r->m_text.append(static_cast<const char*>(text), length);
    }

    static void onRecordEnd(int c, void* self) {
        auto* r = static_cast<CsvTableReader*>(self);
        if (!r->m_bounds.empty()) {
            if (!r->m_error)
                r->deliver();
            // Quoted fields may hold line breaks.
            if (r->m_text.find('\n') != npos)
                r->m_line += int(lineFeeds(r->m_text));
            r->m_text.clear();
            r->m_bounds.clear();
        }
        if (c == '\n')
            ++r->m_line;
    }

    void deliver() {
        m_fields.clear();
        for (const auto& [at, length] : m_bounds)
            m_fields.emplace_back(m_text.data() + at, length);
        // A line of blanks only, as some exporters leave at the end, is no record.
        if (m_fields.size() == 1 && m_fields[0].empty())
            return;
        if (!m_headerRead) {
            readHeader();
            return;
        }
        Record record;
        record.line = m_line;
        record.m_fields = m_fields.data();
        record.m_count = m_fields.size();
        record.m_positions = m_positions.data();
        m_onRecord(record);
    }

    void readHeader() {
        m_headerRead = true;
        for (size_t i = 0; i < m_fields.size(); ++i) {
            for (size_t c = 0; c < m_columns.size(); ++c) {
                if (m_fields[i] == m_columns[c].name && m_positions[c] < 0)
                    m_positions[c] = int(i);
            }
        }
        for (size_t c = 0; c < m_columns.size(); ++c) {
            if (m_columns[c].required && m_positions[c] < 0) {
                fail(QStringLiteral("missing column %1").arg(QLatin1String(m_columns[c].name)),
                     m_line);
                return;
            }
        }
    }

    const QString& m_table;
    const std::vector<Column>& m_columns;
    const std::function<void(const Record&)>& m_onRecord;
    const TableLimits m_limits;
    std::vector<int> m_positions;
    csv_parser m_parser{};
    std::int64_t m_tableBytes = -1;
    const RowEstimate* m_onEstimate = nullptr;
    std::int64_t m_bytes = 0;
    std::string m_pending;                           // a line not yet ended by its piece
    std::string m_text;                              // the fields of the record being read
    std::vector<std::pair<size_t, size_t>> m_bounds; // where in m_text each field lies
    std::vector<std::string_view> m_fields;          // the record being delivered
    std::int64_t m_textLine = 1;                     // the line the next text handed over starts
    int m_line = 1;                                  // the line the record being read starts
    bool m_first = true;
    bool m_headerRead = false;
    std::optional<QString> m_error;
};

bool readTable(const FeedSource& source, const QString& table, const std::vector<Column>& columns,
               const std::function<void(const Record&)>& onRecord, const TableLimits& limits,
               QString* error, const RowEstimate& onEstimate) {
    CsvTableReader reader(table, columns, onRecord, limits);
    reader.estimateWith(onEstimate ? source.size(table) : -1, &onEstimate);
    QString readError;
    if (!source.read(
            table, [&](std::string_view piece) { return reader.feed(piece); }, &readError)) {
        *error = readError;
        return false;
    }
    return reader.finish(error);
}

} // namespace gtfs
