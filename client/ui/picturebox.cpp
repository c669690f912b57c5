#include "picturebox.h"

#include <QPainter>

void initUiResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(ui);
        return true;
    }();
    Q_UNUSED(registered);
}

PictureBox::PictureBox(const QString& resource, bool stretched, QWidget* parent)
    : QWidget(parent)
    , m_stretched(stretched) {
    initUiResources();
    m_renderer.load(resource);
    m_renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_renderer.render(&painter, m_stretched ? QRectF(rect()) : QRectF(QPointF(), pictureSize()));
}
