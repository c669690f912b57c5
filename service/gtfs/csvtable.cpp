#include "csvtable.h"

#include <csv.h>

#include <optional>

namespace gtfs {

class CsvTableReader {
public:
    CsvTableReader(const QString& table, const std::vector<Column>& columns,
                   const std::function<void(const Record&)>& onRecord)
        : m_table(table)
        , m_columns(columns)
        , m_onRecord(onRecord)
        , m_positions(columns.size(), -1) {
        csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI);
    }
    ~CsvTableReader() { csv_free(&m_parser); }
    CsvTableReader(const CsvTableReader&) = delete;
    CsvTableReader& operator=(const CsvTableReader&) = delete;

    bool feed(std::string_view piece) {
        if (m_first) {
            m_first = false;
            if (piece.substr(0, 3) == "\xEF\xBB\xBF")
                piece.remove_prefix(3);
        }
        // Lines go to the parser one by one so every record knows the line it starts on.
        while (!piece.empty() && !m_error) {
            const size_t end = piece.find('\n');
            const size_t n = end == std::string_view::npos ? piece.size() : end + 1;
            if (!parse(piece.substr(0, n)))
                return false;
            if (end != std::string_view::npos)
                ++m_line;
            piece.remove_prefix(n);
        }
        return !m_error;
    }

    bool finish(QString* error) {
        if (!m_error && csv_fini(&m_parser, onField, onRecordEnd, this) != 0)
            fail(QStringLiteral("not CSV: unterminated quoted field"), m_recordLine);
        if (!m_error && !m_headerRead)
            fail(QStringLiteral("empty file, no header line"), 1);
        if (m_error) {
            *error = *m_error;
            return false;
        }
        return true;
    }

private:
    static constexpr size_t maxRecordBytes = 1 << 20;
    // libcsv's state before the first character of a record.
    static constexpr int rowNotBegun = 0;

    bool parse(std::string_view line) {
        if (line.find('\0') != std::string_view::npos)
            return fail(QStringLiteral("not CSV text (NUL byte)"));
        if (m_parser.pstate == rowNotBegun) {
            m_recordLine = m_line;
            m_recordBytes = 0;
        }
        m_recordBytes += line.size();
        if (m_recordBytes > maxRecordBytes)
            return fail(QStringLiteral("record longer than 1 MiB"), m_recordLine);
        if (csv_parse(&m_parser, line.data(), line.size(), onField, onRecordEnd, this) !=
            line.size()) {
            if (!m_error)
                fail(QStringLiteral("not CSV: %1 (a quote inside an unquoted field or "
                                    "text after a closing quote)")
                         .arg(QString::fromUtf8(csv_strerror(csv_error(&m_parser)))));
            return false;
        }
        return !m_error;
    }

    bool fail(const QString& what, std::optional<int> line = std::nullopt) {
        if (!m_error)
            m_error = QStringLiteral("%1:%2: %3").arg(m_table).arg(line.value_or(m_line)).arg(what);
        return false;
    }

    static void onField(void* text, size_t length, void* self) {
        auto* r = static_cast<CsvTableReader*>(self);
        if (r->m_count == r->m_fields.size())
            r->m_fields.emplace_back();
        r->m_fields[r->m_count++].assign(static_cast<const char*>(text), length);
    }

    static void onRecordEnd(int, void* self) {
        auto* r = static_cast<CsvTableReader*>(self);
        if (!r->m_error)
            r->m_headerRead ? r->deliver() : r->readHeader();
        r->m_count = 0;
    }

    void readHeader() {
        m_headerRead = true;
        for (size_t i = 0; i < m_count; ++i) {
            std::string_view name = m_fields[i];
            while (!name.empty() && (name.back() == ' ' || name.back() == '\r'))
                name.remove_suffix(1);
            for (size_t c = 0; c < m_columns.size(); ++c) {
                if (name == m_columns[c].name && m_positions[c] < 0)
                    m_positions[c] = int(i);
            }
        }
        for (size_t c = 0; c < m_columns.size(); ++c) {
            if (m_columns[c].required && m_positions[c] < 0) {
                fail(QStringLiteral("missing column %1").arg(QLatin1String(m_columns[c].name)),
                     m_recordLine);
                return;
            }
        }
    }

    void deliver() {
        // A line of blanks only, as some exporters leave at the end, is no record.
        if (m_count == 1 && m_fields[0].empty())
            return;
        Record record;
        record.line = m_recordLine;
        record.m_fields = m_fields.data();
        record.m_count = m_count;
        record.m_positions = m_positions.data();
        m_onRecord(record);
    }

    const QString& m_table;
    const std::vector<Column>& m_columns;
    const std::function<void(const Record&)>& m_onRecord;
    std::vector<int> m_positions;
    csv_parser m_parser{};
    std::vector<std::string> m_fields;
    size_t m_count = 0;
    int m_line = 1;
    int m_recordLine = 1;
    size_t m_recordBytes = 0;
    bool m_first = true;
    bool m_headerRead = false;
    std::optional<QString> m_error;
};

bool readTable(const FeedSource& source, const QString& table, const std::vector<Column>& columns,
               const std::function<void(const Record&)>& onRecord, QString* error) {
    CsvTableReader reader(table, columns, onRecord);
    QString readError;
    if (!source.read(
            table, [&](std::string_view piece) { return reader.feed(piece); }, &readError)) {
        *error = readError;
        return false;
    }
    return reader.finish(error);
}

} // namespace gtfs
