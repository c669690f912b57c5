#include "module1.h"
#include "release/profile.h"
#include "serviceprocess.h"
#include "testfiles.h"

#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QFileDevice::Permissions kExecutable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser | QFileDevice::ReadGroup |
    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
const QFileDevice::Permissions kPlain = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadUser | QFileDevice::WriteUser |
                                        QFileDevice::ReadGroup | QFileDevice::ReadOther;

QByteArray bigBody() {
    QByteArray bytes(300 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 31) >> 3);
    return bytes;
}

// One GET that closes its connection, so the service stops at once when asked.
QString fetchManifest(const QString& base) {
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(base + QStringLiteral("update/manifest.txt")));
    request.setRawHeader("Connection", "close");
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QString text = Module1::DecodeBytes(reply->readAll(), QStringLiteral("gb2312"));
    delete reply;
    return text;
}

// A target name of the longest length a file system allows.
const QString kLongName = QString(251, u'n') + QStringLiteral(".bin");

} // namespace

// The updater as a user runs it: copied into a program folder beside system.ini and the
// installed files, fetching from the bundled service (signing with the build's own key) started
// on a free loopback port.
class TestUpdaterProgram : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void servesManifestOfRelease();
    void servesInstalledVersionWithoutRelease();
    void installsEveryFileAndRecordsVersion();
    void installsNothingFromUnsoundRelease_data();
    void installsNothingFromUnsoundRelease();
    void refusesProtectedTarget_data();
    void refusesProtectedTarget();
    void freesStagingWhenDiskIsFull();
    void writesNothingOutsideFolder();
    void endsWhollyOldOrWhollyNewAfterKill();
    void leavesClientToStartAfterKillDuringOwnReplacement();

private:
    int runUpdater(const QString& route, const QStringList& arguments, QString* errors,
                   QProcess::ExitStatus* status = nullptr);
    void expectInstallation(bool updated);
    void expectOldFilesBesides(const QString& except);
    void writeOldInstallation();

    QTemporaryDir m_root;
    QProcess m_service;
    QString m_base; // http://127.0.0.1:PORT/
    QString m_app;
    QString m_release;
};

void TestUpdaterProgram::initTestCase() {
    QVERIFY(m_root.isValid());
    m_release = m_root.filePath(QStringLiteral("release"));
    QVERIFY(QDir().mkpath(m_release));
    QVERIFY(writeFile(m_release + u"/version.txt"_s, "3.1\n"));
    QVERIFY(writeFile(m_release + u"/notes.txt"_s, "修正了时刻表显示。\n"));
    QVERIFY(writeFile(m_release + u"/a"_s, "new a\n"));
    QVERIFY(writeFile(m_release + u"/b"_s, "#!/bin/sh\necho new b\n", kExecutable));
    QVERIFY(writeFile(m_release + u"/c"_s, bigBody()));
    QVERIFY(writeFile(m_release + u"/"_s + kLongName, "long\n", kExecutable));
    m_base = startServiceProcess(m_service, QStringLiteral(QUILLON_SERVICE_BIN),
                                 {QStringLiteral("--release"), m_release});
    QVERIFY(!m_base.isEmpty());
}

void TestUpdaterProgram::cleanupTestCase() {
    stopServiceProcess(m_service);
}

void TestUpdaterProgram::init() {
    m_app = m_root.filePath(QStringLiteral("app"));
    QDir(m_app).removeRecursively();
    QVERIFY(QDir().mkpath(m_app));
    writeOldInstallation();
}

void TestUpdaterProgram::writeOldInstallation() {
    QVERIFY(QFile::copy(QStringLiteral(QUILLON_UPDATE_BIN), m_app + u"/quillon-update"_s));
    QVERIFY(writeFile(m_app + u"/a"_s, "old a\n"));
    QVERIFY(writeFile(m_app + u"/b"_s, "#!/bin/sh\necho old b\n", kExecutable));
    QVERIFY(writeFile(m_app + u"/c"_s, "old c\n"));
    QVERIFY(writeProfileString(u"system"_s, u"Version"_s, u"3.0"_s, m_app + u"/system.ini"_s));
}

int TestUpdaterProgram::runUpdater(const QString& route, const QStringList& arguments,
                                   QString* errors, QProcess::ExitStatus* status) {
    writeProfileString(u"update"_s, u"http"_s, m_base + route, m_app + u"/system.ini"_s);
    QProcess updater;
    // No platform at all: the unattended updater opens no window, so it must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"none"_s);
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    updater.setProcessEnvironment(environment);
    updater.start(m_app + u"/quillon-update"_s, QStringList{QStringLiteral("--yes")} + arguments);
    if (!updater.waitForFinished(60000)) {
        updater.kill();
        updater.waitForFinished();
        return -1;
    }
    *errors = QString::fromLocal8Bit(updater.readAllStandardError());
    if (status)
        *status = updater.exitStatus();
    return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -1;
}

// Wholly the old set with the old version, or wholly the new set with the new one, and no
// staging left behind.
void TestUpdaterProgram::expectInstallation(bool updated) {
    QCOMPARE(readAll(m_app + u"/a"_s), updated ? QByteArray("new a\n") : QByteArray("old a\n"));
    QCOMPARE(readAll(m_app + u"/b"_s), updated ? QByteArray("#!/bin/sh\necho new b\n")
                                               : QByteArray("#!/bin/sh\necho old b\n"));
    QCOMPARE(readAll(m_app + u"/c"_s), updated ? bigBody() : QByteArray("old c\n"));
    QCOMPARE(QFile::permissions(m_app + u"/b"_s), kExecutable);
    QCOMPARE(QFile::permissions(m_app + u"/a"_s), kPlain);
    QCOMPARE(readProfileString(u"system"_s, u"Version"_s, m_app + u"/system.ini"_s),
             updated ? u"3.1"_s : u"3.0"_s);
    QCOMPARE(QDir(m_app)
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                 .filter(QRegularExpression(u"^\\."_s)),
             QStringList());
}

void TestUpdaterProgram::servesManifestOfRelease() {
    const QString manifest = fetchManifest(m_base);
    QCOMPARE(manifest.section(u'|', 0, 0), QStringLiteral("3.1"));
    QCOMPARE(manifest.section(u'|', 1, 1), m_base + u"update/files/"_s);
    QCOMPARE(manifest.section(u'|', 2, 2), QStringLiteral("a,b,c,") + kLongName);
    QCOMPARE(manifest.section(u'|', 8, 8), QStringLiteral("修正了时刻表显示。\n"));
}

void TestUpdaterProgram::servesInstalledVersionWithoutRelease() {
    QProcess bare;
    const QString base = startServiceProcess(bare, QStringLiteral(QUILLON_SERVICE_BIN), {});
    QVERIFY(!base.isEmpty());
    const QString manifest = fetchManifest(base);
    stopServiceProcess(bare);
    QCOMPARE(manifest.section(u'|', 0, 0), QStringLiteral("3.0"));
    QCOMPARE(manifest.section(u'|', 2, 2), QString());
}

void TestUpdaterProgram::installsEveryFileAndRecordsVersion() {
    QString errors;
    // The trailing "," names no file and must not stop the version from being recorded.
    QCOMPARE(runUpdater(u"update/files/"_s, {u"3.1?a,b,c,"_s + kLongName + u","_s}, &errors), 0);
    QVERIFY2(!errors.contains(u"quillon-update:"_s), qPrintable(errors));
    expectInstallation(true);
    // A file new to the folder gets the mode the release gives it.
    QCOMPARE(readAll(m_app + u"/"_s + kLongName), QByteArray("long\n"));
    QCOMPARE(QFile::permissions(m_app + u"/"_s + kLongName), kExecutable);
}

void TestUpdaterProgram::installsNothingFromUnsoundRelease_data() {
    QTest::addColumn<QString>("route");
    QTest::addColumn<bool>("otherKey");
    QTest::addColumn<QString>("message");
    QTest::newRow("cut short") << "update/short/" << false << "未能完整下载";
    QTest::newRow("not found") << "update/missing/" << false << "无法取得升级文件的校验清单";
    QTest::newRow("file changed") << "update/tampered/" << false << "与发布者签署的校验值不符";
    QTest::newRow("sum list changed") << "update/forged/" << false << "签名无效";
    QTest::newRow("no signature") << "update/unsigned/" << false << "缺少发布者的签名";
    QTest::newRow("other key") << "update/files/" << true << "签名无效";
}

void TestUpdaterProgram::installsNothingFromUnsoundRelease() {
    QFETCH(QString, route);
    QFETCH(bool, otherKey);
    QFETCH(QString, message);
    QStringList arguments{u"3.1?a,b,c"_s};
    if (otherKey) {
        const QString key = m_root.filePath(u"other.key"_s);
        QCOMPARE(QProcess::execute(m_app + u"/quillon-update"_s, {u"--make-key"_s, key}), 0);
        arguments << u"--public-key"_s << key + u".pub"_s;
    }
    QString errors;
    QCOMPARE(runUpdater(route, arguments, &errors), 1);
    QCOMPARE(errors.count(u"quillon-update:"_s), 1);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    expectInstallation(false);
}

void TestUpdaterProgram::refusesProtectedTarget_data() {
    QTest::addColumn<bool>("folder");
    QTest::newRow("write-protected file") << false;
    QTest::newRow("folder") << true;
}

void TestUpdaterProgram::refusesProtectedTarget() {
    QFETCH(bool, folder);
    const QString c = m_app + u"/c"_s;
    if (folder)
        QVERIFY(QFile::remove(c) && QDir().mkdir(c));
    else
        QVERIFY(QFile::setPermissions(c, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    QString errors;
    QCOMPARE(runUpdater(u"update/files/"_s, {u"3.1?a,b,c"_s}, &errors), 1);
    QCOMPARE(errors.count(u"quillon-update:"_s), 1);
    QVERIFY2(errors.contains(u"文件"_s + c + u"正在使用,无法进行操作"_s), qPrintable(errors));
    QCOMPARE(QFileInfo(c).isDir(), folder);
    if (!folder) {
        QCOMPARE(readAll(c), QByteArray("old c\n"));
        QFile::setPermissions(c, kPlain);
    }
    QDir(c).removeRecursively();
    QVERIFY(writeFile(c, "old c\n"));
    expectInstallation(false);
}

void TestUpdaterProgram::freesStagingWhenDiskIsFull() {
    // A program folder on a file system with room for the old set but not for the big new file.
    const qint64 room = QFileInfo(QStringLiteral(QUILLON_UPDATE_BIN)).size() / 1024 + 200;
    QDir(m_app).removeRecursively();
    QVERIFY(QDir().mkpath(m_app));
    if (QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s,
                                       QStringLiteral("size=%1k").arg(room), u"tmpfs"_s, m_app}) !=
        0)
        QSKIP("cannot mount a small file system here");
    const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {m_app}); });
    writeOldInstallation();
    QString errors;
    QCOMPARE(runUpdater(u"update/files/"_s, {u"3.1?a,b,c"_s}, &errors), 1);
    QCOMPARE(errors.count(u"quillon-update:"_s), 1);
    QVERIFY2(errors.contains(u"磁盘空间不足"_s), qPrintable(errors));
    expectInstallation(false);
}

void TestUpdaterProgram::writesNothingOutsideFolder() {
    QString errors;
    QCOMPARE(runUpdater(u"update/files/"_s, {u"3.1?a,../a"_s}, &errors), 1);
    QVERIFY(errors.contains(u"../a"_s));
    QVERIFY(!QFile::exists(m_root.filePath(u"a"_s)));
    expectInstallation(false);
}

// The updater dies by SIGKILL after each step of a three-file update in turn (download,
// verification, install, clean-up); the client's next start must find the old or the new set.
void TestUpdaterProgram::endsWhollyOldOrWhollyNewAfterKill() {
    int killed = 0, old = 0, updated = 0;
    for (int step = 1; step < 100; ++step) {
        init();
        // A hard link: the client must run from the program folder, as installed.
        QVERIFY(::link(QUILLON_CLIENT_BIN, QFile::encodeName(m_app + u"/quillon"_s).constData()) ==
                0);
        QString errors;
        QProcess::ExitStatus status = QProcess::NormalExit;
        const int code =
            runUpdater(u"update/files/"_s, {u"--stop-at"_s, QString::number(step), u"3.1?a,b,c"_s},
                       &errors, &status);
        QProcess client;
        client.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        client.start(m_app + u"/quillon"_s, {u"--version"_s});
        QVERIFY(client.waitForFinished(30000));
        QCOMPARE(client.exitCode(), 0);
        const bool isNew =
            readProfileString(u"system"_s, u"Version"_s, m_app + u"/system.ini"_s) == u"3.1"_s;
        expectInstallation(isNew);
        (isNew ? updated : old) += 1;
        if (status == QProcess::NormalExit) {
            QCOMPARE(code, 0); // every step passed: the update ran through
            break;
        }
        ++killed;
    }
    qInfo("killed at %d steps: %d left the old set, %d the new", killed, old, updated - 1);
    QVERIFY2(killed >= 20, qPrintable(QString::number(killed)));
    QVERIFY(old > 0 && updated > 1);
}

// The update replaces the client itself and dies after each step in turn, and so does the
// recovery: the client must be there to start at every point, and an unattended run with nothing
// to fetch finishes what was left, says what it did and succeeds.
void TestUpdaterProgram::leavesClientToStartAfterKillDuringOwnReplacement() {
    const QString release = m_root.filePath(u"release-client"_s);
    QVERIFY(QDir().mkpath(release));
    QVERIFY(writeFile(release + u"/version.txt"_s, "3.1\n"));
    QVERIFY(writeFile(release + u"/quillon"_s, "#!/bin/sh\necho new\n", kExecutable));
    QVERIFY(writeFile(release + u"/a"_s, "new a\n"));
    QProcess service;
    const QString base = startServiceProcess(service, QStringLiteral(QUILLON_SERVICE_BIN),
                                             {QStringLiteral("--release"), release});
    QVERIFY(!base.isEmpty());
    const auto stopService = qScopeGuard([&] { stopServiceProcess(service); });
    const auto run = [this](const QString& program, const QStringList& arguments, QString* out) {
        QProcess process;
        process.start(m_app + u"/"_s + program, arguments);
        if (!process.waitForStarted())
            return -2; // not there to start
        if (!process.waitForFinished(60000))
            process.kill();
        process.waitForFinished();
        *out = QString::fromLocal8Bit(process.readAllStandardOutput() +
                                      process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    int killed = 0, recovered = 0;
    for (int step = 1; step < 100; ++step) {
        init();
        QVERIFY(writeFile(m_app + u"/quillon"_s, "#!/bin/sh\necho old\n", kExecutable));
        writeProfileString(u"update"_s, u"http"_s, base + u"update/files/"_s,
                           m_app + u"/system.ini"_s);
        QString output;
        const int code =
            run(u"quillon-update"_s,
                {u"--yes"_s, u"--stop-at"_s, QString::number(step), u"3.1?quillon,a"_s}, &output);
        QString client;
        QCOMPARE(run(u"quillon"_s, {}, &client), 0);
        if (code != -1) {
            QCOMPARE(code, 0);
            QCOMPARE(client, QString(u"new\n"_s));
            break;
        }
        ++killed;
        // The recovery is killed too, each time a step later, until one run completes it.
        const QString staging = m_app + u"/.quillon-staging"_s;
        for (int stop = 1; QFileInfo::exists(staging) && stop < 50; ++stop) {
            const int recovery = run(u"quillon-update"_s,
                                     {u"--yes"_s, u"--stop-at"_s, QString::number(stop)}, &output);
            QCOMPARE(run(u"quillon"_s, {}, &client), 0);
            if (recovery != -1) {
                ++recovered;
                QCOMPARE(recovery, 0);
                QVERIFY2(output.contains(u"quillon-update: "_s), qPrintable(output));
                QVERIFY(!QFileInfo::exists(staging));
            }
        }
        const bool isNew =
            readProfileString(u"system"_s, u"Version"_s, m_app + u"/system.ini"_s) == u"3.1"_s;
        QCOMPARE(run(u"quillon"_s, {}, &client), 0);
        QCOMPARE(client, QString(isNew ? u"new\n"_s : u"old\n"_s));
        QCOMPARE(readAll(m_app + u"/a"_s), QByteArray(isNew ? "new a\n" : "old a\n"));
    }
    qInfo("killed at %d steps, %d of them recovered by the updater", killed, recovered);
    QVERIFY2(killed >= 8 && recovered >= 4, qPrintable(QString::number(killed)));
}

QTEST_GUILESS_MAIN(TestUpdaterProgram)
#include "tst_updater_program.moc"
