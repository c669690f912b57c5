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

using namespace Qt::StringLiterals;

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
    const QString release = m_root.filePath(u"release"_s);
    m_app = m_root.filePath(u"app"_s);
    QVERIFY(QDir().mkpath(release) && QDir().mkpath(m_app));
    QVERIFY(writeFile(release + u"/version.txt"_s, "3.1\n"));
    QVERIFY(writeFile(release + u"/notes.txt"_s, "新版本\n"));
    QVERIFY(writeFile(release + u"/a"_s, "new a\n"));
    QVERIFY(writeFile(release + u"/b"_s, "new b\n"));
    QVERIFY(writeFile(m_app + u"/a"_s, "old a\n"));
    QVERIFY(writeProfileString(u"system"_s, u"Version"_s, u"3.0"_s, m_app + u"/system.ini"_s));
    QVERIFY(::link(QUILLON_UPDATE_BIN,
                   QFile::encodeName(m_app + u"/quillon-update"_s).constData()) == 0);

    const QString base = startServiceProcess(m_service, QStringLiteral(QUILLON_SERVICE_BIN),
                                             {u"--release"_s, release});
    QVERIFY(!base.isEmpty());
    Program::Services.manifest = base + u"update/manifest.txt"_s;
    Program::IniPath = m_app + u"/system.ini"_s;
    Program::CurVersion = readProfileString(u"system"_s, u"Version"_s, Program::IniPath);
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
    QCOMPARE(arguments, QStringList{u"3.1?a,b"_s});

    QProcess updater;
    updater.start(m_app + u"/quillon-update"_s, QStringList{u"--yes"_s} + arguments);
    QVERIFY(updater.waitForFinished(60000));
    QVERIFY2(updater.exitCode() == 0, updater.readAllStandardError().constData());
    QCOMPARE(readAll(m_app + u"/a"_s), QByteArray("new a\n"));
    QCOMPARE(readAll(m_app + u"/b"_s), QByteArray("new b\n"));
    QCOMPARE(readProfileString(u"system"_s, u"Version"_s, m_app + u"/system.ini"_s), u"3.1"_s);
}

void TestUpdateEndToEnd::offersNothingInSystemWideInstall() {
    Program::SelfUpdate = false;
    Program::CurVersion = u"2.0"_s;
    const QByteArray before = readAll(Program::IniPath);
    bool prompted = false;
    QVERIFY(checkAndAccept(&prompted).isEmpty());
    QVERIFY(!prompted);
    QCOMPARE(readAll(Program::IniPath), before);
    // The about window tells the user why no update is offered.
    for (const bool selfUpdate : {false, true}) {
        Program::SelfUpdate = selfUpdate;
        Form4 about(nullptr);
        QCOMPARE(about.findChild<QLabel*>(u"SelfUpdateOff"_s) != nullptr, !selfUpdate);
    }
}

QTEST_MAIN(TestUpdateEndToEnd)
#include "tst_update_endtoend.moc"
