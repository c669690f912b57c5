#pragma once

#include <QString>
#include <QUrl>

#include <httplib.h>

#include <chrono>
#include <thread>

// A small HTTP server on 127.0.0.1 with a port the system picks (or the one asked for),
// stopped with the object.
class LoopbackServer {
public:
    httplib::Server server;

    // False when `port` is taken.
    bool start(int port = 0) {
        // Idle keep-alive connections would hold up stop() for their whole time-out.
        server.set_keep_alive_timeout(1);
        if (port > 0 && !server.bind_to_port("127.0.0.1", port))
            return false;
        m_port = port > 0 ? port : server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
    ~LoopbackServer() {
        server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

private:
    int m_port = 0;
    std::thread m_thread;
};
