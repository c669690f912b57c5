#include "release/installjournal.h"
#include "release/profile.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace install;

namespace {

struct Stopped {}; // stands for the process dying at a checkpoint

} // namespace

// The journalled install in-process: every step it can stop at, and the way back.
class TestInstallJournal : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { setCheckpointHook({}); }
    void recoversWhollyFromAnyStep();
    void rollsBackWhenTheVersionCannotBeRecorded();
    void dropsAnUnfinishedDownload();

private:
    void stageNewSet();
    // Old set (a, b executable; c not installed yet) or new set, version to match, no staging.
    void expectWhole(bool updated);
    QString ini() const { return m_dir->filePath("system.ini"); }
    QList<StagedFile> files() const { return {{"a", 0644}, {"b", 0644}, {"c", 0600}}; }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestInstallJournal::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(writeFile(m_dir->filePath("a"), "old a"));
    QVERIFY(writeFile(m_dir->filePath("b"), "old b"));
    QVERIFY(QFile::setPermissions(m_dir->filePath("b"),
                                  QFile::permissions(m_dir->filePath("b")) | QFile::ExeOwner));
    QVERIFY(writeProfileString("system", "Version", "3.0", ini()));
}

void TestInstallJournal::stageNewSet() {
    QString error;
    QVERIFY(prepareStaging(m_dir->path(), &error));
    for (int i = 0; i < 3; ++i)
        QVERIFY(writeFile(stagedPath(m_dir->path(), i), QByteArray("new ") + char('a' + i)));
}

void TestInstallJournal::expectWhole(bool updated) {
    const QString tag = updated ? "new " : "old ";
    QCOMPARE(readAll(m_dir->filePath("a")), (tag + "a").toUtf8());
    QCOMPARE(readAll(m_dir->filePath("b")), (tag + "b").toUtf8());
    QVERIFY(QFile::permissions(m_dir->filePath("b")) & QFile::ExeOwner);
    QCOMPARE(QFile::exists(m_dir->filePath("c")), updated);
    if (updated)
        QCOMPARE(QFile::permissions(m_dir->filePath("c")) & QFile::ReadOther, 0);
    QCOMPARE(readProfileString("system", "Version", ini()), updated ? "3.1" : "3.0");
    QVERIFY(!QFileInfo::exists(stagingFolder(m_dir->path())));
}

void TestInstallJournal::recoversWhollyFromAnyStep() {
    int steps = 0;
    for (int stopAt = 1;; ++stopAt) {
        init();
        stageNewSet();
        int reached = 0;
        setCheckpointHook([&] {
            if (++reached == stopAt)
                throw Stopped{};
        });
        bool stopped = false;
        try {
            QVERIFY(installStaged(m_dir->path(), files(), "3.1", ini()).ok);
        } catch (const Stopped&) {
            stopped = true;
        }
        setCheckpointHook({});
        if (!stopped)
            break;
        ++steps;
        const RecoveryOutcome outcome = recoverInterruptedInstall(m_dir->path(), ini());
        // The staged set was whole, so it is carried through (after the last step, nothing is
        // left).
        QVERIFY2(outcome.what == Recovery::Completed || outcome.what == Recovery::Nothing,
                 qPrintable(outcome.error));
        expectWhole(true);
    }
    QVERIFY(steps >= 10);
    expectWhole(true);
}

void TestInstallJournal::rollsBackWhenTheVersionCannotBeRecorded() {
    stageNewSet();
    // Every file is moved in before the version write fails, so all of them must go back.
    const QString unwritable = m_dir->filePath("ini-is-a-folder");
    QVERIFY(QDir().mkpath(unwritable));
    const Outcome outcome = installStaged(m_dir->path(), files(), "3.1", unwritable);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("已恢复为原来的版本")),
             qPrintable(outcome.error));
    expectWhole(false);
}

void TestInstallJournal::dropsAnUnfinishedDownload() {
    stageNewSet();
    QCOMPARE(recoverInterruptedInstall(m_dir->path(), ini()).what, Recovery::DroppedDownload);
    expectWhole(false);
    QCOMPARE(recoverInterruptedInstall(m_dir->path(), ini()).what, Recovery::Nothing);
}

QTEST_GUILESS_MAIN(TestInstallJournal)
#include "tst_installjournal.moc"
