#include "form4.h"
#include "form5.h"
#include "release/profile.h"
#include "testfiles.h"
#include "program.h"
#include "serviceprocess.h"
#include "updatecheck.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

// A signed release of the bundled service, through the client's check and prompt, installed by
// the updater the prompt hands over to.
class TestUpdateEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void installsOfferedReleaseFromPrompt();
    void offersNothingInSystemWideInstall();

private:
    // Runs the check; presses "立即升级" when the prompt shows. The updater's arguments, if any.
    QStringList checkAndAccept(bool* prompted);

    QTemporaryDir m_root;
    QProcess m_service;
    QString m_app;
};

void TestUpdateEndToEnd::initTestCase() {
    const QString release = m_root.filePath("release");
    m_app = m_root.filePath("app");
    QVERIFY(QDir().mkpath(release) && QDir().mkpath(m_app));
    QVERIFY(writeFile(release + "/version.txt", "3.1\n"));
    QVERIFY(writeFile(release + "/notes.txt", "新版本\n"));
    QVERIFY(writeFile(release + "/a", "new a\n"));
    QVERIFY(writeFile(release + "/b", "new b\n"));
    QVERIFY(writeFile(m_app + "/a", "old a\n"));
    QVERIFY(writeProfileString("system", "Version", "3.0", m_app + "/system.ini"));
    QVERIFY(::link(QUILLON_UPDATE_BIN, QFile::encodeName(m_app + "/quillon-update").constData()) ==
            0);

    const QString base =
        startServiceProcess(m_service, QStringLiteral(QUILLON_SERVICE_BIN), {"--release", release});
    QVERIFY(!base.isEmpty());
    Program::Services.manifest = base + "update/manifest.txt";
    Program::IniPath = m_app + "/system.ini";
    Program::CurVersion = readProfileString("system", "Version", Program::IniPath);
}

void TestUpdateEndToEnd::cleanupTestCase() {
    Form5::setLauncher({});
    stopServiceProcess(m_service);
}

QStringList TestUpdateEndToEnd::checkAndAccept(bool* prompted) {
    QStringList handedOver;
    Form5::setLauncher([&](const QString&, const QStringList& arguments) {
        handedOver = arguments;
        return true;
    });
    *prompted = false;
    QTimer watcher;
    watcher.setInterval(10);
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (auto* prompt = qobject_cast<Form5*>(QApplication::activeModalWidget())) {
            *prompted = true;
            prompt->Command1->click();
        }
    });
    watcher.start();
    QTimer Timer2;
    Timer2.setInterval(5000);
    Timer2.start();
    runUpdateCheck(&Timer2, nullptr, [] {});
    return handedOver;
}

void TestUpdateEndToEnd::installsOfferedReleaseFromPrompt() {
    Program::SelfUpdate = true;
    bool prompted = false;
    const QStringList arguments = checkAndAccept(&prompted);
    QVERIFY(prompted);
    QCOMPARE(arguments, QStringList{"3.1?a,b"});

    QProcess updater;
    updater.start(m_app + "/quillon-update", QStringList{"--yes"} + arguments);
    QVERIFY(updater.waitForFinished(60000));
    QVERIFY2(updater.exitCode() == 0, updater.readAllStandardError().constData());
    QCOMPARE(readAll(m_app + "/a"), QByteArray("new a\n"));
    QCOMPARE(readAll(m_app + "/b"), QByteArray("new b\n"));
    QCOMPARE(readProfileString("system", "Version", m_app + "/system.ini"), "3.1");
}

void TestUpdateEndToEnd::offersNothingInSystemWideInstall() {
    Program::SelfUpdate = false;
    Program::CurVersion = "2.0";
    const QByteArray before = readAll(Program::IniPath);
    bool prompted = false;
    QVERIFY(checkAndAccept(&prompted).isEmpty());
    QVERIFY(!prompted);
    QCOMPARE(readAll(Program::IniPath), before);
    // The about window tells the user why no update is offered.
    for (const bool selfUpdate : {false, true}) {
        Program::SelfUpdate = selfUpdate;
        Form4 about(nullptr);
        QCOMPARE(about.findChild<QLabel*>("SelfUpdateOff") != nullptr, !selfUpdate);
    }
}

QTEST_MAIN(TestUpdateEndToEnd)
#include "tst_update_endtoend.moc"
