#include "centre.h"

#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget* window, const QScreen* screen) {
    if (!screen)
        screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.left() + (area.width() - outer.width()) / 2,
                 area.top() + (area.height() - outer.height()) / 2);
}
