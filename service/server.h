#pragma once

#include "release.h"
#include "source.h"
#include "timetable.h"

#include <QString>

#include <memory>

// The timetable service over HTTP. Answers come from a TimetableSource, for the source's
// default day or for the day a "/d/YYYYMMDD/" prefix before any page names; the source is
// asked from several worker threads at once.
class TimetableServer {
public:
    explicit TimetableServer(std::shared_ptr<source::TimetableSource> source);
    // One timetable served for every day.
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
    // Makes the default day's station list, the slowest page to make (the pinyin of every
    // name), ahead of its first request, which waits for it meanwhile. Safe to call from any
    // thread, before or while serve() runs.
    void prepareStationList();
    // Serves one connected socket on the calling thread, as a worker would, and closes it.
    void serveConnection(int fd);

    static constexpr const char* sessionCookie = "QLSESSION";

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
