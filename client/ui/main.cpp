// quillon: the desktop client.
#include "config.h"
#include "form1.h"
#include "module1.h"
#include "program.h"

#include <QApplication>
#include <QCommandLineParser>

#include <unistd.h>

int main(int argc, char* argv[]) {
    // The embedded browsers need these before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX") && geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // the sandbox refuses to run as root

    QApplication app(argc, argv);
    Program::nameApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillon, the timetable client"));
    parser.addHelpOption();
    addServiceOptions(parser, {QStringLiteral("timetable"), QStringLiteral("fare"),
                               QStringLiteral("manifest"), QStringLiteral("banner"),
                               QStringLiteral("portal")});
    parser.process(app);

    const QString programFolder = QCoreApplication::applicationDirPath();
    Program::Services =
        applyServiceOptions(loadServiceAddresses(readStartupValues(programFolder).iniPath), parser);

    Form1 form(programFolder);
    form.show();
    return app.exec();
}
