// quillon: the desktop client.
#include "config.h"
#include "net/fetchpolicy.h"
#include "firstpaint.h"
#include "form1.h"
#include "release/installjournal.h"
#include "release/installlocation.h"
#include "localservice.h"
#include "messages.h"
#include "module1.h"
#include "program.h"
#include "webviews.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char* argv[]) {
    prepareWebViews();
    QApplication app(argc, argv);
    Program::nameApplication();
    Program::useChineseQtTexts();
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
    addSourceOptions(parser);
    parser.process(app);

    const QString iniPath = readStartupValues(programFolder).iniPath;
    Program::Services = applyServiceOptions(loadServiceAddresses(iniPath), parser);
    FetchPolicy::setPageDeadline(readPageDeadline(iniPath));
    QString error;
    const auto source = applySourceOptions(
        readUserSourceChoice(userSettingsFile()).value_or(readIniSourceChoice(iniPath)), parser,
        &error);
    if (!source) {
        std::fprintf(stderr, "quillon: %s\n", qPrintable(error));
        return 2;
    }
    Program::Source = *source;

    // Declared before the window so it outlives it: the service it started stops at exit.
    BundledService service(programFolder);
    service.ensure(Program::Services.timetable, Program::Source);
    Form1 form(programFolder);
    form.useBundledService(&service);
    reportFirstPaint(&form);
    form.show();
    return app.exec();
}
