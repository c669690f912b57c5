#include "centre.h"

#include <QScreen>
#include <QWidget>
#include <QWindow>

QSize frameAround(const QWidget* window) {
    const QWindow* native = window->windowHandle();
    if (!native)
        return QSize(0, 0); // never shown: no frame yet
    const QMargins margins = native->frameMargins();
    // While the manager takes the window on, a margin can read negative: no frame yet.
    if (margins.left() < 0 || margins.top() < 0 || margins.right() < 0 || margins.bottom() < 0)
        return QSize(0, 0);
    return QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void centreOnScreen(QWidget* window, const QScreen* screen) {
    if (!screen)
        screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = window->size() + frameAround(window);
    window->move(area.left() + (area.width() - outer.width()) / 2,
                 area.top() + (area.height() - outer.height()) / 2);
}
