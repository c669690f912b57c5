#include "skinbutton.h"
#include "twips.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QRegion>
#include <QSvgRenderer>

#include <array>

namespace {

// Lengths in twips, as the looks were designed.
struct Look {
    int width, height;      // the pictures
    int captionX, captionY; // top left of the printed caption
    const char* family;     // the designed face first, then what Linux has instead
    const char* fallback;
    bool bold;
    qreal pointSize;
    const char* picture; // ":/buttons/<picture>.svg", and "<picture>_hover.svg" for the hover look
};

// Indexed by SkinLook.
// clang-format off
constexpr std::array<Look, 6> kLooks{{
    {2490, 810, 900, 270, "华文细黑",    "WenQuanYi Micro Hei", true,  12.0,  "lz"},
    {630,  600, 200, 160, "Arial",       "Liberation Sans",     true,  12.0,  "bz"},
    {630,  600, 200, 160, "Arial",       "Liberation Sans",     true,  12.0,  "nz"},
    {1020, 690, 260, 200, "华文细黑",    "WenQuanYi Micro Hei", true,  12.0,  "sz"},
    {1200, 570, 260, 150, "楷体_GB2312", "AR PL UKai CN",       false, 14.25, "left"},
    {1230, 570, 260, 150, "楷体_GB2312", "AR PL UKai CN",       false, 14.25, "right"},
}};
// clang-format on

const Look& lookOf(SkinLook look) {
    return kLooks[static_cast<std::size_t>(look)];
}

QFont captionFont(const Look& look) {
    QFont font;
    font.setFamilies({QString::fromUtf8(look.family), QString::fromLatin1(look.fallback)});
    font.setBold(look.bold);
    font.setPointSizeF(look.pointSize);
    return font;
}

// Every instance of a look shares its two pictures, rendered once per pixel ratio.
QPixmap picture(const Look& look, bool hover, QSize size, qreal ratio) {
    const QString path =
        QStringLiteral(":/buttons/%1%2.svg")
            .arg(QLatin1String(look.picture), hover ? QStringLiteral("_hover") : QString());
    const QString key = QStringLiteral("skinbutton:%1@%2").arg(path).arg(ratio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    cached = QPixmap::fromImage(image);
    cached.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, cached);
    return cached;
}

// The button holding the stand-in capture, if any.
QPointer<SkinButton>& captor() {
    static QPointer<SkinButton> instance;
    return instance;
}

} // namespace

SkinButton::SkinButton(SkinLook look, QWidget* parent)
    : QWidget(parent)
    , m_look(look) {
    initUiResources();
    // Moves arrive without a pressed button, as they do for the capture this stands in for.
    setMouseTracking(true);
    // Reached with Tab, not taken by a click: a keypad key leaves the focus in the box.
    setFocusPolicy(Qt::TabFocus);
    setFont(captionFont(lookOf(look)));
    resize(pictureSize());
}

QString SkinButton::Caption() const {
    return m_caption;
}

void SkinButton::setCaption(const QString& caption) {
    m_caption = caption;
    DrawGrid();
}

void SkinButton::DrawGrid() {
    // repaint() does nothing while hidden, so a later show still paints the new state.
    if (isVisible())
        repaint();
    else
        update();
}

QSize SkinButton::pictureSize() const {
    const Look& look = lookOf(m_look);
    return {px(look.width), px(look.height)};
}

void SkinButton::paintEvent(QPaintEvent*) {
    const Look& look = lookOf(m_look);
    QPainter painter(this);
    // At its own size from the top left: a larger button shows the surface beyond it, a
    // smaller one cuts the picture off. The pictures' rounded corners let the skin show through.
    const QRegion beyond = QRegion(rect()).subtracted(QRect(QPoint(0, 0), pictureSize()));
    for (const QRect& part : beyond)
        painter.fillRect(part, palette().color(QPalette::Button));
    painter.drawPixmap(0, 0, picture(look, m_hovered, pictureSize(), devicePixelRatioF()));
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::ButtonText));
    // The caption point is a print position: the top left of the text, not its baseline.
    const QFontMetrics metrics(font());
    painter.drawText(px(look.captionX), px(look.captionY) + metrics.ascent(), m_caption);
    // Only once the keyboard moves the focus, as Qt's own buttons do.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        // The keyboard's place: a dotted frame inside the picture's rounded corners.
        QPen pen(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const QSize picture = pictureSize().boundedTo(size());
        painter.drawRect(QRect(QPoint(0, 0), picture).adjusted(3, 3, -4, -4));
    }
}

void SkinButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat()) {
            Q_EMIT Click();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void SkinButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void SkinButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

bool SkinButton::isInside(const QPointF& pos) const {
    // Both edges count as inside.
    return pos.x() >= 0 && pos.x() <= width() && pos.y() >= 0 && pos.y() <= height();
}

void SkinButton::setHovered(bool hovered) {
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    DrawGrid();
}

void SkinButton::hover(bool inside) {
    // Stands in for the mouse capture: while hovered the button sees every pointer move of the
    // program, so one resting on its right or bottom edge, a pixel beyond the widget, still
    // counts as over it, and the first move beyond that is the button's, not a neighbour's.
    if (inside != m_captured) {
        m_captured = inside;
        if (inside) {
            if (captor() && captor() != this)
                captor()->hover(false); // one capture for all windows
            captor() = this;
            qApp->installEventFilter(this);
        } else {
            if (captor() == this)
                captor() = nullptr;
            qApp->removeEventFilter(this);
        }
    }
    setHovered(inside);
}

void SkinButton::enterEvent(QEnterEvent* event) {
    // While another button holds the capture the move that brought the pointer here is its.
    if (!captor())
        hover(isInside(event->position()));
}

void SkinButton::leaveEvent(QEvent*) {
    // Onto another widget of the window: the next move decides. Out of the window no move
    // follows, so the pointer's place decides now.
    const QPoint at = QCursor::pos();
    if (!m_captured || !window()->rect().contains(window()->mapFromGlobal(at)))
        hover(isInside(mapFromGlobal(QPointF(at))));
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
    hover(isInside(event->position()));
}

void SkinButton::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    hover(false);
}

bool SkinButton::eventFilter(QObject* watched, QEvent* event) {
    // A move reaches the window and then the widget under the pointer: judge it once, there.
    if (event->type() != QEvent::MouseMove || watched == this || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    const auto* move = static_cast<QMouseEvent*>(event);
    if (widget->window() != window()) {
        hover(false);
        return false;
    }
    hover(isInside(mapFromGlobal(move->globalPosition())));
    return true; // the captured move is not the widget's under the pointer
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton && isInside(event->position());
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && isInside(event->position());
    m_pressed = false;
    if (click)
        Q_EMIT Click();
}
