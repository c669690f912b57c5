#pragma once

class QScreen;
class QSize;
class QWidget;

// Puts a window, frame included, in the middle of a screen's work area: `screen`, or the one
// the window is on. A window not shown yet has no known frame and is centred by its client area.
void centreOnScreen(QWidget* window, const QScreen* screen = nullptr);

// What the window manager adds around a window, as it stands now. The widget's own frame
// geometry is only brought up to date when the window moves or resizes, and a manager may
// frame a window after its last move: read the native window's margins instead.
QSize frameAround(const QWidget* window);
