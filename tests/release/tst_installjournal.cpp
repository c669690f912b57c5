#include "release/installjournal.h"
#include "release/profile.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
    void installsEveryNameInsideFolder();
    void refusesJournalNamingFileOutsideFolder();

private:
    void stageNewSet();
    // Old set (a, b executable; c not installed yet) or new set, version to match, no staging.
    void expectWhole(bool updated);
    QString ini() const { return m_dir->filePath(u"system.ini"_s); }
    QList<StagedFile> files() const { return {{u"a"_s, 0644}, {u"b"_s, 0644}, {u"c"_s, 0600}}; }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestInstallJournal::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(writeFile(m_dir->filePath(u"a"_s), "old a"));
    QVERIFY(writeFile(m_dir->filePath(u"b"_s), "old b"));
    QVERIFY(QFile::setPermissions(m_dir->filePath(u"b"_s),
                                  QFile::permissions(m_dir->filePath(u"b"_s)) | QFile::ExeOwner));
    QVERIFY(writeProfileString(u"system"_s, u"Version"_s, u"3.0"_s, ini()));
}

void TestInstallJournal::stageNewSet() {
    QString error;
    QVERIFY(prepareStaging(m_dir->path(), &error));
    for (int i = 0; i < 3; ++i)
        QVERIFY(writeFile(stagedPath(m_dir->path(), i), QByteArray("new ") + char('a' + i)));
}

void TestInstallJournal::expectWhole(bool updated) {
    const QString tag = updated ? u"new "_s : u"old "_s;
    QCOMPARE(readAll(m_dir->filePath(u"a"_s)), (tag + u"a"_s).toUtf8());
    QCOMPARE(readAll(m_dir->filePath(u"b"_s)), (tag + u"b"_s).toUtf8());
    QVERIFY(QFile::permissions(m_dir->filePath(u"b"_s)) & QFile::ExeOwner);
    QCOMPARE(QFile::exists(m_dir->filePath(u"c"_s)), updated);
    if (updated)
        QCOMPARE(QFile::permissions(m_dir->filePath(u"c"_s)) & QFile::ReadOther, 0);
    QCOMPARE(readProfileString(u"system"_s, u"Version"_s, ini()), updated ? u"3.1"_s : u"3.0"_s);
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
            QVERIFY(installStaged(m_dir->path(), files(), u"3.1"_s, ini()).ok);
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
    const QString unwritable = m_dir->filePath(u"ini-is-a-folder"_s);
    QVERIFY(QDir().mkpath(unwritable));
    const Outcome outcome = installStaged(m_dir->path(), files(), u"3.1"_s, unwritable);
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

void TestInstallJournal::installsEveryNameInsideFolder() {
    // A name that Qt would read as a resource path once landed in the current folder.
    QTemporaryDir elsewhere;
    const QString current = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    const auto back = qScopeGuard([&] { QDir::setCurrent(current); });
    QString error;
    QVERIFY(prepareStaging(m_dir->path(), &error));
    QVERIFY(writeFile(stagedPath(m_dir->path(), 0), "colon"));
    QVERIFY(installStaged(m_dir->path(), {{u":c"_s, 0644}}, u"3.1"_s, ini()).ok);
    QCOMPARE(readAll(m_dir->path() + u"/:c"_s), QByteArray("colon"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void TestInstallJournal::refusesJournalNamingFileOutsideFolder() {
    stageNewSet();
    QVERIFY(writeFile(stagingFolder(m_dir->path()) + u"/journal"_s,
                      "quillon-install 1\nstate installing\nversion 3.1\nold-version 3.0\n"
                      "file 0 644 0 ..%2Foutside\n"));
    QCOMPARE(recoverInterruptedInstall(m_dir->path(), ini()).what, Recovery::Failed);
    QCOMPARE(readAll(m_dir->filePath(u"a"_s)), QByteArray("old a"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"../outside"_s)));
}

QTEST_GUILESS_MAIN(TestInstallJournal)
#include "tst_installjournal.moc"
