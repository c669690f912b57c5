#pragma once

#include "messagebox.h"

// Every message of the client: the information icon and the title "信息：".
inline void showMessage(QWidget* parent, const QString& text) {
    showMessageBox(parent, text, QMessageBox::Information, QStringLiteral("信息："));
}
