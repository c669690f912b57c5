#include "updater/form2.h"
#include "updater/form6.h"
#include "release/installjournal.h"
#include "release/installlocation.h"
#include "release/releasesignature.h"
#include "updater/updatermessages.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

constexpr const char* kUnattendedOption = "--yes";
// For tests only; the client never passes them.
constexpr const char* kPublicKeyOption = "--public-key"; // FILE: accept this key's signatures
constexpr const char* kStopAtOption = "--stop-at";       // N: die by SIGKILL at the Nth step

bool hasDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

int fail(const QString& text) {
    std::fprintf(stderr, "quillon-update: %s\n", text.toLocal8Bit().constData());
    return 1;
}

int makeKey(const QString& secretFile) {
    QString error;
    if (!release::writeKeyPair(release::makeKeyPair(), secretFile, &error))
        return fail(error);
    std::printf("secret key %s, public key %s.pub\n", qPrintable(secretFile),
                qPrintable(secretFile));
    return 0;
}

// Takes `name VALUE` out of `arguments`; the empty text when it is not there.
QString takeOption(QStringList& arguments, const char* name) {
    const qsizetype at = arguments.indexOf(QLatin1String(name));
    if (at < 0 || at + 1 >= arguments.size())
        return {};
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

void stopAtStep(int step) {
    static int reached = 0;
    install::setCheckpointHook([step] {
        if (++reached == step)
            std::raise(SIGKILL);
    });
}

} // namespace

// quillon-update [--yes] VERSION?FILE,FILE,...      the update (the client passes one argument)
// quillon-update --make-key FILE                    a publisher key pair: FILE and FILE.pub
// --yes runs without the confirmation window, writes messages to stderr and exits 0 only when
// every file was installed.
int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--make-key") == 0)
        return makeKey(QString::fromLocal8Bit(argv[2]));
    bool unattended = false;
    for (int i = 1; i < argc; ++i)
        unattended = unattended || qstrcmp(argv[i], kUnattendedOption) == 0;
    // Scripts run the unattended mode without a display; its window is never shown there.
    if (unattended && !hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillon-update"));
    QApplication::setQuitOnLastWindowClosed(false);
    if (unattended)
        setMessageHandler([](const QString& text) { fail(text); });

    QStringList arguments = QCoreApplication::arguments().mid(1);
    arguments.removeAll(QLatin1String(kUnattendedOption));
    const QString keyFile = takeOption(arguments, kPublicKeyOption);
    if (const int step = takeOption(arguments, kStopAtOption).toInt(); step > 0)
        stopAtStep(step);
    const QString commandText = arguments.join(u' ');
    const QString programFolder = QCoreApplication::applicationDirPath();

    QByteArray publicKey;
    if (!keyFile.isEmpty()) {
        QString error;
        const std::optional<QByteArray> key =
            release::readKeyFile(keyFile, release::kPublicKeyBytes, &error);
        if (!key)
            return fail(error);
        publicKey = *key;
    }

    const InstallLocation location = locateInstall(programFolder);
    if (!location.selfUpdate) {
        showUpdaterMessage(nullptr, QStringLiteral("本程序安装在系统文件夹%1中,"
                                                   "请通过软件包管理器升级。")
                                        .arg(programFolder));
        return 1;
    }
    // An update that a crash interrupted is finished or undone before anything else.
    const install::RecoveryOutcome recovered =
        install::recoverInterruptedInstall(programFolder, location.iniPath);
    if (recovered.what == install::Recovery::Failed) {
        showUpdaterMessage(nullptr, recovered.error);
        return 1;
    }

    std::unique_ptr<Form6> progress;
    const auto startUpdate = [&] {
        progress = std::make_unique<Form6>(commandText, programFolder);
        if (!publicKey.isEmpty())
            progress->setPublicKey(publicKey);
        QObject::connect(progress.get(), &Form6::ended,
                         [](bool allInstalled) { QCoreApplication::exit(allInstalled ? 0 : 1); });
    };

    if (unattended) {
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
