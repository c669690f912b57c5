#include "csvtable.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace gtfs {

namespace {

constexpr size_t npos = std::string_view::npos;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

enum class BadText { None, Nul, NotUtf8 };

// Where text holds its first NUL byte or first byte that is not part of a valid UTF-8
// sequence (overlong forms and surrogates included), or npos. Eight ASCII bytes at a time.
size_t findBadByte(std::string_view text, BadText& why) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    constexpr std::uint64_t high = 0x8080808080808080ull, low = 0x0101010101010101ull;
    size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, s + i, 8);
            if ((w & high) == 0 && ((w - low) & ~w & high) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = s[i];
        if (c == 0) {
            why = BadText::Nul;
            return i;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t more = 0;
        unsigned char lo = 0x80, hi = 0xBF; // the allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            why = BadText::NotUtf8;
            return i;
        }
        if (i + more >= n || s[i + 1] < lo || s[i + 1] > hi) {
            why = BadText::NotUtf8;
            return i;
        }
        for (size_t k = 2; k <= more; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                why = BadText::NotUtf8;
                return i;
            }
        }
        i += more + 1;
    }
    return npos;
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
        , m_positions(columns.size(), -1) {}

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
                            .arg(m_limits.bytes >> 20));
        if (m_first) {
            m_first = false;
            estimate(piece);
        }
        // A line begun in an earlier piece is completed from this one.
        if (!m_pending.empty()) {
            const size_t end = piece.find('\n');
            const size_t n = end == npos ? piece.size() : end + 1;
            if (m_pending.size() + n > maxRecordBytes)
                return fail(QStringLiteral("record longer than 1 MiB"));
            m_pending.append(piece.substr(0, n));
            piece.remove_prefix(n);
            if (end == npos)
                return true;
            if (!lines(m_pending))
                return false;
            m_pending.clear();
        }
        const size_t last = piece.rfind('\n');
        const size_t whole = last == npos ? 0 : last + 1;
        if (!lines(piece.substr(0, whole)))
            return false;
        if (piece.size() - whole > maxRecordBytes)
            return fail(QStringLiteral("record longer than 1 MiB"));
        m_pending.assign(piece.substr(whole));
        return true;
    }

    bool finish(QString* error) {
        if (!m_error && !m_pending.empty())
            lines(m_pending);
        if (!m_error && m_inQuotes)
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

    void estimate(std::string_view first) {
        if (!m_onEstimate || !*m_onEstimate || m_tableBytes <= 0 || first.empty())
            return;
        const std::int64_t lines = std::count(first.begin(), first.end(), '\n');
        std::int64_t rows = lines + 1;
        if (std::int64_t(first.size()) < m_tableBytes)
            rows = m_tableBytes * lines / std::int64_t(first.size()) * 33 / 32 + 16;
        (*m_onEstimate)(std::min(rows, m_limits.lines));
    }

    // Whole lines, each ending with a line feed but perhaps the last of the table.
    bool lines(std::string_view text) {
        BadText why = BadText::None;
        const size_t bad = findBadByte(text, why);
        const std::string_view good = text.substr(0, bad);
        while (!text.empty()) {
            if (m_line > m_limits.lines)
                return fail(QStringLiteral("more than %1 lines, more than the service reads "
                                           "from one table")
                                .arg(m_limits.lines));
            const void* found = std::memchr(text.data(), '\n', text.size());
            const size_t n =
                found ? size_t(static_cast<const char*>(found) - text.data()) + 1 : text.size();
            std::string_view line = text.substr(0, n);
            text.remove_prefix(n);
            // The line's own bad byte is reported on its own line number.
            if (line.data() + line.size() > good.data() + good.size()) {
                return fail(why == BadText::Nul
                                ? QStringLiteral("not CSV text (NUL byte)")
                                : QStringLiteral("not UTF-8 text; GTFS tables are UTF-8"));
            }
            // A BOM is whole only once the first line is: pieces may split it.
            if (m_line == 1 && line.substr(0, 3) == "\xEF\xBB\xBF")
                line.remove_prefix(3);
            if (!line.empty() && line.back() == '\n')
                line.remove_suffix(1);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (!record(line))
                return false;
            ++m_line;
        }
        return true;
    }

    bool record(std::string_view line) {
        if (!m_inQuotes && line.find('"') == npos) {
            // Most lines: fields are views into the line itself.
            m_fields.clear();
            for (size_t from = 0;;) {
                const size_t comma = line.find(',', from);
                m_fields.push_back(trimmed(line.substr(from, comma - from)));
                if (comma == npos)
                    break;
                from = comma + 1;
            }
            m_recordLine = m_line;
            return deliver();
        }
        if (!m_inQuotes) {
            m_recordLine = m_line;
            m_text.clear();
            m_bounds.clear();
            m_state = State::FieldStart;
        } else {
            m_text += '\n';
        }
        if (m_text.size() + line.size() > maxRecordBytes)
            return fail(QStringLiteral("record longer than 1 MiB"), m_recordLine);
        if (!unquote(line))
            return false;
        m_inQuotes = m_state == State::Quoted;
        if (m_inQuotes)
            return true;
        endField();
        m_fields.clear();
        for (const auto& [from, to] : m_bounds)
            m_fields.push_back(std::string_view(m_text).substr(from, to - from));
        return deliver();
    }

    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted, AfterQuoted };

    // Reads quoted fields into m_text, their ends into m_bounds.
    bool unquote(std::string_view line) {
        for (const char c : line) {
            switch (m_state) {
            case State::FieldStart:
                if (c == '"') {
                    m_fieldStart = m_text.size();
                    m_state = State::Quoted;
                } else if (c == ',') {
                    m_fieldStart = m_text.size();
                    endField();
                } else if (!isBlank(c)) {
                    m_fieldStart = m_text.size();
                    m_text += c;
                    m_state = State::Unquoted;
                }
                break;
            case State::Unquoted:
                if (c == '"')
                    return fail(QStringLiteral("not CSV: a quote inside an unquoted field"),
                                m_recordLine);
                if (c == ',')
                    endField();
                else
                    m_text += c;
                break;
            case State::Quoted:
                if (c == '"')
                    m_state = State::QuoteInQuoted;
                else
                    m_text += c;
                break;
            case State::QuoteInQuoted:
            case State::AfterQuoted:
                if (c == '"' && m_state == State::QuoteInQuoted) {
                    m_text += '"';
                    m_state = State::Quoted;
                } else if (c == ',') {
                    endField();
                } else if (isBlank(c)) {
                    m_state = State::AfterQuoted;
                } else {
                    return fail(QStringLiteral("not CSV: text after a closing quote"),
                                m_recordLine);
                }
                break;
            }
        }
        return true;
    }

    void endField() {
        size_t end = m_text.size();
        if (m_state == State::Unquoted) {
            while (end > m_fieldStart && isBlank(m_text[end - 1]))
                --end;
        } else if (m_state == State::FieldStart) {
            m_fieldStart = end;
        }
        m_bounds.emplace_back(m_fieldStart, end);
        m_state = State::FieldStart;
    }

    bool fail(const QString& what, std::optional<int> line = std::nullopt) {
        if (!m_error)
            m_error = QStringLiteral("%1:%2: %3").arg(m_table).arg(line.value_or(m_line)).arg(what);
        return false;
    }

    bool deliver() {
        // A line of blanks only, as some exporters leave at the end, is no record.
        if (m_fields.size() == 1 && m_fields[0].empty())
            return true;
        if (!m_headerRead)
            return readHeader();
        Record record;
        record.line = m_recordLine;
        record.m_fields = m_fields.data();
        record.m_count = m_fields.size();
        record.m_positions = m_positions.data();
        m_onRecord(record);
        return true;
    }

    bool readHeader() {
        m_headerRead = true;
        for (size_t i = 0; i < m_fields.size(); ++i) {
            for (size_t c = 0; c < m_columns.size(); ++c) {
                if (m_fields[i] == m_columns[c].name && m_positions[c] < 0)
                    m_positions[c] = int(i);
            }
        }
        for (size_t c = 0; c < m_columns.size(); ++c) {
            if (m_columns[c].required && m_positions[c] < 0)
                return fail(
                    QStringLiteral("missing column %1").arg(QLatin1String(m_columns[c].name)),
                    m_recordLine);
        }
        return true;
    }

    const QString& m_table;
    const std::vector<Column>& m_columns;
    const std::function<void(const Record&)>& m_onRecord;
    const TableLimits m_limits;
    std::vector<int> m_positions;
    std::int64_t m_tableBytes = -1;
    const RowEstimate* m_onEstimate = nullptr;
    std::int64_t m_bytes = 0;
    std::string m_pending;                           // a line not yet ended by its piece
    std::vector<std::string_view> m_fields;          // the record being delivered
    std::string m_text;                              // a quoted record's fields, unquoted
    std::vector<std::pair<size_t, size_t>> m_bounds; // where in m_text each field lies
    State m_state = State::FieldStart;
    size_t m_fieldStart = 0;
    bool m_inQuotes = false; // a quoted field goes on in the next line
    int m_line = 1;
    int m_recordLine = 1;
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
