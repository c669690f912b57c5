#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message of the client: a modal box with the information icon, the title "信息：" and
// one OK button. Tests replace the box with a recorder.
void showMessage(QWidget* parent, const QString& text);

using MessageHandler = std::function<void(const QString& text)>;
// Routes messages to `handler` instead of a box; an empty handler restores the box.
void setMessageHandler(MessageHandler handler);
