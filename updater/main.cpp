#include "release/installjournal.h"
#include "release/installlocation.h"
#include "release/profile.h"
#include "release/releasesignature.h"
#include "release/updatesession.h"
#include "updater/form2.h"
#include "updater/form6.h"
#include "updater/publisherkey.h"
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

// What the recovery of an interrupted update did, for the user; empty when there was none.
QString recoveryNote(const install::RecoveryOutcome& recovered, const QString& iniPath) {
    const QString version =
        readProfileString(QStringLiteral("system"), QStringLiteral("Version"), iniPath);
    switch (recovered.what) {
    case install::Recovery::Completed:
        return QStringLiteral("已完成上次中断的升级,现为版本%1。").arg(version);
    case install::Recovery::RolledBack:
        return recovered.error.isEmpty()
                   ? QStringLiteral("已撤销上次中断的升级,仍为版本%1。").arg(version)
                   : recovered.error;
    case install::Recovery::DroppedDownload:
        return QStringLiteral("已删除上次中断的升级所下载的文件,已安装的文件未变。");
    case install::Recovery::Nothing:
    case install::Recovery::Failed:
        break;
    }
    return {};
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
// --yes runs without any window, writes messages to stderr and exits 0 only when every file was
// installed; with no files named, it finishes an interrupted update, says so and exits 0.
int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--make-key") == 0)
        return makeKey(QString::fromLocal8Bit(argv[2]));
    bool unattended = false;
    for (int i = 1; i < argc; ++i)
        unattended = unattended || qstrcmp(argv[i], kUnattendedOption) == 0;
    // The unattended mode opens no window, so it runs without a display.
    const std::unique_ptr<QCoreApplication> app =
        unattended ? std::make_unique<QCoreApplication>(argc, argv)
                   : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-update"));
    if (unattended)
        setMessageHandler([](const QString& text) { fail(text); });
    else
        QApplication::setQuitOnLastWindowClosed(false);

    QStringList arguments = QCoreApplication::arguments().mid(1);
    arguments.removeAll(QLatin1String(kUnattendedOption));
    const QString keyFile = takeOption(arguments, kPublicKeyOption);
    if (const int step = takeOption(arguments, kStopAtOption).toInt(); step > 0)
        stopAtStep(step);
    const QString commandText = arguments.join(u' ');
    const QString programFolder = QCoreApplication::applicationDirPath();

    QByteArray publicKey = builtInPublicKey();
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
    // An update that a crash interrupted is finished or undone before anything else, and the
    // user told what became of it; with nothing else asked for, that is the whole run.
    const install::RecoveryOutcome recovered =
        install::recoverInterruptedInstall(programFolder, location.iniPath);
    if (recovered.what == install::Recovery::Failed) {
        showUpdaterMessage(nullptr, recovered.error);
        return 1;
    }
    if (const QString note = recoveryNote(recovered, location.iniPath); !note.isEmpty()) {
        if (unattended)
            std::printf("quillon-update: %s\n", note.toLocal8Bit().constData());
        else
            showMessageBox(nullptr, note, QMessageBox::Information,
                           QStringLiteral("Quillon - 软件升级"));
        if (commandText.isEmpty())
            return 0;
    }

    if (unattended) {
        UpdateSession session(commandText, programFolder);
        session.setPublicKey(publicKey);
        QObject::connect(&session, &UpdateSession::message,
                         [](const QString& text) { fail(text); });
        bool installed = false;
        QObject::connect(&session, &UpdateSession::ended, [&](bool all) { installed = all; });
        session.run();
        return installed ? 0 : 1;
    }

    std::unique_ptr<Form6> progress;
    Form2 confirm(commandText);
    QObject::connect(&confirm, &Form2::upgradeChosen, [&] {
        progress = std::make_unique<Form6>(commandText, programFolder);
        progress->session->setPublicKey(publicKey);
        QObject::connect(progress.get(), &Form6::ended,
                         [](bool allInstalled) { QCoreApplication::exit(allInstalled ? 0 : 1); });
        progress->show();
    });
    QObject::connect(&confirm, &Form2::closeChosen, [] { QCoreApplication::exit(1); });
    confirm.show();
    return QCoreApplication::exec();
}
