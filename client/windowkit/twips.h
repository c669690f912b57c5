#pragma once

#include <QRect>
#include <QWidget>

// Windows are designed in twips; 15 twips make one logical pixel at 96 dpi.
constexpr int px(int twips) {
    return twips >= 0 ? (twips * 2 + 15) / 30 : -((-twips * 2 + 15) / 30);
}
constexpr int twips(int pixels) {
    return pixels * 15;
}

// One control of a window, placed in twips within its parent.
struct Placement {
    const char* name;
    int left, top, width, height;
};

inline void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

// Names and places a control from its line of a window's table.
inline void place(QWidget* widget, const Placement& at) {
    widget->setObjectName(QLatin1String(at.name));
    placeTwips(widget, at.left, at.top, at.width, at.height);
}
