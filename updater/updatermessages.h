#pragma once

#include "messagebox.h"

// Every message of the updater: the critical icon and the title "错误".
inline void showUpdaterMessage(QWidget* parent, const QString& text) {
    showMessageBox(parent, text, QMessageBox::Critical, QStringLiteral("错误"));
}
