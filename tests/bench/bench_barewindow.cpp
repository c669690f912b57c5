// The yardstick of the start-up benchmark (scripts/bench-start): a bare window with one label,
// the size of the client's main window, reporting its first paint like the client does.
#include "firstpaint.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Quillon"));
    window.resize(880, 546); // the main window's client area, 13200 x 8190 twips
    reportFirstPaint(&window);
    window.show();
    return app.exec();
}
