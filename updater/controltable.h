#pragma once

#include "twips.h"

#include <QWidget>

#include <span>

// One line of an updater window's table: the control's name and place in twips, its kind and
// its first text (a caption, or the picture's resource).
struct Control {
    enum Kind { Label, List, Button, Picture, Line, ProgressBar };
    Placement at;
    Kind kind;
    const char* text = "";
};

// Creates, names and places every control of `table` in `window`, front to back.
void createControls(QWidget* window, std::span<const Control> table);
