#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// Every message of a program goes through one function: a modal box with one OK button and
// the program's title and icon. Tests and unattended runs route the messages elsewhere.
void showMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                    const QString& title);

using MessageHandler = std::function<void(const QString& text)>;
// Routes messages to `handler` instead of a box; an empty handler restores the box.
void setMessageHandler(MessageHandler handler);
