#pragma once

#include "feedsource.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace gtfs {

// One column a reader asks for. Columns may stand in any order; unknown ones are ignored.
struct Column {
    const char* name;
    bool required = false;
};

// One data record of a table, its fields in the order of the columns asked for. The fields
// point into the reader's buffer and are valid only during the call that hands out the record.
class Record {
public:
    int line = 0; // where the record starts in its file, counting the header as line 1
    std::string_view operator[](size_t column) const {
        const int at = m_positions[column];
        return at >= 0 && size_t(at) < m_count ? m_fields[size_t(at)] : std::string_view();
    }
    bool has(size_t column) const { return m_positions[column] >= 0; }

private:
    friend class CsvTableReader;
    const std::string_view* m_fields = nullptr;
    size_t m_count = 0;
    const int* m_positions = nullptr;
};

// How much of one table is read before it is refused: no feed makes memory or time grow
// without bound, blank lines and endless lines included.
struct TableLimits {
    std::int64_t lines = 0; // the header counts
    std::int64_t bytes = 0;
};

// Called once before the first record with the number of records the table will likely
// hold (from its size and its first lines), so the reader can reserve room once.
using RowEstimate = std::function<void(std::int64_t rows)>;

// Reads one RFC 4180 table (UTF-8 BOM, CRLF or LF, quoted fields) record by record. Spaces
// and tabs around a field are not part of it. A missing required column, malformed quoting, a
// NUL byte, text that is not UTF-8, a record over 1 MiB or a table past its limits ends the
// reading at once with *error naming the file and line.
bool readTable(const FeedSource& source, const QString& table, const std::vector<Column>& columns,
               const std::function<void(const Record&)>& onRecord, const TableLimits& limits,
               QString* error, const RowEstimate& onEstimate = {});

} // namespace gtfs
