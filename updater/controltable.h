#pragma once

#include "windowtable.h"

#include <span>

// What a line of an updater window's table makes.
enum class UpdaterUi { Label, List, Button, Picture, Line, ProgressBar };

using Control = ControlLine<UpdaterUi>;

// Makes, names and places every control of `table` in `window` (see buildControls).
WindowControls createControls(QWidget* window, std::span<const Control> table);
