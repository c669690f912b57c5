#include "release.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// What a release folder publishes: its regular files, never what a link points to.
class TestServiceRelease : public QObject {
    Q_OBJECT
private slots:
    void init();
    void refusesFolderHoldingLink_data();
    void refusesFolderHoldingLink();
    void servesNoFileReplacedByLinkLater();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_release;
};

void TestServiceRelease::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_release = m_dir->filePath(u"release"_s);
    QVERIFY(QDir().mkpath(m_release));
    QVERIFY(writeFile(m_release + u"/version.txt"_s, "3.1\n"));
    QVERIFY(writeFile(m_release + u"/a"_s, "a\n"));
    QVERIFY(writeFile(m_dir->filePath(u"secret"_s), "private\n"));
}

void TestServiceRelease::refusesFolderHoldingLink_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");
    QTest::newRow("to a file outside") << "b"
                                       << "../secret";
    QTest::newRow("to a file inside") << "b"
                                      << "a";
    QTest::newRow("to a folder") << "b"
                                 << "..";
    QTest::newRow("dangling") << "b"
                              << "nowhere";
    QTest::newRow("as the version") << "version.txt"
                                    << "../secret";
}

void TestServiceRelease::refusesFolderHoldingLink() {
    QFETCH(QString, name);
    QFETCH(QString, target);
    QFile::remove(m_release + u"/"_s + name);
    QVERIFY(QFile::link(target, m_release + u"/"_s + name));
    QString error;
    QVERIFY(!loadRelease(m_release, &error));
    QVERIFY2(error.contains(m_release + u"/"_s + name), qPrintable(error));
}

void TestServiceRelease::servesNoFileReplacedByLinkLater() {
    QString error;
    const std::optional<Release> release = loadRelease(m_release, &error);
    QVERIFY2(release, qPrintable(error));
    QCOMPARE(release->files, QStringList{u"a"_s});
    QCOMPARE(releaseFilePath(*release, u"a"_s), m_release + u"/a"_s);
    QVERIFY(QFile::remove(m_release + u"/a"_s));
    QVERIFY(QFile::link(m_dir->filePath(u"secret"_s), m_release + u"/a"_s));
    QCOMPARE(releaseFilePath(*release, u"a"_s), std::nullopt);
}

QTEST_GUILESS_MAIN(TestServiceRelease)
#include "tst_service_release.moc"
