#include "skinbutton.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(SkinLook)

namespace {

QImage render(SkinButton& button) {
    return button.grab().toImage();
}

// Shown with the pointer parked elsewhere, so the button starts in its normal look.
bool showAwayFromPointer(QWidget& widget) {
    widget.move(0, 0);
    QCursor::setPos(widget.screen()->geometry().bottomRight());
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}

void sendMove(QWidget* widget, QPointF pos) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void sendButton(QWidget* widget, QEvent::Type type, Qt::MouseButton button, QPointF pos) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The smallest rectangle holding every pixel where the two pictures differ.
QRect difference(const QImage& a, const QImage& b) {
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class SkinButtonTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captionDefaultsToCommand();
    void settingCaptionReprintsOnlyTheNewText();
    void looksHavePictureSizes_data();
    void looksHavePictureSizes();
    void captionIsPrintedFromItsPoint_data();
    void captionIsPrintedFromItsPoint();
    void hoverKeepsEdgesInside_data();
    void hoverKeepsEdgesInside();
    void moveOntoNeighbourSwitchesOnItsNextMove();
    void leavingRestoresNormalLook();
    void hoverChangesThePicture();
    void clickNeedsLeftPressAndReleaseInside_data();
    void clickNeedsLeftPressAndReleaseInside();
    void releaseAfterAClickDoesNotClickAgain();
    void largerButtonShowsSurfaceBeyondPicture();
};

void SkinButtonTest::captionDefaultsToCommand() {
    SkinButton button(SkinLook::LZCommand);
    QCOMPARE(button.Caption(), QStringLiteral("Command"));
    QCOMPARE(button.property("Caption").toString(), QStringLiteral("Command"));
}

void SkinButtonTest::settingCaptionReprintsOnlyTheNewText() {
    SkinButton button(SkinLook::LZCommand);
    button.setCaption(QStringLiteral("车次查询"));
    QVERIFY(showAwayFromPointer(button));
    const QImage before = render(button);

    button.setProperty("Caption", QStringLiteral("退出"));
    QCOMPARE(button.Caption(), QStringLiteral("退出"));

    SkinButton fresh(SkinLook::LZCommand);
    fresh.setCaption(QStringLiteral("退出"));
    const QImage after = render(button);
    QCOMPARE(after, render(fresh));
    QVERIFY(after != before);
}

void SkinButtonTest::looksHavePictureSizes_data() {
    QTest::addColumn<SkinLook>("look");
    QTest::addColumn<QSize>("size");
    QTest::newRow("LZCommand") << SkinLook::LZCommand << QSize(166, 54);
    QTest::newRow("BZCommand") << SkinLook::BZCommand << QSize(42, 40);
    QTest::newRow("NZCommand") << SkinLook::NZCommand << QSize(42, 40);
    QTest::newRow("SZCommand") << SkinLook::SZCommand << QSize(68, 46);
    QTest::newRow("LeftCommand") << SkinLook::LeftCommand << QSize(80, 38);
    QTest::newRow("RightCommand") << SkinLook::RightCommand << QSize(82, 38);
}

void SkinButtonTest::looksHavePictureSizes() {
    QFETCH(SkinLook, look);
    QFETCH(QSize, size);
    SkinButton button(look);
    QCOMPARE(button.look(), look);
    QCOMPARE(button.pictureSize(), size);
    QCOMPARE(button.size(), size); // a new button starts at its pictures' size
}

void SkinButtonTest::captionIsPrintedFromItsPoint_data() {
    QTest::addColumn<SkinLook>("look");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("point");
    QTest::newRow("LZCommand") << SkinLook::LZCommand << "车次查询" << QPoint(60, 18);
    QTest::newRow("BZCommand") << SkinLook::BZCommand << "G" << QPoint(13, 11);
    QTest::newRow("NZCommand") << SkinLook::NZCommand << "8" << QPoint(13, 11);
    QTest::newRow("SZCommand") << SkinLook::SZCommand << "查询" << QPoint(17, 13);
    QTest::newRow("LeftCommand") << SkinLook::LeftCommand << "回 删" << QPoint(17, 10);
    QTest::newRow("RightCommand") << SkinLook::RightCommand << "清 空" << QPoint(17, 10);
}

void SkinButtonTest::captionIsPrintedFromItsPoint() {
    QFETCH(SkinLook, look);
    QFETCH(QString, caption);
    QFETCH(QPoint, point);
    SkinButton blank(look);
    blank.setCaption(QString());
    SkinButton button(look);
    button.setCaption(caption);

    // The point is the top left of the text: ink starts at or just after it, never above it.
    const QRect ink = difference(render(blank), render(button));
    QVERIFY(!ink.isEmpty());
    QVERIFY2(ink.left() >= point.x() - 1 && ink.left() <= point.x() + 4,
             qPrintable(QStringLiteral("ink starts at x %1").arg(ink.left())));
    QVERIFY2(ink.top() >= point.y() && ink.top() <= point.y() + 8,
             qPrintable(QStringLiteral("ink starts at y %1").arg(ink.top())));
}

void SkinButtonTest::hoverKeepsEdgesInside_data() {
    QTest::addColumn<QPointF>("pos");
    QTest::addColumn<bool>("hovered");
    // 166 × 54: the LZCommand pictures.
    QTest::newRow("bottom right corner") << QPointF(166, 54) << true;
    QTest::newRow("right edge") << QPointF(166, 20) << true;
    QTest::newRow("bottom edge") << QPointF(30, 54) << true;
    QTest::newRow("top left corner") << QPointF(0, 0) << true;
    QTest::newRow("just right") << QPointF(167, 20) << false;
    QTest::newRow("just below") << QPointF(30, 55) << false;
    QTest::newRow("just left") << QPointF(-1, 20) << false;
    QTest::newRow("just above") << QPointF(30, -1) << false;
}

// The pointer itself is moved, so the window system's enter and leave reach the buttons
// as they do for a user.
void pointAt(QWidget* widget, QPoint pos) {
    QCursor::setPos(widget->mapToGlobal(pos));
    QCoreApplication::processEvents();
}

void SkinButtonTest::hoverKeepsEdgesInside() {
    QFETCH(QPointF, pos);
    QFETCH(bool, hovered);
    QWidget window;
    window.resize(300, 200);
    auto* button = new SkinButton(SkinLook::LZCommand, &window);
    button->move(50, 50);
    QVERIFY(showAwayFromPointer(window));
    QVERIFY(!button->isHovered());

    pointAt(button, QPoint(40, 20));
    QVERIFY(button->isHovered());
    pointAt(button, pos.toPoint());
    QCOMPARE(button->isHovered(), hovered);
    // Any later move inside brings the hover look back.
    pointAt(button, QPoint(40, 20));
    QVERIFY(button->isHovered());
    pointAt(&window, QPoint(290, 190));
    QVERIFY(!button->isHovered());
}

void SkinButtonTest::moveOntoNeighbourSwitchesOnItsNextMove() {
    QWidget window;
    window.resize(200, 100);
    // Two keys of the keypad: 600 twips apart, 630 wide, so they share two pixels.
    auto* first = new SkinButton(SkinLook::NZCommand, &window);
    auto* second = new SkinButton(SkinLook::NZCommand, &window);
    first->move(10, 10);
    second->move(50, 10);
    QVERIFY(showAwayFromPointer(window));

    pointAt(first, QPoint(20, 20));
    QVERIFY(first->isHovered());
    pointAt(second, QPoint(20, 20)); // this move is the first key's
    QVERIFY(!first->isHovered());
    QVERIFY(!second->isHovered());
    pointAt(second, QPoint(21, 20));
    QVERIFY(second->isHovered());
    QVERIFY(!first->isHovered());
}

void SkinButtonTest::leavingRestoresNormalLook() {
    SkinButton button(SkinLook::BZCommand);
    QVERIFY(showAwayFromPointer(button));
    sendMove(&button, QPointF(5, 5));
    QVERIFY(button.isHovered());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    QVERIFY(!button.isHovered());
}

void SkinButtonTest::hoverChangesThePicture() {
    SkinButton button(SkinLook::SZCommand);
    button.setCaption(QStringLiteral("查询"));
    QVERIFY(showAwayFromPointer(button));
    const QImage normal = render(button);
    sendMove(&button, QPointF(10, 10));
    const QImage hover = render(button);
    QVERIFY(hover != normal);
    sendMove(&button, QPointF(100, 10));
    QCOMPARE(render(button), normal);
}

void SkinButtonTest::clickNeedsLeftPressAndReleaseInside_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<QPointF>("release");
    QTest::addColumn<int>("clicks");
    const QPointF inside(20, 20);
    QTest::newRow("left inside") << Qt::LeftButton << inside << inside << 1;
    QTest::newRow("release on the edge") << Qt::LeftButton << inside << QPointF(42, 40) << 1;
    QTest::newRow("released outside") << Qt::LeftButton << inside << QPointF(60, 20) << 0;
    QTest::newRow("pressed outside") << Qt::LeftButton << QPointF(-5, 20) << inside << 0;
    QTest::newRow("right button") << Qt::RightButton << inside << inside << 0;
}

void SkinButtonTest::clickNeedsLeftPressAndReleaseInside() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPointF, press);
    QFETCH(QPointF, release);
    QFETCH(int, clicks);
    SkinButton key(SkinLook::NZCommand);
    QVERIFY(showAwayFromPointer(key));
    QSignalSpy spy(&key, &SkinButton::Click);
    sendButton(&key, QEvent::MouseButtonPress, button, press);
    sendButton(&key, QEvent::MouseButtonRelease, button, release);
    QCOMPARE(spy.count(), clicks);
}

void SkinButtonTest::releaseAfterAClickDoesNotClickAgain() {
    SkinButton key(SkinLook::BZCommand);
    QVERIFY(showAwayFromPointer(key));
    QSignalSpy spy(&key, &SkinButton::Click);
    sendButton(&key, QEvent::MouseButtonPress, Qt::LeftButton, QPointF(10, 10));
    sendButton(&key, QEvent::MouseButtonRelease, Qt::LeftButton, QPointF(10, 10));
    sendButton(&key, QEvent::MouseButtonRelease, Qt::LeftButton, QPointF(10, 10));
    QCOMPARE(spy.count(), 1);
}

void SkinButtonTest::largerButtonShowsSurfaceBeyondPicture() {
    SkinButton button(SkinLook::LeftCommand);
    button.setCaption(QString());
    button.resize(120, 60);
    const QImage image = render(button);
    const QColor surface = button.palette().color(QPalette::Button);
    QCOMPARE(image.pixelColor(110, 20), surface);
    QCOMPARE(image.pixelColor(40, 50), surface);
    QVERIFY(image.pixelColor(40, 19) != surface);
}

QTEST_MAIN(SkinButtonTest)
#include "tst_skinbutton.moc"
