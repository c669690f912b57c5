#pragma once

#include <httplib.h>

#include <chrono>
#include <memory>

// The HTTP server of the service with the limits that keep a few clients from stalling it:
// its own pool of workers, a deadline for every request (head and body), the oldest idle
// keep-alive connection closed when a new one needs its worker, pipelined requests answered in
// order, request heads capped in bytes and lines (431), bodies refused (413; no route takes
// one), the system's listen backlog and no port sharing.
struct HttpLimits {
    int workers = 128;
    std::chrono::milliseconds requestDeadline{10000}; // from a request's first byte to its head
    std::chrono::milliseconds keepAlive{5000};        // idle between requests
    std::chrono::milliseconds ioTimeout{5000};        // one read or write
    int requestsPerConnection = 100;
    size_t maxHeadBytes = 32 * 1024;
    size_t maxHeaderLines = 100;
};

class GuardedServer : public httplib::Server {
public:
    using Limits = HttpLimits;

    explicit GuardedServer(Limits limits = {});
    ~GuardedServer() override;

    // Binds like bind_to_port/bind_to_any_port with the listen queue at the system's maximum.
    // Returns the port, or -1 (for instance when another process listens there).
    int bindGuarded(const std::string& host, int port);

    // Serves one connected socket on the calling thread, as a worker does, and closes it.
    void serveConnection(int fd);

    struct Connections;

private:
    bool process_and_close_socket(socket_t sock) override;

    Limits m_limits;
    std::shared_ptr<Connections> m_connections;
};

// Range requests: pages ignore Range; a file answers one range at most, and 416 when it cannot
// be satisfied. Call from a route that serves `length` bytes; false when it answered 416.
bool acceptRange(const httplib::Request& req, httplib::Response& res, size_t length);
// For the pre-routing handler: drops Range where it is not served (pages, several ranges).
void dropUnservedRange(const httplib::Request& req);
