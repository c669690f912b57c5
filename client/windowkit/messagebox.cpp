#include "messagebox.h"

namespace {
MessageHandler& handler() {
    static MessageHandler instance;
    return instance;
}
} // namespace

void showMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                    const QString& title) {
    if (handler()) {
        handler()(text);
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void setMessageHandler(MessageHandler h) {
    handler() = std::move(h);
}
