#include "form2.h"

#include "centre.h"
#include "picturebox.h"
#include "skinbutton.h"
#include "twips.h"
#include "webviews.h"

#include <QShortcut>

namespace {
constexpr int kClientWidth = 7440, kClientHeight = 6210;
}

Form2::Form2(QWidget* owner)
    : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    // Back to front: the banner, the two buttons, then the browser over the banner's foot.
    auto* banner = new PictureBox(QStringLiteral(":/detail_banner.svg"), true, this);
    banner->setObjectName(QStringLiteral("Image1"));
    placeTwips(banner, 0, 0, 7455, 405);

    connect(placeSkinButton(this, SkinLook::LeftCommand, "LeftCommand1", QStringLiteral(" 确定"),
                            4800, 5520, 1200, 600),
            &SkinButton::Click, this, &Form2::LeftCommand1_Click);
    connect(placeSkinButton(this, SkinLook::RightCommand, "RightCommand1", QStringLiteral(" 取消"),
                            6120, 5520, 1200, 600),
            &SkinButton::Click, this, &Form2::RightCommand1_Click);

    // Esc closes, wherever the keyboard is in the window (the page too).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &Form2::close);

    WebBrowser1 = createWebView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    placeTwips(WebBrowser1, 0, 360, 7455, 5055);
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
