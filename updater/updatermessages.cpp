#include "updatermessages.h"

#include <QMessageBox>

namespace {
UpdaterMessageHandler& handler() {
    static UpdaterMessageHandler instance;
    return instance;
}
} // namespace

void showUpdaterMessage(QWidget* parent, const QString& text) {
    if (handler()) {
        handler()(text);
        return;
    }
    QMessageBox::critical(parent, QStringLiteral("错误"), text, QMessageBox::Ok);
}

void setUpdaterMessageHandler(UpdaterMessageHandler h) {
    handler() = std::move(h);
}
