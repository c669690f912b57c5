#include "bannerbrowser.h"

#include "firstpaint.h"
#include "twips.h"
#include "webviews.h"

namespace {
constexpr int kOverhang = 30; // twips on every side
}

webbrowser::webbrowser(QWidget* parent)
    : QWidget(parent) {}

void webbrowser::createBrowser() {
    if (WebBrowser1)
        return;
    WebBrowser1 = createWebView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setContextMenuPolicy(Qt::NoContextMenu);
    UserControl_Resize();
    WebBrowser1->show();
    UserControl_Show();
}

void webbrowser::UserControl_Resize() {
    if (!WebBrowser1)
        return;
    WebBrowser1->setGeometry(-px(kOverhang), -px(kOverhang), width() + 2 * px(kOverhang),
                             height() + 2 * px(kOverhang));
}

void webbrowser::UserControl_Show() {
    if (WebBrowser1 && m_address.isValid())
        setWebViewAddress(WebBrowser1, m_address);
}

void webbrowser::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void webbrowser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (WebBrowser1) {
        UserControl_Show();
    } else {
        // A zero timer would fire before the window's first expose: the engine's start-up
        // (a tenth of a second) would then hold the window's first picture back. A second
        // show before that paint only asks again, and createBrowser() makes one browser.
        afterFirstPaint(this, [this] { createBrowser(); });
    }
}
