#include "updater/xp_progressbar.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>

namespace {

QColor toQColor(quint32 c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

quint32 fromQColor(const QColor& c) {
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

// A rectangle given by two corners in any order, as the platform orders them.
QRect normalized(const XP_ProgressBar::Rect& r) {
    const int left = std::min(r.left, r.right), right = std::max(r.left, r.right);
    const int top = std::min(r.top, r.bottom), bottom = std::max(r.top, r.bottom);
    return QRect(left, top, right - left, bottom - top);
}

void FillColor(QPainter& p, const XP_ProgressBar::Rect& r, quint32 c) {
    p.fillRect(normalized(r), toQColor(XP_ProgressBar::TranslateColor(c)));
}

// A one-pixel frame just inside `r`.
void FrameColor(QPainter& p, const XP_ProgressBar::Rect& r, quint32 c) {
    const QRect q = normalized(r);
    if (q.isEmpty())
        return;
    const QColor color = toQColor(c);
    p.fillRect(QRect(q.left(), q.top(), q.width(), 1), color);
    p.fillRect(QRect(q.left(), q.bottom(), q.width(), 1), color);
    p.fillRect(QRect(q.left(), q.top(), 1, q.height()), color);
    p.fillRect(QRect(q.right(), q.top(), 1, q.height()), color);
}

// mode 0: colour changes from left to right; 1: from top to bottom.
void GradientRect(QPainter& p, int x, int y, int w, int h, quint32 from, quint32 to, int mode) {
    if (w <= 0 || h <= 0)
        return;
    const std::array<quint16, 3> a = XP_ProgressBar::ColorToVertex(from);
    const std::array<quint16, 3> b = XP_ProgressBar::ColorToVertex(to);
    QLinearGradient gradient(x, y, mode == 0 ? x + w : x, mode == 0 ? y : y + h);
    gradient.setColorAt(0, QColor(a[0] >> 8, a[1] >> 8, a[2] >> 8));
    gradient.setColorAt(1, QColor(b[0] >> 8, b[1] >> 8, b[2] >> 8));
    p.fillRect(QRect(x, y, w, h), gradient);
}

} // namespace

XP_ProgressBar::XP_ProgressBar(QWidget* parent)
    : QWidget(parent) {
    m_font = QFont(QStringLiteral("Tahoma"));
    m_font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    m_font.setPointSize(8);
    // Every pixel is painted from the back buffer; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_color = TranslateColor(kDefaultColor);
    ensureBuffer(width(), height());
}

void XP_ProgressBar::setShowText(bool bShowText) {
    m_showText = bShowText;
    update();
}

void XP_ProgressBar::setValue(int cValue) {
    m_value = cValue;
    update();
}

quint32 XP_ProgressBar::TranslateColor(quint32 c) {
    if (!(c & 0x80000000u))
        return c;
    const QPalette palette = QApplication::palette();
    QPalette::ColorRole role = QPalette::Window;
    switch (c & 0x7FFFFFFFu) {
    case 5:
        role = QPalette::Base;
        break; // window background
    case 8:
        role = QPalette::WindowText;
        break; // window text
    case 13:
        role = QPalette::Highlight;
        break; // highlight
    case 14:
        role = QPalette::HighlightedText;
        break; // highlighted text
    case 15:
        role = QPalette::Button;
        break; // button face
    case 17:
        return fromQColor(palette.color(QPalette::Disabled, QPalette::Text));
    case 18:
        role = QPalette::ButtonText;
        break;
    default:
        break;
    }
    return fromQColor(palette.color(QPalette::Active, role));
}

quint32 XP_ProgressBar::LightenColor(quint32 c, int a) {
    const int k = 255 - a;
    const auto blend = [&](int channel) { return std::min(255, a + k * channel / 255); };
    const int r = blend(int(c & 0xFF));
    const int g = blend(int((c >> 8) & 0xFF));
    const int b = blend(int((c >> 16) & 0xFF));
    return quint32(r + g * 256 + b * 65536);
}

std::array<quint16, 3> XP_ProgressBar::ColorToVertex(quint32 c) {
    return {quint16((c & 0xFF) << 8), quint16(((c >> 8) & 0xFF) << 8),
            quint16(((c >> 16) & 0xFF) << 8)};
}

QRegion XP_ProgressBar::cornerRegion(const QSize& size) {
    const int W = size.width(), H = size.height();
    QRegion region(0, 0, W, H);
    for (const QRect& cut : {QRect(0, 0, 2, 1), QRect(0, H - 1, 2, 1), QRect(W - 2, 0, 2, 1),
                             QRect(W - 2, H - 1, 2, 1), QRect(0, 1, 1, 1), QRect(0, H - 2, 1, 1),
                             QRect(W - 1, 1, 1, 1), QRect(W - 1, H - 2, 1, 1)})
        region -= cut;
    return region;
}

void XP_ProgressBar::ensureBuffer(int w, int h) {
    const bool grow =
        m_buffer.isNull() ? (w > 0 && h > 0) : (h > m_buffer.height() || w > m_buffer.width());
    if (grow)
        m_buffer = QImage(std::max(w, m_buffer.width()), std::max(h, m_buffer.height()),
                          QImage::Format_RGB32);
}

void XP_ProgressBar::resizeEvent(QResizeEvent* event) {
    ensureBuffer(width(), height());
    QWidget::resizeEvent(event);
}

void XP_ProgressBar::paintEvent(QPaintEvent*) {
    DrawProgressBar();
    setMask(cornerRegion(size()));
    QPainter screen(this);
    screen.drawImage(QPoint(0, 0), m_buffer, rect());
}

QString XP_ProgressBar::captionText() const {
    return QString::number(int(std::floor(m_shownFraction * 100))) + u'%';
}

void XP_ProgressBar::DrawProgressBar() {
    ensureBuffer(width(), height());
    if (m_buffer.isNull())
        return;
    m_clientRect = {0, 0, width(), height()};
    QPainter p(&m_buffer);
    p.setClipRect(QRect(0, 0, width(), height()));
    FillColor(p, m_clientRect, 0xFFFFFF);
    CalcBar();
    DrawBar(p);
    if (m_scrolling == 0)
        DrawSeparators(p);
    DrawCaption(p);
    DrawFrame(p);
}

void XP_ProgressBar::CalcBar() {
    m_barRect = m_clientRect;
    const Rect& c = m_clientRect;
    m_fraction = double(qint64(m_value) - m_min) / double(qint64(m_max) - m_min);
    if (m_fraction > 1)
        m_fraction = 1;
    if (!(m_fraction >= 0))
        m_fraction = 0;
    m_shownFraction = m_fraction;
    // std::nearbyint rounds halves to even, as the layout requires; % keeps the dividend's sign.
    if (m_orientation == 0) {
        m_barRect.right = c.left + int(std::nearbyint((c.right - c.left) * m_fraction));
        m_barRect.right -= (m_barRect.right - m_barRect.left) % (BlockWidth + BlockGap);
        if (m_barRect.right < c.left)
            m_barRect.right = c.left;
    } else {
        m_fraction = 1.0 - m_fraction - 0.02;
        m_barRect.top = c.top + int(std::nearbyint((c.bottom - c.top) * m_fraction));
        m_barRect.top -= (m_barRect.top - m_barRect.bottom) % (BlockWidth + BlockGap);
        if (m_barRect.top > c.bottom)
            m_barRect.top = c.bottom;
    }
}

void XP_ProgressBar::DrawBar(QPainter& p) {
    const quint32 C = m_color;
    const auto L = [C](int a) { return LightenColor(C, a); };
    const int B = m_clientRect.bottom, R = m_clientRect.right;
    const int x2 = m_barRect.right, yt = m_barRect.top;
    if (m_scrolling != 2) {
        if (m_orientation == 0) {
            GradientRect(p, 2, 3, x2 - 2, 6, L(150), C, 1);
            FillColor(p, {x2, 8, 2, B - 6}, C);
            GradientRect(p, 2, B - 8, x2 - 2, 6, C, L(150), 1);
        } else {
            GradientRect(p, 2, yt, 6, B, L(150), C, 0);
            FillColor(p, {7, yt, R - 8, B}, C);
            GradientRect(p, R - 8, yt, 6, B, C, L(150), 0);
        }
        return;
    }
    for (int i = 0; i < 3; ++i) {
        const quint32 light = L(220 - 40 * i), dark = L(200 - 40 * i);
        if (m_orientation == 0) {
            const int left = x2 + (BlockGap + 10) * i;
            GradientRect(p, left, 3, 10, 6, light, dark, 1);
            FillColor(p, {left, 8, left + 10, B - 6}, dark);
            GradientRect(p, left, B - 8, 10, 6, dark, light, 1);
        } else {
            const int top = yt + (BlockGap + 10) * i;
            GradientRect(p, 2, top, 6, 10, light, dark, 1);
            FillColor(p, {8, top, R - 8, top + 10}, dark);
            GradientRect(p, R - 8, top, 6, 10, dark, light, 1);
        }
    }
}

void XP_ProgressBar::DrawSeparators(QPainter& p) {
    Rect work = m_clientRect;
    if (m_orientation == 0) {
        for (int x = m_barRect.left + BlockWidth; x <= m_barRect.right;
             x += BlockWidth + BlockGap) {
            work.left = x + 2;
            work.right = x + 2 + BlockGap;
            FillColor(p, work, 0xFFFFFF);
        }
    } else {
        for (int y = m_barRect.bottom; y >= m_barRect.top + BlockWidth;
             y -= BlockWidth + BlockGap) {
            work.top = y - 2;
            work.bottom = y - 2 + BlockGap;
            FillColor(p, work, 0xFFFFFF);
        }
    }
}

void XP_ProgressBar::DrawCaption(QPainter& p) {
    if (!m_showText)
        return;
    p.save();
    p.setFont(m_font);
    p.setPen(Qt::black);
    p.drawText(normalized(m_clientRect), Qt::AlignCenter | Qt::TextSingleLine, captionText());
    p.restore();
}

void XP_ProgressBar::DrawFrame(QPainter& p) {
    const Rect& c = m_clientRect;
    FrameColor(p, {c.left + 1, c.top + 1, c.right, c.bottom}, TranslateColor(0xBEBEBE));
    FrameColor(p, {c.left + 1, c.top + 2, c.right - 1, c.bottom - 1}, TranslateColor(0xEFEFEF));
    FrameColor(p, c, TranslateColor(0x686868));
    const QColor dot = toQColor(0x686868);
    const int R = c.right, B = c.bottom;
    for (const QPoint& pt :
         {QPoint(1, 1), QPoint(R - 2, 1), QPoint(1, B - 2), QPoint(R - 2, B - 2)})
        p.fillRect(QRect(pt, QSize(1, 1)), dot);
}

void XP_ProgressBar::ReadProperties(const QVariantMap& bag) {
    setColor(bag.value(QStringLiteral("Color"), kDefaultColor).toUInt());
    setMax(bag.value(QStringLiteral("Max"), 100).toInt());
    setMin(bag.value(QStringLiteral("Min"), 0).toInt());
    setOrientation(bag.value(QStringLiteral("Orientation"), 0).toInt());
    setScrolling(bag.value(QStringLiteral("Scrolling"), 0).toInt());
    setShowText(bag.value(QStringLiteral("ShowText"), false).toBool());
    setValue(bag.value(QStringLiteral("Value"), 0).toInt());
}

void XP_ProgressBar::WriteProperties(QVariantMap& bag) const {
    const auto put = [&bag](const char* name, const QVariant& value, const QVariant& fallback) {
        if (value != fallback)
            bag.insert(QLatin1String(name), value);
    };
    // The colour is stored as the RGB it was translated to.
    put("Color", m_color, kDefaultColor);
    put("Max", m_max, 100);
    put("Min", m_min, 0);
    put("Orientation", m_orientation, 0);
    put("Scrolling", m_scrolling, 0);
    put("ShowText", m_showText, false);
    put("Value", m_value, 0);
}
