#include "updater/xp_progressbar.h"

#include <QApplication>
#include <QPalette>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kBar = 0x2BD228; // RGB(40, 210, 43) as 0x00BBGGRR
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBarRgb = qRgb(40, 210, 43);

struct Bar {
    int width, height, orientation, scrolling, min, max, value;
};

} // namespace

Q_DECLARE_METATYPE(Bar)

class TestProgressBar : public QObject {
    Q_OBJECT
private slots:
    void paintsPixels_data();
    void paintsPixels();
    void cutsBarToWholeSteps_data();
    void cutsBarToWholeSteps();
    void clipsFourCorners_data();
    void clipsFourCorners();
    void drawsFrame();
    void keepsLargerBufferWhenShrunk();
    void translatesSystemHighlight();
    void lightensTowardWhite_data();
    void lightensTowardWhite();
    void splitsChannelsIntoVertexValues();
    void captionShowsPercentage_data();
    void captionShowsPercentage();
    void writesOnlyChangedProperties();
    void readsPropertiesBack();
};

void TestProgressBar::paintsPixels_data() {
    QTest::addColumn<Bar>("bar");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("filled");
    // Rows 8 to height - 7 of a horizontal bar hold the plain bar colour.
    QTest::newRow("empty at Min") << Bar{100, 25, 0, 0, 0, 100, 0} << QPoint(5, 12) << false;
    QTest::newRow("below Min is empty") << Bar{100, 25, 0, 0, 10, 100, 3} << QPoint(5, 12) << false;
    QTest::newRow("beyond Max is full")
        << Bar{100, 25, 0, 0, 0, 100, 500} << QPoint(95, 12) << true;
    QTest::newRow("20 px at 50%: last block column")
        << Bar{20, 25, 0, 0, 0, 100, 50} << QPoint(9, 12) << true;
    QTest::newRow("20 px at 50%: first block column")
        << Bar{20, 25, 0, 0, 0, 100, 50} << QPoint(2, 12) << true;
    QTest::newRow("20 px at 50%: gap column 10")
        << Bar{20, 25, 0, 0, 0, 100, 50} << QPoint(10, 12) << false;
    QTest::newRow("20 px at 50%: gap column 11")
        << Bar{20, 25, 0, 0, 0, 100, 50} << QPoint(11, 12) << false;
    QTest::newRow("style 1 has no gaps")
        << Bar{100, 25, 0, 1, 0, 100, 50} << QPoint(10, 12) << true;
    QTest::newRow("style 0 gap inside bar")
        << Bar{100, 25, 0, 0, 0, 100, 50} << QPoint(20, 12) << false;
    QTest::newRow("Max = Min, Value above: full")
        << Bar{100, 25, 0, 0, 0, 0, 1} << QPoint(85, 12) << true;
    QTest::newRow("Max = Min, Value equal: empty")
        << Bar{100, 25, 0, 0, 0, 0, 0} << QPoint(5, 12) << false;
    QTest::newRow("vertical 50%: block above bottom gap")
        << Bar{25, 100, 1, 0, 0, 100, 50} << QPoint(12, 60) << true;
    QTest::newRow("vertical 50%: gap rows")
        << Bar{25, 100, 1, 0, 0, 100, 50} << QPoint(12, 58) << false;
    QTest::newRow("vertical 50%: above the top")
        << Bar{25, 100, 1, 0, 0, 100, 50} << QPoint(12, 49) << false;
}

void TestProgressBar::paintsPixels() {
    QFETCH(Bar, bar);
    QFETCH(QPoint, at);
    QFETCH(bool, filled);
    XP_ProgressBar widget;
    widget.resize(bar.width, bar.height);
    widget.setColor(kBar);
    widget.setOrientation(bar.orientation);
    widget.setScrolling(bar.scrolling);
    widget.setMin(bar.min);
    widget.setMax(bar.max);
    widget.setValue(bar.value);
    widget.DrawProgressBar();
    const QRgb pixel = widget.backBuffer().pixel(at) & 0xFFFFFF;
    QCOMPARE(pixel, (filled ? kBarRgb : kWhite) & 0xFFFFFF);
}

void TestProgressBar::cutsBarToWholeSteps_data() {
    QTest::addColumn<Bar>("bar");
    QTest::addColumn<int>("edge");
    QTest::newRow("empty") << Bar{100, 25, 0, 0, 0, 100, 0} << 0;
    QTest::newRow("full 95 px cut to 90") << Bar{95, 25, 0, 0, 0, 100, 100} << 90;
    QTest::newRow("full 337 px cut to 330") << Bar{337, 25, 0, 0, 0, 100, 100} << 330;
    QTest::newRow("20 px at 50%") << Bar{20, 25, 0, 0, 0, 100, 50} << 10;
    QTest::newRow("19.5 rounds to 20") << Bar{39, 25, 0, 0, 0, 100, 50} << 20;
    QTest::newRow("vertical 50% of 100 px: 48 cut to 50") << Bar{25, 100, 1, 0, 0, 100, 50} << 50;
    QTest::newRow("vertical empty stays at bottom") << Bar{25, 100, 1, 0, 0, 100, 0} << 100;
}

void TestProgressBar::cutsBarToWholeSteps() {
    QFETCH(Bar, bar);
    QFETCH(int, edge);
    XP_ProgressBar widget;
    widget.resize(bar.width, bar.height);
    widget.setOrientation(bar.orientation);
    widget.setMin(bar.min);
    widget.setMax(bar.max);
    widget.setValue(bar.value);
    widget.DrawProgressBar();
    QCOMPARE(bar.orientation == 0 ? widget.barRect().right : widget.barRect().top, edge);
}

void TestProgressBar::clipsFourCorners_data() {
    QTest::addColumn<QPoint>("corner");
    QTest::addColumn<QPoint>("inward");
    QTest::newRow("top left") << QPoint(0, 0) << QPoint(1, 1);
    QTest::newRow("top right") << QPoint(49, 0) << QPoint(-1, 1);
    QTest::newRow("bottom left") << QPoint(0, 19) << QPoint(1, -1);
    QTest::newRow("bottom right") << QPoint(49, 19) << QPoint(-1, -1);
}

void TestProgressBar::clipsFourCorners() {
    QFETCH(QPoint, corner);
    QFETCH(QPoint, inward);
    const QRegion region = XP_ProgressBar::cornerRegion(QSize(50, 20));
    const QPoint along(inward.x(), 0), down(0, inward.y());
    // Cut: the corner, its neighbour on the edge row, the corner pixel of the next row.
    QVERIFY(!region.contains(corner));
    QVERIFY(!region.contains(corner + along));
    QVERIFY(!region.contains(corner + down));
    // Kept: the third pixel of the edge row and the diagonal neighbour.
    QVERIFY(region.contains(corner + along * 2));
    QVERIFY(region.contains(corner + inward));
    QVERIFY(region.contains(corner + down * 2));
}

void TestProgressBar::drawsFrame() {
    XP_ProgressBar widget;
    widget.resize(60, 20);
    widget.DrawProgressBar();
    const QImage& image = widget.backBuffer();
    const auto at = [&](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
    QCOMPARE(at(30, 0), 0x686868u);
    QCOMPARE(at(0, 10), 0x686868u);
    QCOMPARE(at(59, 10), 0x686868u);
    QCOMPARE(at(30, 19), 0x686868u);
    QCOMPARE(at(30, 1), 0xBEBEBEu);
    // The light inner frame overlaps the left edge of the middle one; the outer hides the rest.
    QCOMPARE(at(1, 10), 0xEFEFEFu);
    QCOMPARE(at(58, 10), 0xEFEFEFu);
    QCOMPARE(at(30, 2), 0xEFEFEFu);
    QCOMPARE(at(30, 18), 0xEFEFEFu);
    QCOMPARE(at(1, 1), 0x686868u);
    QCOMPARE(at(58, 18), 0x686868u);
}

void TestProgressBar::keepsLargerBufferWhenShrunk() {
    QWidget parent;
    XP_ProgressBar widget(&parent);
    widget.resize(200, 30);
    widget.DrawProgressBar();
    widget.resize(50, 10);
    widget.DrawProgressBar();
    QCOMPARE(widget.backBuffer().size(), QSize(200, 30));
    widget.resize(220, 12);
    widget.DrawProgressBar();
    QCOMPARE(widget.backBuffer().size(), QSize(220, 30));
}

void TestProgressBar::translatesSystemHighlight() {
    XP_ProgressBar widget;
    const QColor highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    const quint32 expected = quint32(highlight.red()) | quint32(highlight.green()) << 8 |
                             quint32(highlight.blue()) << 16;
    QCOMPARE(widget.Color(), expected);
    widget.setColor(kBar);
    widget.setColor(XP_ProgressBar::kDefaultColor);
    QCOMPARE(widget.Color(), expected);
    QCOMPARE(XP_ProgressBar::TranslateColor(0x123456), 0x123456u);
}

void TestProgressBar::lightensTowardWhite_data() {
    QTest::addColumn<quint32>("color");
    QTest::addColumn<int>("amount");
    QTest::addColumn<quint32>("result");
    QTest::newRow("none") << 0x2BD228u << 0 << 0x2BD228u;
    QTest::newRow("full") << 0x2BD228u << 255 << 0xFFFFFFu;
    // red 40: 150 + 105*40/255 = 166; green 210: 150 + 105*210/255 = 236; blue 43: 167
    QTest::newRow("150 on the bar colour") << 0x2BD228u << 150 << 0xA7ECA6u;
    QTest::newRow("black") << 0x000000u << 200 << 0xC8C8C8u;
}

void TestProgressBar::lightensTowardWhite() {
    QFETCH(quint32, color);
    QFETCH(int, amount);
    QTEST(XP_ProgressBar::LightenColor(color, amount), "result");
}

void TestProgressBar::splitsChannelsIntoVertexValues() {
    const std::array<quint16, 3> v = XP_ProgressBar::ColorToVertex(0x2BD228);
    QCOMPARE(v[0], quint16(0x2800));
    QCOMPARE(v[1], quint16(0xD200));
    QCOMPARE(v[2], quint16(0x2B00));
}

void TestProgressBar::captionShowsPercentage_data() {
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("caption");
    QTest::newRow("42 of 100") << 100 << 42 << "42%";
    QTest::newRow("rounds down") << 3 << 2 << "66%";
    QTest::newRow("full") << 7 << 7 << "100%";
    QTest::newRow("Max = Min") << 0 << 0 << "0%";
}

void TestProgressBar::captionShowsPercentage() {
    QFETCH(int, max);
    QFETCH(int, value);
    XP_ProgressBar widget;
    widget.resize(100, 25);
    widget.setMax(max);
    widget.setValue(value);
    widget.setShowText(true);
    widget.DrawProgressBar();
    QTEST(widget.captionText(), "caption");
}

void TestProgressBar::writesOnlyChangedProperties() {
    XP_ProgressBar widget;
    QVariantMap bag;
    widget.WriteProperties(bag);
    // The colour is stored translated, so it never equals the system-colour default.
    QCOMPARE(bag.keys(), QStringList{u"Color"_s});
    widget.setMax(5000);
    widget.setShowText(true);
    widget.WriteProperties(bag);
    QCOMPARE(bag.keys(), (QStringList{u"Color"_s, u"Max"_s, u"ShowText"_s}));
}

void TestProgressBar::readsPropertiesBack() {
    XP_ProgressBar source;
    source.setColor(kBar);
    source.setMin(-5);
    source.setMax(50);
    source.setOrientation(1);
    source.setScrolling(2);
    source.setShowText(true);
    source.setValue(7);
    QVariantMap bag;
    source.WriteProperties(bag);
    XP_ProgressBar copy;
    copy.ReadProperties(bag);
    QCOMPARE(copy.Color(), kBar);
    QCOMPARE(copy.Min(), -5);
    QCOMPARE(copy.Max(), 50);
    QCOMPARE(copy.Orientation(), 1);
    QCOMPARE(copy.Scrolling(), 2);
    QCOMPARE(copy.ShowText(), true);
    QCOMPARE(copy.Value(), 7);
}

QTEST_MAIN(TestProgressBar)
#include "tst_updater_progressbar.moc"
