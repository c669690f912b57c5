// quillon: the desktop client.
#include "config.h"
#include "firstpaint.h"
#include "form1.h"
#include "installjournal.h"
#include "installlocation.h"
#include "messages.h"
#include "module1.h"
#include "program.h"

#include <QApplication>
#include <QCommandLineParser>

#include <unistd.h>

namespace {

// The web engine of the banner and the detail window was most of the client's memory. Set
// before the application object exists; what the user sets in the environment still wins.
void leanWebEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // A banner and a page of stops draw fine without OpenGL, and the software scene graph
    // spares the driver's tens of megabytes.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    // Nor is the X11 OpenGL integration loaded, which would map the GL driver all the same.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX") && geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // the sandbox refuses to run as root
    // One renderer for the few pages the client shows, no spare one kept warm, a small
    // script heap. The zygote can only go where the sandbox is off (it forks the sandbox).
    QByteArray flags = "--renderer-process-limit=1 --disable-features="
                       "SpareRendererForSitePerProcess,BackForwardCache "
                       "--js-flags=--max-old-space-size=32";
    if (qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1")
        flags += " --no-zygote";
    const QByteArray own = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", own.isEmpty() ? flags : flags + ' ' + own);
}

} // namespace

int main(int argc, char* argv[]) {
    leanWebEngine();
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
