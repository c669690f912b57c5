#include "bannerbrowser.h"

#include "silentpage.h"
#include "twips.h"

#include <QTimer>
#include <QWebEngineView>

namespace {
constexpr int kOverhang = 30; // twips on every side
}

webbrowser::webbrowser(QWidget* parent)
    : QWidget(parent) {}

void webbrowser::createBrowser() {
    if (WebBrowser1)
        return;
    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setPage(new SilentPage(WebBrowser1));
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
        WebBrowser1->setUrl(m_address);
}

void webbrowser::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void webbrowser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!WebBrowser1)
        QTimer::singleShot(0, this, &webbrowser::createBrowser);
    else
        UserControl_Show();
}
