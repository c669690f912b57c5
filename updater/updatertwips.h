#pragma once

#include <QWidget>

// Windows are designed in twips; 15 twips make one logical pixel at 96 dpi.
constexpr int px(int twips) {
    return (twips * 2 + 15) / 30;
}

struct Placement {
    const char* name;
    int left, top, width, height;
};

inline void place(QWidget* widget, const Placement& at) {
    widget->setObjectName(QLatin1String(at.name));
    widget->setGeometry(px(at.left), px(at.top), px(at.width), px(at.height));
}
