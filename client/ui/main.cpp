// quillon: the desktop client.
#include "config.h"
#include "firstpaint.h"
#include "form1.h"
#include "release/installjournal.h"
#include "release/installlocation.h"
#include "messages.h"
#include "module1.h"
#include "program.h"
#include "webviews.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[]) {
    prepareWebViews();
    QApplication app(argc, argv);
    Program::nameApplication();
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));

    // An update that a crash interrupted is finished or undone before anything else runs.
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (const InstallLocation location = locateInstall(programFolder); location.selfUpdate) {
        const install::RecoveryOutcome recovered =
            install::recoverInterruptedInstall(programFolder, location.iniPath);
        if (!recovered.error.isEmpty())
            showMessage(nullptr, recovered.error);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillon, the timetable client"));
    parser.addHelpOption();
    parser.addVersionOption();
    addServiceOptions(parser, {QStringLiteral("timetable"), QStringLiteral("fare"),
                               QStringLiteral("manifest"), QStringLiteral("banner"),
                               QStringLiteral("portal")});
    parser.process(app);

    Program::Services =
        applyServiceOptions(loadServiceAddresses(readStartupValues(programFolder).iniPath), parser);

    Form1 form(programFolder);
    reportFirstPaint(&form);
    form.show();
    return app.exec();
}
