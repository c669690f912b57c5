#include "mainskin.h"

#include <QLabel>
#include <QTest>

namespace {

constexpr int px(int twips) {
    return (twips * 2 + 15) / 30;
}

QWidget* piece(Main& main, const char* name) {
    return main.findChild<QWidget*>(QLatin1String(name));
}

// Lengths worked in twips and rounded once may differ from a pixel computation by one.
bool near(int actual, int expected) {
    return qAbs(actual - expected) <= 1;
}

#define QCOMPARE_NEAR(actual, expected)                                                            \
    QVERIFY2(near((actual), (expected)), qPrintable(QStringLiteral("%1 is %2, expected %3")        \
                                                        .arg(QLatin1String(#actual))               \
                                                        .arg(actual)                               \
                                                        .arg(expected)))

} // namespace

class MainSkinTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void designWidthPlacesRightColumn();
    void piecesFollowRightAndBottomEdges_data();
    void piecesFollowRightAndBottomEdges();
    void refusesNegativeSizes();
    void labelsAndLeftBandNeverMove_data();
    void labelsAndLeftBandNeverMove();
    void piecesAreStackedFrontToBack_data();
    void piecesAreStackedFrontToBack();
    void labelsCarryTheirTexts();
    void portalBrandIsConfigurable();
};

void MainSkinTest::designWidthPlacesRightColumn() {
    Main main;
    main.resize(px(8010), px(6180));
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QCOMPARE_NEAR(piece(main, "Image4")->x(), px(4800));
    QCOMPARE_NEAR(piece(main, "Image7")->width(), px(1590));
}

void MainSkinTest::piecesFollowRightAndBottomEdges_data() {
    QTest::addColumn<QSize>("size"); // twips
    QTest::newRow("main window") << QSize(13215, 7815);
    QTest::newRow("design") << QSize(8010, 6180);
    QTest::newRow("wide and low") << QSize(20010, 4020);
    QTest::newRow("odd sizes") << QSize(9997, 7003);
}

void MainSkinTest::piecesFollowRightAndBottomEdges() {
    QFETCH(QSize, size);
    Main main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.resize(px(size.width()), px(size.height()));
    const int w = main.width();
    const int h = main.height();

    for (const char* name : {"Image4", "Image5", "Image6", "Image12", "Image11"})
        QCOMPARE_NEAR(piece(main, name)->geometry().right() + 1, w);
    for (const char* name : {"Image3", "Image9", "Image6"})
        QCOMPARE_NEAR(piece(main, name)->geometry().bottom() + 1, h);

    // The edges and the middle fill the space between the side columns.
    const int column = px(3210);
    for (const char* name : {"Image7", "Image8", "Image9"}) {
        QCOMPARE_NEAR(piece(main, name)->x(), column);
        QCOMPARE_NEAR(piece(main, name)->width(), w - 2 * column);
    }
    // The sides reach down to the bottom row; the middle is 200 twips taller than them.
    const int sides = piece(main, "Image5")->height();
    QCOMPARE_NEAR(piece(main, "Image5")->geometry().bottom() + 1, h - px(330));
    QCOMPARE_NEAR(piece(main, "Image2")->height(), sides);
    QCOMPARE_NEAR(piece(main, "Image8")->height(), sides + px(200));
}

void MainSkinTest::refusesNegativeSizes() {
    Main main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const QSize edge = piece(main, "Image7")->size();
    const int side = piece(main, "Image5")->height();
    const int band = piece(main, "Image11")->width();

    // Narrower than both side columns and lower than the top of the sides.
    main.resize(200, 90);
    QCOMPARE(piece(main, "Image7")->size(), edge);
    QCOMPARE(piece(main, "Image5")->height(), side);
    QCOMPARE(piece(main, "Image11")->width(), band);
    // Moves are not sizes: the right column still follows the edge.
    QCOMPARE_NEAR(piece(main, "Image4")->x(), 200 - px(3210));
}

void MainSkinTest::labelsAndLeftBandNeverMove_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place"); // twips
    QTest::newRow("Label1") << "Label1" << QRect(4080, 600, 2370, 300);
    QTest::newRow("Label2") << "Label2" << QRect(7440, 600, 3900, 285);
    QTest::newRow("Label3") << "Label3" << QRect(4120, 960, 2160, 180);
    QTest::newRow("Image10") << "Image10" << QRect(0, 0, 4005, 1425);
}

void MainSkinTest::labelsAndLeftBandNeverMove() {
    QFETCH(QString, name);
    QFETCH(QRect, place);
    const QRect expected(px(place.left()), px(place.top()), px(place.width()), px(place.height()));
    Main main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    for (const QSize size : {QSize(881, 521), QSize(1200, 800), QSize(300, 100)}) {
        main.resize(size);
        QCOMPARE(main.findChild<QWidget*>(name)->geometry(), expected);
    }
}

void MainSkinTest::piecesAreStackedFrontToBack_data() {
    QTest::addColumn<QPoint>("point"); // twips, where two pieces overlap
    QTest::addColumn<QString>("front");
    QTest::newRow("label over the band") << QPoint(4200, 700) << "Label1";
    QTest::newRow("brand over the band's end") << QPoint(11000, 700) << "Label2";
    QTest::newRow("band middle over its left end") << QPoint(3990, 100) << "Image11";
    QTest::newRow("band's right end over its middle") << QPoint(12000, 100) << "Image12";
    QTest::newRow("corner over the side") << QPoint(100, 1700) << "Image1";
    QTest::newRow("top edge over the middle") << QPoint(5000, 1580) << "Image7";
    QTest::newRow("bottom edge over the middle") << QPoint(5000, 7700) << "Image9";
}

void MainSkinTest::piecesAreStackedFrontToBack() {
    QFETCH(QPoint, point);
    QFETCH(QString, front);
    Main main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.resize(px(13215), px(7815));
    QWidget* child = main.childAt(px(point.x()), px(point.y()));
    QVERIFY(child);
    QCOMPARE(child->objectName(), front);
}

void MainSkinTest::labelsCarryTheirTexts() {
    Main main;
    auto* label1 = main.findChild<QLabel*>(QStringLiteral("Label1"));
    auto* label3 = main.findChild<QLabel*>(QStringLiteral("Label3"));
    QVERIFY(label1 && label3);
    QCOMPARE(label1->text(), QStringLiteral("网络版 永久免费"));
    QCOMPARE(label3->text(), QStringLiteral("数据与中国铁道部数据同步"));
    QCOMPARE(label1->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QVERIFY(label1->font().bold());
}

void MainSkinTest::portalBrandIsConfigurable() {
    Main main;
    auto* label2 = main.findChild<QLabel*>(QStringLiteral("Label2"));
    QVERIFY(label2);
    QCOMPARE(label2->text(), QStringLiteral("Quillon 铁路时刻 127.0.0.1"));
    QCOMPARE(label2->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    main.setPortalBrand(QStringLiteral("示例门户 portal.example"));
    QCOMPARE(label2->text(), QStringLiteral("示例门户 portal.example"));
    QCOMPARE(main.portalBrand(), QStringLiteral("示例门户 portal.example"));
}

QTEST_MAIN(MainSkinTest)
#include "tst_mainskin.moc"
