#pragma once

#include "feedsource.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace gtfs {

// One column a reader asks for. Columns may stand in any order; unknown ones are ignored.
struct Column {
    const char* name;
    bool required = false;
};

// One data record of a table, its fields in the order of the columns asked for.
class Record {
public:
    int line = 0; // where the record starts in its file, counting the header as line 1
    std::string_view operator[](size_t column) const {
        const int at = m_positions[column];
        return at >= 0 && size_t(at) < m_count ? std::string_view(m_fields[size_t(at)])
                                               : std::string_view();
    }
    bool has(size_t column) const { return m_positions[column] >= 0; }

private:
    friend class CsvTableReader;
    const std::string* m_fields = nullptr;
    size_t m_count = 0;
    const int* m_positions = nullptr;
};

// Reads one RFC 4180 table (UTF-8 BOM, CRLF or LF, quoted fields) record by record.
// A missing required column, malformed quoting, a NUL byte or a record over 1 MiB ends the
// reading with *error naming the file and line.
bool readTable(const FeedSource& source, const QString& table, const std::vector<Column>& columns,
               const std::function<void(const Record&)>& onRecord, QString* error);

} // namespace gtfs
