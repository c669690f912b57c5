#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QString>

// Why a label's text is not wholly readable: cut by the label, on or past its window's edge, or
// covered by a sibling stacked over it. Empty when the whole text shows.
inline QString labelTextCut(const QLabel* label) {
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect inside = label->contentsRect();
    const QRect text = QFontMetrics(label->font()).boundingRect(inside, flags, label->text());
    if (!inside.contains(text))
        return QStringLiteral("%1 cut by its own size").arg(label->objectName());
    const QRect placed = text.translated(label->pos());
    const QWidget* parent = label->parentWidget();
    if (!parent->rect().adjusted(2, 2, -2, -2).contains(placed)) // not on the edge either
        return QStringLiteral("%1 runs past the window's edge").arg(label->objectName());
    const QObjectList& siblings = parent->children();
    for (qsizetype i = siblings.indexOf(label) + 1; i < siblings.size(); ++i) {
        const auto* over = qobject_cast<const QWidget*>(siblings[i]);
        if (over && over->isVisibleTo(parent) && over->geometry().intersects(placed))
            return QStringLiteral("%1 covered by %2").arg(label->objectName(), over->objectName());
    }
    return {};
}
