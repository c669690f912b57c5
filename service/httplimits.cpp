#include "httplimits.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

bool waitFor(int fd, short events, milliseconds timeout) {
    pollfd p{fd, events, 0};
    const int ms = int(std::max<milliseconds::rep>(0, timeout.count()));
    return ::poll(&p, 1, ms) > 0;
}

void sendAll(int fd, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += size_t(n);
    }
}

std::string closingAnswer(int status, const char* reason) {
    return "HTTP/1.1 " + std::to_string(status) + ' ' + reason +
           "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
}

// Whether a request head announces a body: a Content-Length other than 0, or any
// Transfer-Encoding.
bool announcesBody(const std::string& head) {
    size_t at = head.find('\n');
    while (at != std::string::npos && at + 1 < head.size()) {
        const size_t end = head.find('\n', at + 1);
        std::string line = head.substr(at + 1, end == std::string::npos ? end : end - at - 1);
        at = end;
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r") + 1);
        if (name == "transfer-encoding")
            return true;
        if (name == "content-length" && value.find_first_not_of('0') != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

// Every open connection and what it is doing, so a worker can be freed when all are taken.
struct GuardedServer::Connections {
    enum class State { Idle, Head, Busy };
    struct Entry {
        int fd;
        State state;
        Clock::time_point since;
        bool shed = false;
    };
    using Handle = std::list<Entry>::iterator;

    Handle add(int fd) {
        std::lock_guard lock(mutex);
        entries.push_back({fd, State::Head, Clock::now()});
        return std::prev(entries.end());
    }
    void set(Handle h, State state) {
        std::lock_guard lock(mutex);
        h->state = state;
        h->since = Clock::now();
    }
    bool shed(Handle h) {
        std::lock_guard lock(mutex);
        return h->shed;
    }
    void remove(Handle h) {
        std::lock_guard lock(mutex);
        entries.erase(h);
    }
    // Closes `count` connections: each the one idle the longest, else the one longest in its
    // request head (a client that trickles it); busy ones finish. The socket is shut down, not
    // closed: its worker sees the end and closes it.
    void shed(size_t count) {
        std::lock_guard lock(mutex);
        // Those already shed free their workers shortly.
        const auto pending = size_t(
            std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.shed; }));
        count = count > pending ? count - pending : 0;
        while (count-- > 0 && shedOneLocked()) {
        }
    }
    bool shedOneLocked() {
        for (State state : {State::Idle, State::Head}) {
            auto oldest = entries.end();
            for (auto it = entries.begin(); it != entries.end(); ++it) {
                if (it->state == state && !it->shed &&
                    (oldest == entries.end() || it->since < oldest->since))
                    oldest = it;
            }
            if (oldest != entries.end()) {
                oldest->shed = true;
                ::shutdown(oldest->fd, SHUT_RDWR);
                return true;
            }
        }
        return false;
    }
    void shedWaiting() {
        std::lock_guard lock(mutex);
        for (Entry& e : entries) {
            if (e.state != State::Busy) {
                e.shed = true;
                ::shutdown(e.fd, SHUT_RDWR);
            }
        }
    }

    std::mutex mutex;
    std::list<Entry> entries;
};

namespace {

using Connections = GuardedServer::Connections;

// A fixed set of workers. A connection that finds none free frees one (Connections::shed),
// so a new client never waits behind idle or trickling ones.
class WorkerPool : public httplib::TaskQueue {
public:
    WorkerPool(int count, std::shared_ptr<Connections> connections)
        : m_connections(std::move(connections)) {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override {
        size_t waiting = 0;
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(fn));
            waiting = m_tasks.size() > m_free ? m_tasks.size() - m_free : 0;
        }
        // As many workers freed as connections wait, so the newest is not left behind them.
        m_connections->shed(waiting);
        m_wake.notify_one();
    }
    void shutdown() override {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_connections->shedWaiting();
        m_wake.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }

private:
    void work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                ++m_free;
                m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
                --m_free;
                if (m_tasks.empty())
                    return;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    std::shared_ptr<Connections> m_connections;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    size_t m_free = 0;
    bool m_stopping = false;
};

// The socket of one connection across all its requests: bytes a client sent ahead (pipelined
// requests) stay buffered for the next one. Reads end at the request's deadline; the request
// head is counted as it goes, and refused when too long or when it announces a body.
class GuardedStream : public httplib::Stream {
public:
    GuardedStream(int fd, const GuardedServer::Limits& limits, Connections& connections,
                  Connections::Handle handle)
        : m_fd(fd)
        , m_limits(limits)
        , m_connections(connections)
        , m_handle(handle) {}

    void beginRequest() {
        m_deadline = Clock::now() + m_limits.requestDeadline;
        m_head.clear();
        m_lines = 0;
        m_inHead = true;
        m_refused = false;
    }
    bool buffered() const { return m_pos < m_end; }

    bool is_readable() const override {
        return buffered() || waitFor(m_fd, POLLIN, std::min(m_limits.ioTimeout, left()));
    }
    bool is_writable() const override {
        return !m_refused && waitFor(m_fd, POLLOUT, m_limits.ioTimeout);
    }

    ssize_t read(char* ptr, size_t size) override {
        if (m_refused || (!buffered() && !fill()))
            return -1;
        size_t n = std::min(size, m_end - m_pos);
        if (m_inHead) {
            for (size_t i = 0; i < n; ++i) {
                const char c = m_buffer[m_pos + i];
                m_head.push_back(c);
                if (c == '\n')
                    ++m_lines;
                if (m_head.size() > m_limits.maxHeadBytes || m_lines > m_limits.maxHeaderLines) {
                    refuse(431, "Request Header Fields Too Large");
                    return -1;
                }
                if (c == '\n' && (m_head.ends_with("\r\n\r\n") || m_head.ends_with("\n\n"))) {
                    m_inHead = false;
                    if (announcesBody(m_head)) {
                        refuse(413, "Payload Too Large");
                        return -1;
                    }
                    m_connections.set(m_handle, Connections::State::Busy);
                    n = i + 1;
                    break;
                }
            }
        }
        std::copy_n(m_buffer + m_pos, n, ptr);
        m_pos += n;
        return ssize_t(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        // After a refusal the answer is out; the library's own error answer would follow it.
        if (m_refused || !waitFor(m_fd, POLLOUT, m_limits.ioTimeout))
            return -1;
        return ::send(m_fd, ptr, size, MSG_NOSIGNAL);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        address(&::getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        address(&::getsockname, ip, port);
    }
    socket_t socket() const override { return m_fd; }

private:
    milliseconds left() const {
        return std::chrono::duration_cast<milliseconds>(m_deadline - Clock::now());
    }
    bool fill() {
        const milliseconds wait = std::min(m_limits.ioTimeout, left());
        if (!waitFor(m_fd, POLLIN, wait)) {
            if (left().count() <= 0 && !(m_inHead && m_head.empty()))
                refuse(408, "Request Timeout");
            return false;
        }
        const ssize_t n = ::recv(m_fd, m_buffer, sizeof m_buffer, 0);
        if (n <= 0)
            return false;
        m_pos = 0;
        m_end = size_t(n);
        return true;
    }
    void refuse(int status, const char* reason) {
        m_refused = true;
        sendAll(m_fd, closingAnswer(status, reason));
    }
    void address(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
        sockaddr_storage addr{};
        socklen_t size = sizeof addr;
        ip.clear();
        port = 0;
        if (get(m_fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
            return;
        char text[64] = {};
        if (addr.ss_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(&addr);
            ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            port = ntohs(in->sin_port);
        } else if (addr.ss_family == AF_INET6) {
            const auto* in = reinterpret_cast<const sockaddr_in6*>(&addr);
            ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
            port = ntohs(in->sin6_port);
        }
        ip = text;
    }

    int m_fd;
    const GuardedServer::Limits& m_limits;
    Connections& m_connections;
    Connections::Handle m_handle;
    Clock::time_point m_deadline = Clock::now();
    char m_buffer[4096];
    size_t m_pos = 0;
    size_t m_end = 0;
    std::string m_head;
    size_t m_lines = 0;
    bool m_inHead = true;
    bool m_refused = false;
};

} // namespace

GuardedServer::GuardedServer(Limits limits)
    : m_limits(limits)
    , m_connections(std::make_shared<Connections>()) {
    new_task_queue = [this] { return new WorkerPool(m_limits.workers, m_connections); };
    // Address reuse for a quick restart, never port sharing: a second service on the same port
    // must fail to bind instead of splitting the connections with the first.
    set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
}

GuardedServer::~GuardedServer() = default;

int GuardedServer::bindGuarded(const std::string& host, int port) {
    const int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
    // The library listens with a queue of 5; a listening socket takes a new length in place.
    if (bound > 0)
        ::listen(svr_sock_, SOMAXCONN);
    return bound;
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
    serveConnection(sock);
    return true;
}

void GuardedServer::serveConnection(int fd) {
    const Connections::Handle handle = m_connections->add(fd);
    GuardedStream stream(fd, m_limits, *m_connections, handle);
    for (int served = 0; served < m_limits.requestsPerConnection; ++served) {
        if (!stream.buffered()) {
            m_connections->set(handle, Connections::State::Idle);
            if (!waitFor(fd, POLLIN, m_limits.keepAlive) || m_connections->shed(handle))
                break;
        }
        m_connections->set(handle, Connections::State::Head);
        stream.beginRequest();
        bool closed = false;
        const bool last = served + 1 == m_limits.requestsPerConnection;
        if (!process_request(stream, last, closed, [](httplib::Request&) {}) || closed)
            break;
    }
    m_connections->remove(handle);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

void dropUnservedRange(const httplib::Request& req) {
    if (req.ranges.empty())
        return;
    // A thousand overlapping ranges of a page would multiply it; pages are small and files
    // are resumed with one range.
    if (req.ranges.size() > 1 || req.path.rfind("/update/", 0) != 0)
        const_cast<httplib::Request&>(req).ranges.clear();
}

bool acceptRange(const httplib::Request& req, httplib::Response& res, size_t length) {
    if (req.ranges.size() != 1)
        return true;
    const auto [first, last] = req.ranges.front();
    const bool satisfiable = first < 0 ? last > 0 && length > 0 : size_t(first) < length;
    if (satisfiable && (last < 0 || first <= last))
        return true;
    const_cast<httplib::Request&>(req).ranges.clear();
    res.status = 416;
    res.set_header("Content-Range", "bytes */" + std::to_string(length));
    return false;
}
