#pragma once

#include <QString>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

// A misbehaving HTTP server on 127.0.0.1: every connection reads one request, gets `reply`
// written as is, then the server ends it the way `ending` says. For what a well-behaved server
// library will not do: cut bodies, resets, trickles, stalls.
class ScriptedServer {
public:
    enum class Ending { Close, Reset, Hold };
    std::string reply;
    Ending ending = Ending::Close;
    std::chrono::milliseconds trickle{0}; // when set, one byte of `reply` per interval

    ScriptedServer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 16);
        socklen_t size = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &size);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~ScriptedServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    QUrl url(const QString& path = QStringLiteral("/")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
    }
    int port() const { return m_port; }

private:
    bool wait(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    void pause(std::chrono::milliseconds span) {
        for (auto left = span; left.count() > 0 && !m_stop; left -= std::chrono::milliseconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    void run() {
        while (!m_stop) {
            if (!wait(m_listen, 20))
                continue;
            const int fd = ::accept(m_listen, nullptr, nullptr);
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos && wait(fd, 2000)) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, size_t(n));
            }
            if (trickle.count() > 0) {
                for (size_t i = 0; i < reply.size() && !m_stop; ++i) {
                    ::send(fd, reply.data() + i, 1, MSG_NOSIGNAL);
                    pause(trickle);
                }
            } else {
                ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            if (ending == Ending::Hold) {
                while (!m_stop && !(wait(fd, 20) && ::recv(fd, buffer, sizeof buffer, 0) <= 0)) {
                }
            } else {
                pause(std::chrono::milliseconds(50));
                if (ending == Ending::Reset) {
                    const linger hard{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                }
            }
            ::close(fd);
        }
    }

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
