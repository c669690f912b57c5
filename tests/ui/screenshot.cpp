// Renders the main window after a train query, for the README: quillon-screenshot OUT.png
// [BASE [TRAIN]]. Needs a display (Xvfb will do) and a running timetable service at BASE.
#include "form1.h"
#include "program.h"
#include "skinbutton.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        qCritical("usage: quillon-screenshot OUT.png [BASE [TRAIN]]");
        return 2;
    }
    if (args.size() > 2) {
        Program::Services.timetable = args[2];
        Program::Services.banner = args[2] + QStringLiteral("banner.html");
    }
    QTemporaryDir folder;
    Form1 form(folder.path());
    form.show();
    form.findChild<QLineEdit*>(QStringLiteral("Text3"))
        ->setText(args.value(3, QStringLiteral("G")));
    QTimer::singleShot(300, &form, [&] {
        form.SZCommand1_Click();
        // Give the banner a moment to load before the picture is taken.
        QTimer::singleShot(2500, &form, [&] {
            const bool saved = form.grab().save(args[1]);
            QCoreApplication::exit(saved ? 0 : 1);
        });
    });
    return app.exec();
}
