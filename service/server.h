#pragma once

#include "timetable.h"
#include "release.h"

#include <QString>

#include <memory>

// The timetable service over HTTP. Answers are built from a read-only Timetable, so the
// server's worker threads share it without locking; only the session table is guarded.
class TimetableServer {
public:
    explicit TimetableServer(Timetable data);
    ~TimetableServer();
    TimetableServer(const TimetableServer&) = delete;
    TimetableServer& operator=(const TimetableServer&) = delete;

    // Binds host:port; port 0 lets the system pick. Returns the bound port, or -1.
    int bind(const QString& host, int port);
    // What the update routes offer; set before serve(). Without it, the installed version.
    void setRelease(Release release);
    // Serves until stop() from another thread. Returns false when it could not serve.
    bool serve();
    // Safe to call from any thread, before or while serve() runs.
    void stop();
    // Serves one connected socket on the calling thread, as a worker would, and closes it.
    void serveConnection(int fd);

    static constexpr const char* sessionCookie = "QLSESSION";

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
