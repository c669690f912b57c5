#include "form2.h"
#include "form6.h"
#include "updatermessages.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace {

constexpr const char* kUnattendedOption = "--yes";

bool hasDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

} // namespace

// quillon-update [--yes] VERSION?FILE,FILE,...
// The client starts it from the program folder with one argument; --yes runs without the
// confirmation window, writes messages to stderr and exits 0 only when every file was installed.
int main(int argc, char** argv) {
    bool unattended = false;
    for (int i = 1; i < argc; ++i)
        unattended = unattended || qstrcmp(argv[i], kUnattendedOption) == 0;
    // Scripts run the unattended mode without a display; its window is never shown there.
    if (unattended && !hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillon-update"));
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList arguments = QCoreApplication::arguments().mid(1);
    arguments.removeAll(QLatin1String(kUnattendedOption));
    const QString commandText = arguments.join(u' ');
    const QString programFolder = QCoreApplication::applicationDirPath();

    std::unique_ptr<Form6> progress;
    const auto startUpdate = [&] {
        progress = std::make_unique<Form6>(commandText, programFolder);
        QObject::connect(progress.get(), &Form6::ended,
                         [](bool allInstalled) { QCoreApplication::exit(allInstalled ? 0 : 1); });
    };

    if (unattended) {
        setMessageHandler([](const QString& text) {
            std::fprintf(stderr, "quillon-update: %s\n", text.toLocal8Bit().constData());
        });
        startUpdate();
        return app.exec();
    }

    Form2 confirm(commandText);
    QObject::connect(&confirm, &Form2::upgradeChosen, [&] {
        startUpdate();
        progress->show();
    });
    QObject::connect(&confirm, &Form2::closeChosen, [] { QCoreApplication::exit(1); });
    confirm.show();
    return app.exec();
}
