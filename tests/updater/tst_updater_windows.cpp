#include "updater/form2.h"
#include "updater/form6.h"
#include "release/profile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTemporaryDir>
#include <QTest>

// How the updater's two windows open: in the middle of the screen, the side picture drawn.
class TestUpdaterWindows : public QObject {
    Q_OBJECT
private slots:
    void opensCentred_data();
    void opensCentred();
    void drawsSidePicture();
};

void TestUpdaterWindows::opensCentred_data() {
    QTest::addColumn<bool>("progress");
    QTest::newRow("Form2") << false;
    QTest::newRow("Form6") << true;
}

void TestUpdaterWindows::opensCentred() {
    QFETCH(bool, progress);
    QTemporaryDir dir;
    std::unique_ptr<QWidget> window;
    if (progress)
        window = std::make_unique<Form6>(QStringLiteral("3.1"), dir.path());
    else
        window = std::make_unique<Form2>(QStringLiteral("3.1?a"));
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2((window->geometry().center() - centre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(window->x()).arg(window->y())));
    if (progress)
        window->close(); // before its timer starts the sequence
}

void TestUpdaterWindows::drawsSidePicture() {
    Form2 form(QStringLiteral("3.1?a"));
    auto* picture = qobject_cast<QSvgWidget*>(form.findChild<QWidget*>(QStringLiteral("Picture1")));
    QVERIFY(picture);
    QVERIFY(picture->renderer()->isValid());
    QCOMPARE(picture->size(), QSize(137, 259));
}

QTEST_MAIN(TestUpdaterWindows)
#include "tst_updater_windows.moc"
