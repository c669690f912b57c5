#pragma once

#include <QFont>
#include <QImage>
#include <QRegion>
#include <QVariantMap>
#include <QWidget>

#include <array>

// A self-drawn progress bar: white field, bar with lighter gradient edges split into 8-pixel
// blocks by 2-pixel gaps (or smooth, or three loose blocks), grey three-line frame and clipped
// corners. Colours are 0x00BBGGRR values; one with bit 31 set names a system colour.
// Setting Value or ShowText schedules one repaint; each paint composes the whole bar in a back
// buffer and copies it to the screen at once, so thousands of changes a second stay cheap.
class XP_ProgressBar : public QWidget {
    Q_OBJECT
public:
    // A rectangle as the drawing routines see it: right and bottom are exclusive.
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
    };

    explicit XP_ProgressBar(QWidget* parent = nullptr);

    quint32 Color() const { return m_color; }
    void setColor(quint32 lColor) { m_color = TranslateColor(lColor); }
    int Min() const { return m_min; }
    void setMin(int cMin) { m_min = cMin; }
    int Max() const { return m_max; }
    void setMax(int cMax) { m_max = cMax; }
    int Orientation() const { return m_orientation; }
    void setOrientation(int cOrientation) { m_orientation = cOrientation; }
    int Scrolling() const { return m_scrolling; }
    void setScrolling(int lScrolling) { m_scrolling = lScrolling; }
    bool ShowText() const { return m_showText; }
    void setShowText(bool bShowText);
    int Value() const { return m_value; }
    void setValue(int cValue);

    // Composes the whole bar in the back buffer (the screen copy follows in the paint event).
    void DrawProgressBar();

    // The seven stored properties, each written only when it differs from its default.
    void ReadProperties(const QVariantMap& bag);
    void WriteProperties(QVariantMap& bag) const;

    const QImage& backBuffer() const { return m_buffer; }
    const Rect& barRect() const { return m_barRect; }
    // The caption DrawCaption prints: the filled share in whole percent.
    QString captionText() const;

    static quint32 TranslateColor(quint32 c);
    static quint32 LightenColor(quint32 c, int a);
    // The three channels as 16-bit gradient values (channel in the high byte): red, green, blue.
    static std::array<quint16, 3> ColorToVertex(quint32 c);
    // The window with its two outermost pixels on each corner's edge row and one on the next
    // row inwards cut away.
    static QRegion cornerRegion(const QSize& size);

    static constexpr quint32 kDefaultColor = 0x8000000D;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ensureBuffer(int w, int h);
    void CalcBar();
    void DrawBar(class QPainter& p);
    void DrawSeparators(QPainter& p);
    void DrawCaption(QPainter& p);
    void DrawFrame(QPainter& p);

    int m_scrolling = 0;
    int m_orientation = 0;
    quint32 m_color = 0;
    int m_max = 100;
    int m_min = 0;
    int m_value = 0;
    bool m_showText = false;
    QFont m_font;    // the caption's
    QImage m_buffer; // only grows
    double m_shownFraction = 0;
    Rect m_clientRect;
    Rect m_barRect;
    static constexpr int BlockWidth = 8;
    static constexpr int BlockGap = 2;
};
