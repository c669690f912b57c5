#pragma once

#include "twips.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <iterator>

// One line of a window's table: a control's name, what it is, its place in twips (within the
// control `parent` names, else the window), its first text (a caption, a box's text or a
// picture's resource) and whether it shows at first. Each program has its own kinds.
template <typename Kind> struct ControlLine {
    const char* name;
    Kind kind;
    int left, top, width, height;
    const char* text = "";
    bool visible = true;
    const char* parent = nullptr;
};

// A window's controls by their table names.
class WindowControls {
public:
    void add(const char* name, QWidget* control) { m_byName.insert(QLatin1String(name), control); }
    QWidget* operator[](const QString& name) const { return m_byName.value(name); }
    QWidget* operator[](const char* name) const { return m_byName.value(QLatin1String(name)); }
    template <typename T, typename Name> T* as(const Name& name) const {
        return qobject_cast<T*>((*this)[name]);
    }

private:
    QHash<QString, QWidget*> m_byName;
};

// Makes, names, places and shows every control of `table` as its line says, with
// `create(line, window)`. Lines run front to back: a control higher in the table lies over
// those below it, and comes later in the window's tab order. A control with a parent goes into
// it, whose line may come anywhere in the table.
template <typename Table, typename Create>
WindowControls buildControls(QWidget* window, const Table& table, Create create) {
    WindowControls made;
    // Made back to front, each new control lies over the ones made before it.
    for (auto it = std::rbegin(table); it != std::rend(table); ++it)
        made.add(it->name, create(*it, window));
    for (auto it = std::rbegin(table); it != std::rend(table); ++it) {
        QWidget* control = made[it->name];
        if (it->parent)
            control->setParent(made[it->parent]); // over the container's earlier children
        control->setObjectName(QLatin1String(it->name));
        placeTwips(control, it->left, it->top, it->width, it->height);
        control->setVisible(it->visible);
    }
    return made;
}
