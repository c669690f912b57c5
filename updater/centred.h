#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// Both updater windows open in the middle of the screen they appear on.
inline void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}
