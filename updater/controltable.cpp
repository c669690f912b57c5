#include "updater/controltable.h"

#include "updater/xp_progressbar.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSvgWidget>

namespace {

QWidget* create(const Control& c, QWidget* parent) {
    const QString text = QString::fromUtf8(c.text);
    switch (c.kind) {
    case UpdaterUi::Label:
        return new QLabel(text, parent);
    case UpdaterUi::List:
        return new QListWidget(parent);
    case UpdaterUi::Button:
        return new QPushButton(text, parent);
    case UpdaterUi::Picture:
        return new QSvgWidget(text, parent);
    case UpdaterUi::Line: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::HLine);
        line->setStyleSheet(QStringLiteral("color: palette(mid);"));
        return line;
    }
    case UpdaterUi::ProgressBar:
        return new XP_ProgressBar(parent);
    }
    return nullptr;
}

} // namespace

WindowControls createControls(QWidget* window, std::span<const Control> table) {
    return buildControls(window, table, create);
}
