// The service's request handling on arbitrary bytes from one connection: request lines, heads,
// pipelined requests, ranges, bodies, every route. The bytes go in through a socket pair, as
// from a client that sends them and then stops writing; what the service answers is drained
// and checked to be a sequence of HTTP answers.
#include "server.h"
#include "timetable.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

TimetableServer& service() {
    static TimetableServer* server = [] {
        QString error;
        std::optional<Timetable> data = Timetable::loadBuiltIn(&error);
        if (!data) {
            std::fprintf(stderr, "fuzz_request: %s\n", qPrintable(error));
            std::abort();
        }
        return new TimetableServer(std::move(*data));
    }();
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536)
        return 0;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    std::string answer;
    std::thread reader([&] {
        char buffer[65536];
        ssize_t n;
        while ((n = ::recv(pair[0], buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, size_t(n));
    });
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(pair[0], data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    ::shutdown(pair[0], SHUT_WR);
    service().serveConnection(pair[1]); // closes pair[1]
    reader.join();
    ::close(pair[0]);
    if (!answer.empty() && answer.rfind("HTTP/1.1 ", 0) != 0) {
        std::fprintf(stderr, "fuzz_request: an answer that is no HTTP answer\n");
        std::abort();
    }
    return 0;
}
