#include "messages.h"

#include <QMessageBox>

namespace {
MessageHandler& handler() {
    static MessageHandler instance;
    return instance;
}
} // namespace

void showMessage(QWidget* parent, const QString& text) {
    if (handler()) {
        handler()(text);
        return;
    }
    QMessageBox::information(parent, QStringLiteral("信息："), text, QMessageBox::Ok);
}

void setMessageHandler(MessageHandler h) {
    handler() = std::move(h);
}
