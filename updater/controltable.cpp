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
    case Control::Label:
        return new QLabel(text, parent);
    case Control::List:
        return new QListWidget(parent);
    case Control::Button:
        return new QPushButton(text, parent);
    case Control::Picture:
        return new QSvgWidget(text, parent);
    case Control::Line: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::HLine);
        line->setStyleSheet(QStringLiteral("color: palette(mid);"));
        return line;
    }
    case Control::ProgressBar:
        return new XP_ProgressBar(parent);
    }
    return nullptr;
}

} // namespace

void createControls(QWidget* window, std::span<const Control> table) {
    for (const Control& c : table)
        place(create(c, window), c.at);
}
