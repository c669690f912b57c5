// Draws the updater's progress window halfway through a download, for the README:
// quillon-update-screenshot OUT.png BASE FILE. BASE is where the update files are served.
#include "updater/form6.h"
#include "release/profile.h"
#include "updater/xp_progressbar.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        qCritical("usage: quillon-update-screenshot OUT.png BASE FILE");
        return 2;
    }
    QTemporaryDir folder;
    const QString ini = folder.filePath(QStringLiteral("system.ini"));
    writeProfileString(QStringLiteral("system"), QStringLiteral("Version"), QStringLiteral("3.0"),
                       ini);
    writeProfileString(QStringLiteral("update"), QStringLiteral("http"), args[2], ini);

    Form6 progress(QStringLiteral("3.1?") + args[3], folder.path());
    progress.show();
    bool saved = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const XP_ProgressBar* bar = progress.ProgressBar1;
        if (bar->Value() - bar->Min() < (bar->Max() - bar->Min()) * 2 / 5)
            return;
        poll.stop();
        saved = progress.grab().save(args[1]);
        QCoreApplication::exit(saved ? 0 : 1);
    });
    poll.start();
    QObject::connect(&progress, &Form6::ended, [&] { QCoreApplication::exit(saved ? 0 : 1); });
    return app.exec();
}
