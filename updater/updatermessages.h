#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message of the updater goes through here: a modal box with the critical icon, the
// title "错误" and one OK button; the unattended mode and tests route messages elsewhere.
void showUpdaterMessage(QWidget* parent, const QString& text);

using UpdaterMessageHandler = std::function<void(const QString& text)>;
// Routes messages to `handler` instead of a box; an empty handler restores the box.
void setUpdaterMessageHandler(UpdaterMessageHandler handler);
