#pragma once

#include <QWidget>

// Windows are designed in twips; 15 twips make one logical pixel at 96 dpi.
constexpr int px(int twips) {
    return twips >= 0 ? (twips * 2 + 15) / 30 : -((-twips * 2 + 15) / 30);
}
constexpr int twips(int pixels) {
    return pixels * 15;
}

inline void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(px(left), px(top), px(width), px(height));
}
