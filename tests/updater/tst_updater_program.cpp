#include "module1.h"
#include "profile.h"

#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QFileDevice::Permissions kExecutable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser | QFileDevice::ReadGroup |
    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
const QFileDevice::Permissions kPlain = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadUser | QFileDevice::WriteUser |
                                        QFileDevice::ReadGroup | QFileDevice::ReadOther;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes,
               QFileDevice::Permissions permissions = kPlain) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           file.setPermissions(permissions);
}

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

} // namespace

// The updater as a user runs it: copied into a program folder beside system.ini and the
// installed files, fetching from the bundled service started on a free loopback port.
class TestUpdaterProgram : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void servesManifestOfRelease();
    void servesInstalledVersionWithoutRelease();
    void installsEveryFileAndRecordsVersion();
    void keepsEverythingWhenAFileIsNotWhole_data();
    void keepsEverythingWhenAFileIsNotWhole();
    void writesNothingOutsideFolder();

private:
    QString startService(QProcess& service, const QStringList& extra);
    int runUpdater(const QString& route, const QString& argument, QString* errors);
    void expectOldInstallation();

    QTemporaryDir m_root;
    QProcess m_service;
    QString m_base; // http://127.0.0.1:PORT/
    QString m_app;
    QString m_release;
};

QString TestUpdaterProgram::startService(QProcess& service, const QStringList& extra) {
    service.start(QStringLiteral(QUILLON_SERVICE_BIN),
                  QStringList{QStringLiteral("--port"), QStringLiteral("0")} + extra);
    if (!service.waitForStarted(10000))
        return {};
    while (!service.canReadLine() && service.waitForReadyRead(10000)) {
    }
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+/)"))
            .match(QString::fromUtf8(service.readLine()));
    return match.hasMatch() ? match.captured(1) : QString();
}

void TestUpdaterProgram::initTestCase() {
    QVERIFY(m_root.isValid());
    m_release = m_root.filePath(QStringLiteral("release"));
    QVERIFY(QDir().mkpath(m_release));
    QVERIFY(writeFile(m_release + "/version.txt", "3.1\n"));
    QVERIFY(writeFile(m_release + "/notes.txt", "修正了时刻表显示。\n"));
    QVERIFY(writeFile(m_release + "/a", "new a\n"));
    QVERIFY(writeFile(m_release + "/b", "#!/bin/sh\necho new b\n"));
    QVERIFY(writeFile(m_release + "/c", bigBody()));
    m_base = startService(m_service, {QStringLiteral("--release"), m_release});
    QVERIFY2(!m_base.isEmpty(), m_service.readAllStandardError().constData());
}

void TestUpdaterProgram::cleanupTestCase() {
    m_service.terminate();
    if (!m_service.waitForFinished(5000))
        m_service.kill();
    m_service.waitForFinished(5000);
}

void TestUpdaterProgram::init() {
    m_app = m_root.filePath(QStringLiteral("app"));
    QDir(m_app).removeRecursively();
    QVERIFY(QDir().mkpath(m_app));
    QVERIFY(QFile::copy(QStringLiteral(QUILLON_UPDATE_BIN), m_app + "/quillon-update"));
    QVERIFY(writeFile(m_app + "/a", "old a\n"));
    QVERIFY(writeFile(m_app + "/b", "#!/bin/sh\necho old b\n", kExecutable));
    QVERIFY(writeFile(m_app + "/c", "old c\n"));
    QVERIFY(writeProfileString("system", "Version", "3.0", m_app + "/system.ini"));
}

int TestUpdaterProgram::runUpdater(const QString& route, const QString& argument, QString* errors) {
    writeProfileString("update", "http", m_base + route, m_app + "/system.ini");
    QProcess updater;
    updater.start(m_app + "/quillon-update", {QStringLiteral("--yes"), argument});
    if (!updater.waitForFinished(60000)) {
        updater.kill();
        updater.waitForFinished();
        return -1;
    }
    *errors = QString::fromLocal8Bit(updater.readAllStandardError());
    return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -1;
}

void TestUpdaterProgram::expectOldInstallation() {
    QCOMPARE(readAll(m_app + "/a"), QByteArray("old a\n"));
    QCOMPARE(readAll(m_app + "/b"), QByteArray("#!/bin/sh\necho old b\n"));
    QCOMPARE(readAll(m_app + "/c"), QByteArray("old c\n"));
    QCOMPARE(QFile::permissions(m_app + "/b"), kExecutable);
    QCOMPARE(readProfileString("system", "Version", m_app + "/system.ini"), "3.0");
    // No staging file is left behind.
    QCOMPARE(QDir(m_app).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"a", "b", "c", "quillon-update", "system.ini"}));
}

void TestUpdaterProgram::servesManifestOfRelease() {
    const QString manifest = fetchManifest(m_base);
    QCOMPARE(manifest.section(u'|', 0, 0), QStringLiteral("3.1"));
    QCOMPARE(manifest.section(u'|', 1, 1), m_base + "update/files/");
    QCOMPARE(manifest.section(u'|', 2, 2), QStringLiteral("a,b,c"));
    QCOMPARE(manifest.section(u'|', 8, 8), QStringLiteral("修正了时刻表显示。\n"));
}

void TestUpdaterProgram::servesInstalledVersionWithoutRelease() {
    QProcess bare;
    const QString base = startService(bare, {});
    QVERIFY(!base.isEmpty());
    const QString manifest = fetchManifest(base);
    bare.terminate();
    if (!bare.waitForFinished(10000))
        bare.kill();
    bare.waitForFinished(5000);
    QCOMPARE(manifest.section(u'|', 0, 0), QStringLiteral("3.0"));
    QCOMPARE(manifest.section(u'|', 2, 2), QString());
}

void TestUpdaterProgram::installsEveryFileAndRecordsVersion() {
    QString errors;
    QCOMPARE(runUpdater("update/files/", "3.1?a,b,c", &errors), 0);
    QVERIFY2(!errors.contains("quillon-update:"), qPrintable(errors));
    QCOMPARE(readAll(m_app + "/a"), QByteArray("new a\n"));
    QCOMPARE(readAll(m_app + "/b"), QByteArray("#!/bin/sh\necho new b\n"));
    QCOMPARE(readAll(m_app + "/c"), bigBody());
    QCOMPARE(QFile::permissions(m_app + "/b"), kExecutable);
    QCOMPARE(QFile::permissions(m_app + "/a"), kPlain);
    QCOMPARE(readProfileString("system", "Version", m_app + "/system.ini"), "3.1");
}

void TestUpdaterProgram::keepsEverythingWhenAFileIsNotWhole_data() {
    QTest::addColumn<QString>("route");
    QTest::newRow("cut short") << "update/short/";
    QTest::newRow("not found") << "update/missing/";
}

void TestUpdaterProgram::keepsEverythingWhenAFileIsNotWhole() {
    QFETCH(QString, route);
    QString errors;
    QCOMPARE(runUpdater(route, "3.1?a,b,c", &errors), 1);
    QVERIFY(errors.contains(m_app + "/a"));
    expectOldInstallation();
}

void TestUpdaterProgram::writesNothingOutsideFolder() {
    QString errors;
    QCOMPARE(runUpdater("update/files/", "3.1?../a", &errors), 1);
    QVERIFY(errors.contains("../a"));
    QVERIFY(!QFile::exists(m_root.filePath("a")));
    expectOldInstallation();
}

QTEST_GUILESS_MAIN(TestUpdaterProgram)
#include "tst_updater_program.moc"
