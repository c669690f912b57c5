#include "firstpaint.h"

#include <QDateTime>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(QWidget* window, std::function<void()> then)
        : QObject(window)
        , m_then(std::move(then)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued, so the paint itself reaches the screen first.
            QTimer::singleShot(0, watched, [then = std::move(m_then)] { then(); });
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_then;
};

} // namespace

void afterFirstPaint(QWidget* window, std::function<void()> then) {
    new FirstPaintWatcher(window, std::move(then));
}

void reportFirstPaint(QWidget* window) {
    if (qEnvironmentVariableIsEmpty("QUILLON_FIRST_PAINT"))
        return;
    afterFirstPaint(window, [] {
        std::fprintf(stderr, "first paint at %lld\n",
                     static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
        std::fflush(stderr);
    });
}
