#pragma once

#include <functional>

class QWidget;

// Runs `then` once, from the event loop, right after `window` has painted for the first time:
// work that can wait (web views, downloads) goes there so the window shows at once.
void afterFirstPaint(QWidget* window, std::function<void()> then);

// With QUILLON_FIRST_PAINT set in the environment, prints "first paint at MS" (milliseconds
// since the epoch) on standard error after the window's first paint, for the start-up
// benchmark that compares programs started side by side.
void reportFirstPaint(QWidget* window);
