#include "mainskin.h"

#include "picturebox.h"
#include "twips.h"

#include <QFont>
#include <QLabel>

namespace {

constexpr int kDesignWidth = 8010;
constexpr int kDesignHeight = 6180;

const QColor kLabelGreen(0x00, 0xFF, 0x00);

// Front to back; a piece higher up is drawn over a lower one. Twips.
struct PiecePlacement {
    const char* name;
    int image; // the picture's number, 0 for a label
    int left, top, width, height;
    bool stretched;
};

// clang-format off
constexpr PiecePlacement kPieces[] = {
    {"Label3", 0, 4120, 960, 2160, 180, false},
    {"Label2", 0, 7440, 600, 3900, 285, false},
    {"Label1", 0, 4080, 600, 2370, 300, false},
    {"Image12", 12, 5280, 0, 2685, 1425, false},
    {"Image11", 11, 3960, 0, 2010, 1425, true},
    {"Image10", 10, 0, 0, 4005, 1425, false},
    {"Image1", 1, 0, 1420, 3210, 330, false},
    {"Image2", 2, 0, 1680, 3210, 4050, true},
    {"Image3", 3, 0, 5640, 3210, 330, false},
    {"Image4", 4, 4680, 1420, 3210, 330, false},
    {"Image5", 5, 4680, 1680, 3210, 4050, true},
    {"Image6", 6, 4680, 5640, 3210, 330, false},
    {"Image9", 9, 3240, 5640, 1905, 330, true},
    {"Image7", 7, 3240, 1425, 3060, 210, true},
    {"Image8", 8, 2640, 1560, 2220, 4200, true},
};
// clang-format on

QFont labelFont(qreal pointSize) {
    QFont font;
    font.setFamilies({QStringLiteral("楷体_GB2312"), QStringLiteral("AR PL UKai CN")});
    font.setBold(true);
    font.setPointSizeF(pointSize);
    return font;
}

void makeGreen(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kLabelGreen);
    label->setPalette(palette);
}

} // namespace

Main::Main(QWidget* parent)
    : QWidget(parent) {
    initUiResources();
    for (const PiecePlacement& piece : kPieces) {
        QWidget* child = nullptr;
        if (piece.image > 0) {
            const int index = piece.image - 1;
            m_pictures[index] = new PictureBox(
                QStringLiteral(":/skin/image%1.svg").arg(piece.image), piece.stretched, this);
            m_twips[index] = QRect(piece.left, piece.top, piece.width, piece.height);
            child = m_pictures[index];
        } else {
            child = new QLabel(this); // transparent: a label paints no background of its own
        }
        child->setObjectName(QLatin1String(piece.name));
        child->setGeometry(px(piece.left), px(piece.top), px(piece.width), px(piece.height));
        // Created front to back, so each new piece goes beneath those before it.
        child->lower();
    }

    auto* label1 = findChild<QLabel*>(QStringLiteral("Label1"));
    label1->setText(QStringLiteral("网络版 永久免费"));
    label1->setFont(labelFont(15.0));
    makeGreen(label1);

    m_brand = findChild<QLabel*>(QStringLiteral("Label2"));
    m_brand->setText(QStringLiteral("Quillon 铁路时刻 127.0.0.1"));
    m_brand->setFont(labelFont(14.25));
    makeGreen(m_brand);

    auto* label3 = findChild<QLabel*>(QStringLiteral("Label3"));
    label3->setText(QStringLiteral("数据与中国铁道部数据同步"));
    // Left in the default font; a pale tone because the usual dark text vanishes on the band.
    QPalette palette = label3->palette();
    palette.setColor(QPalette::WindowText, QColor(0xd6, 0xee, 0xf2));
    label3->setPalette(palette);

    resize(px(kDesignWidth), px(kDesignHeight));
    // A hidden widget gets its resize event only when shown; the frame is closed from the start.
    UserControl_Resize();
}

void Main::setPortalBrand(const QString& text) {
    m_brand->setText(text);
}

QString Main::portalBrand() const {
    return m_brand->text();
}

QSize Main::sizeHint() const {
    return {px(kDesignWidth), px(kDesignHeight)};
}

void Main::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void Main::place(Piece piece) {
    const QRect& t = m_twips[piece];
    m_pictures[piece]->setGeometry(px(t.left()), px(t.top()), px(t.width()), px(t.height()));
}

void Main::UserControl_Resize() {
    // Worked in twips, as the frame was designed, so every piece rounds to pixels only once.
    const int w = twips(width());
    const int h = twips(height());
    auto& r = m_twips;
    // A size that would come out negative is refused and the piece keeps the one it had.
    auto setWidth = [&](Piece piece, int value) {
        if (value >= 0)
            r[piece].setWidth(value);
    };
    auto setHeight = [&](Piece piece, int value) {
        if (value >= 0)
            r[piece].setHeight(value);
    };

    r[Image4].moveLeft(w - r[Image4].width());
    r[Image5].moveLeft(r[Image4].left());
    r[Image6].moveLeft(r[Image4].left());
    r[Image12].moveLeft(w - r[Image12].width());
    r[Image7].moveLeft(r[Image1].width());
    r[Image8].moveLeft(r[Image1].width());
    r[Image9].moveLeft(r[Image1].width());
    setWidth(Image7, w - r[Image4].width() - r[Image1].width());
    setWidth(Image8, r[Image7].width());
    setWidth(Image9, r[Image8].width());
    setHeight(Image5, h - r[Image5].top() - r[Image4].height());
    setHeight(Image8, r[Image5].height() + 200);
    setHeight(Image2, r[Image8].height() - 200);
    r[Image8].moveLeft(r[Image2].width());
    r[Image6].moveTop(h - r[Image6].height());
    r[Image9].moveTop(r[Image6].top());
    r[Image3].moveTop(r[Image6].top());
    setWidth(Image11, w - r[Image11].left());

    for (int piece = 0; piece < PictureCount; ++piece)
        place(static_cast<Piece>(piece));
}
