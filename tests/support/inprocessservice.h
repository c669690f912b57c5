#pragma once

#include "timetable.h"
#include "server.h"

#include <QString>
#include <QTest>

#include <memory>
#include <thread>

// The bundled timetable service running inside the test on 127.0.0.1, on a port the system
// picks; stopped when the object goes.
class InProcessService {
public:
    explicit InProcessService(const Timetable& data)
        : InProcessService(std::make_unique<TimetableServer>(data)) {}
    explicit InProcessService(std::shared_ptr<source::TimetableSource> source)
        : InProcessService(std::make_unique<TimetableServer>(std::move(source))) {}
    explicit InProcessService(std::unique_ptr<TimetableServer> server)
        : m_server(std::move(server)) {
        m_port = m_server->bind(QStringLiteral("127.0.0.1"), 0);
        if (m_port > 0)
            m_thread = std::thread([this] { m_server->serve(); });
    }
    ~InProcessService() {
        m_server->stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    bool isListening() const { return m_port > 0; }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }

private:
    std::unique_ptr<TimetableServer> m_server;
    std::thread m_thread;
    int m_port = -1;
};
