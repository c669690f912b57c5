#include "controls.h"

#include "bannerbrowser.h"
#include "mainskin.h"
#include "picturebox.h"
#include "skinbutton.h"
#include "webviews.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeWidget>

namespace {

QFont textBoxFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(14.25);
    font.setBold(true);
    return font;
}

SkinButton* skinButton(SkinLook look, const QString& caption, QWidget* parent) {
    auto* button = new SkinButton(look, parent);
    button->setCaption(caption);
    return button;
}

} // namespace

QWidget* createControl(const UiLine& line, QWidget* window) {
    const QString text = QString::fromUtf8(line.text);
    switch (line.kind) {
    case Ui::Banner:
        return new webbrowser(window);
    case Ui::WebView:
        return createWebView(window);
    case Ui::Panel:
        return new QWidget(window);
    case Ui::TextBox: {
        auto* box = new QLineEdit(text, window);
        box->setFont(textBoxFont());
        return box;
    }
    case Ui::LineEdit:
        return new QLineEdit(text, window);
    case Ui::Label: {
        auto* label = new QLabel(text, window);
        label->setAttribute(Qt::WA_TranslucentBackground);
        return label;
    }
    case Ui::PlainText:
        return new QPlainTextEdit(text, window);
    case Ui::PushButton:
        return new QPushButton(text, window);
    case Ui::RadioButton:
        return new QRadioButton(text, window);
    case Ui::OkCancel:
        return new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, window);
    case Ui::Picture:
    case Ui::Stretched:
        return new PictureBox(text, line.kind == Ui::Stretched, window);
    case Ui::RowList:
        return new QTreeWidget(window);
    case Ui::IconList:
        return new QListWidget(window);
    case Ui::StatusBar:
        return new QStatusBar(window);
    case Ui::Skin:
        return new Main(window);
    case Ui::LZButton:
        return skinButton(SkinLook::LZCommand, text, window);
    case Ui::BZButton:
        return skinButton(SkinLook::BZCommand, text, window);
    case Ui::NZButton:
        return skinButton(SkinLook::NZCommand, text, window);
    case Ui::SZButton:
        return skinButton(SkinLook::SZCommand, text, window);
    case Ui::LeftButton:
        return skinButton(SkinLook::LeftCommand, text, window);
    case Ui::RightButton:
        return skinButton(SkinLook::RightCommand, text, window);
    }
    return nullptr;
}
