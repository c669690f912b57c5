#include "form2.h"

#include "centre.h"
#include "controls.h"
#include "skinbutton.h"
#include "twips.h"
#include "webviews.h"

#include <QShortcut>

namespace {

constexpr int kClientWidth = 7440, kClientHeight = 6210;

// Front to back: the browser lies over the banner's foot.
constexpr UiLine kControls[] = {
    {"WebBrowser1", Ui::WebView, 0, 360, 7455, 5055},
    {"RightCommand1", Ui::RightButton, 6120, 5520, 1200, 600, " 取消"},
    {"LeftCommand1", Ui::LeftButton, 4800, 5520, 1200, 600, " 确定"},
    {"Image1", Ui::Stretched, 0, 0, 7455, 405, ":/detail_banner.svg"},
};

} // namespace

Form2::Form2(QWidget* owner)
    : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    const WindowControls controls = buildWindow(this, kControls);
    WebBrowser1 = controls["WebBrowser1"];
    connect(controls.as<SkinButton>("LeftCommand1"), &SkinButton::Click, this,
            &Form2::LeftCommand1_Click);
    connect(controls.as<SkinButton>("RightCommand1"), &SkinButton::Click, this,
            &Form2::RightCommand1_Click);

    // Esc closes, wherever the keyboard is in the window (the page too).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &Form2::close);
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Whole on the main window's screen, wherever the window system would put it.
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(this, parentWidget() ? parentWidget()->screen() : nullptr);
    }
}

void Form2::navigate(const QUrl& address) {
    setWebViewAddress(WebBrowser1, address);
}

void Form2::LeftCommand1_Click() {
    close();
}

void Form2::RightCommand1_Click() {
    close();
}
