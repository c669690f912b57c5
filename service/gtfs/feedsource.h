#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace gtfs {

// Where the tables of a feed come from: a folder (also a resource folder), a zip file, or
// memory. Tables are handed out in pieces so a huge file never sits in memory whole. In a
// folder only regular files are read: a FIFO or a device would block or never end.
class FeedSource {
public:
    using Sink = std::function<bool(std::string_view piece)>; // false stops the reading

    virtual ~FeedSource() = default;
    virtual bool has(const QString& table) const = 0;
    // Feeds the table's bytes to sink in order. False with *error when it cannot be read.
    virtual bool read(const QString& table, const Sink& sink, QString* error) const = 0;
    // The table's size in bytes as its file or archive states it (a hint, not a promise), or
    // -1 when unknown.
    virtual std::int64_t size(const QString& table) const = 0;

    // A folder or a ".zip" file; nullptr with *error naming the path when neither opens.
    static std::unique_ptr<FeedSource> open(const QString& path, QString* error);
};

// Tables held in memory, keyed by file name ("stops.txt"): for tests and the fuzzer.
class MemorySource : public FeedSource {
public:
    explicit MemorySource(QMap<QString, QByteArray> tables)
        : m_tables(std::move(tables)) {}
    bool has(const QString& table) const override { return m_tables.contains(table); }
    bool read(const QString& table, const Sink& sink, QString* error) const override;
    std::int64_t size(const QString& table) const override {
        return m_tables.contains(table) ? m_tables.value(table).size() : -1;
    }

private:
    QMap<QString, QByteArray> m_tables;
};

} // namespace gtfs
