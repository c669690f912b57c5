#pragma once

#include "windowtable.h"

// What a line of a client window's table makes.
enum class Ui {
    Banner,    // the main window's banner browser
    WebView,   // a page browser from the web module
    Panel,     // a plain container for other lines
    TextBox,   // a box of the main window, in its large type
    LineEdit,  // a box in the system's type
    Label,     // a line of text over what lies below
    PlainText, // read-only text with a scroll bar
    PushButton,
    RadioButton,
    OkCancel,  // a dialog's OK and Cancel buttons, at its right
    Picture,   // a picture at its own size
    Stretched, // a picture over the whole control
    RowList,   // a list of rows with columns
    IconList,  // a list of icons with names
    StatusBar,
    Skin, // the main window's skin
    // Picture buttons of the skin, one kind per look.
    LZButton,
    BZButton,
    NZButton,
    SZButton,
    LeftButton,
    RightButton,
};

using UiLine = ControlLine<Ui>;

// Makes the control of one line in `window`, with the line's text as its caption, text or
// picture.
QWidget* createControl(const UiLine& line, QWidget* window);

// The controls of a client window's table, made, placed and stacked (see buildControls).
template <typename Table> WindowControls buildWindow(QWidget* window, const Table& table) {
    return buildControls(window, table, createControl);
}
