#pragma once

class QScreen;
class QWidget;

// Puts a window, frame included, in the middle of a screen's work area: `screen`, or the one
// the window is on. A window not shown yet has no known frame and is centred by its client area.
void centreOnScreen(QWidget* window, const QScreen* screen = nullptr);
