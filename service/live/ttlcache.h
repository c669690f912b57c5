#pragma once

#include <QHash>
#include <QString>

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>

namespace live {

// Answers kept for a while, at most `capacity` of them; the oldest go first once it is full.
// Server threads share it.
template <typename V> class TtlCache {
public:
    using Clock = std::chrono::steady_clock;

    explicit TtlCache(qsizetype capacity)
        : m_capacity(capacity) {}

    std::optional<V> get(const QString& key) const {
        std::lock_guard lock(m_mutex);
        auto it = m_entries.constFind(key);
        if (it == m_entries.cend() || it->expires <= Clock::now())
            return std::nullopt;
        return it->value;
    }

    void put(const QString& key, V value, std::chrono::seconds ttl) {
        std::lock_guard lock(m_mutex);
        auto it = m_entries.find(key);
        if (it != m_entries.end()) {
            *it = Entry{std::move(value), Clock::now() + ttl};
            return;
        }
        while (m_entries.size() >= m_capacity && !m_order.empty()) {
            m_entries.remove(m_order.front());
            m_order.pop_front();
        }
        m_entries.insert(key, Entry{std::move(value), Clock::now() + ttl});
        m_order.push_back(key);
    }

    void clear() {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
        m_order.clear();
    }

    qsizetype size() const {
        std::lock_guard lock(m_mutex);
        return m_entries.size();
    }

private:
    struct Entry {
        V value;
        Clock::time_point expires;
    };
    qsizetype m_capacity;
    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
    std::deque<QString> m_order;
};

} // namespace live
