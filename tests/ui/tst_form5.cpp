#include "form5.h"
#include "loopbackserver.h"
#include "contract/pagecontract.h"
#include "release/profile.h"
#include "textfit.h"
#include "program.h"
#include "updatecheck.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <mutex>

class TestForm5 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void showsOfferAndNotes();
    void handsOverWithOneArgument_data();
    void handsOverWithOneArgument();
    void endsEvenWithoutUpdater();
    void checksManifestOnce_data();
    void checksManifestOnce();
    void skipsCheckOnOtherInterval();
    void programFolderHoldsTheBuiltVersion();

private:
    LoopbackServer m_http;
    std::mutex m_mutex;
    std::string m_manifest;
    QTemporaryDir m_dir;
};

void TestForm5::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_http.server.Get("/update/manifest.txt",
                      [this](const httplib::Request&, httplib::Response& res) {
                          std::lock_guard lock(m_mutex);
                          res.set_content(m_manifest, "text/plain; charset=gb2312");
                      });
    m_http.start();
    Program::Services.manifest = m_http.url(QStringLiteral("/update/manifest.txt"));
    Program::IniPath = m_dir.filePath(QStringLiteral("system.ini"));
}

void TestForm5::cleanup() {
    Form5::setLauncher({});
}

void TestForm5::showsOfferAndNotes() {
    Form5 prompt(nullptr, {});
    prompt.setOffer(QStringLiteral("3.1"), QStringLiteral("a,b"), QStringLiteral("说明\n第二行"));
    QCOMPARE(prompt.windowTitle(), QStringLiteral("发现新版本提示您升级"));
    QCOMPARE(prompt.Label1->text(), QStringLiteral("发现新版本3.1,点击【立即升级】更新！"));
    QCOMPARE(prompt.Text1->toPlainText(), QStringLiteral("说明\n第二行"));
    QCOMPARE(labelTextCut(prompt.Label1), QString());
    prompt.setOffer(QStringLiteral("3.10.25"), {}, {}); // the longest version offered
    QCOMPARE(labelTextCut(prompt.Label1), QString());
    QCOMPARE(prompt.Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(prompt.Command1->text(), QStringLiteral("立即升级"));
    QCOMPARE(prompt.size(), QSize(304, 208));
    QCOMPARE(prompt.minimumSize(), prompt.maximumSize());
    QCOMPARE(prompt.Command1->geometry(), QRect(112, 168, 81, 33));
    prompt.show();
    QVERIFY(QTest::qWaitForWindowExposed(&prompt));
    QCOMPARE(prompt.Label1->palette().color(QPalette::WindowText), QColor(0x00, 0xC0, 0x00));
    QCOMPARE(QApplication::focusWidget(), prompt.Command1);
}

void TestForm5::handsOverWithOneArgument_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("argument");
    QTest::newRow("two files") << "3.1"
                               << "a.exe,b.dll"
                               << "3.1?a.exe,b.dll";
    QTest::newRow("blanks stay inside the one argument") << "3 1"
                                                         << "a b,c"
                                                         << "3 1?a b,c";
    QTest::newRow("no files") << "3.1"
                              << ""
                              << "3.1?";
    QTest::newRow("shell characters are not interpreted") << "3;x"
                                                          << "$(a)"
                                                          << "3;x?$(a)";
}

void TestForm5::handsOverWithOneArgument() {
    QFETCH(QString, version);
    QFETCH(QString, files);
    QString program;
    QStringList arguments;
    Form5::setLauncher([&](const QString& p, const QStringList& a) {
        program = p;
        arguments = a;
        return true;
    });
    int unloads = 0;
    Form5 prompt(nullptr, [&] { ++unloads; });
    prompt.setOffer(version, files, {});
    QTest::mouseClick(prompt.Command1, Qt::LeftButton);
    QCOMPARE(program, QCoreApplication::applicationDirPath() + QStringLiteral("/quillon-update"));
    QCOMPARE(arguments.size(), 1);
    QTEST(arguments.first(), "argument");
    QCOMPARE(unloads, 1);
}

void TestForm5::endsEvenWithoutUpdater() {
    // The build's updater sits beside this test, as in a program folder: the start fails here
    // as it does when the updater is missing, and the real one is never run.
    int starts = 0;
    Form5::setLauncher([&](const QString&, const QStringList&) {
        ++starts;
        return false;
    });
    int unloads = 0;
    Form5 prompt(nullptr, [&] { ++unloads; });
    prompt.setOffer(QStringLiteral("3.1"), QStringLiteral("a"), {});
    prompt.Command1_Click();
    QCOMPARE(starts, 1);
    QCOMPARE(unloads, 1);
}

void TestForm5::checksManifestOnce_data() {
    QTest::addColumn<QByteArray>("manifest");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("shownLabel"); // empty: no prompt
    QTest::addColumn<QString>("shownNotes");
    QTest::addColumn<QString>("http");
    const QByteArray notes = QStringLiteral("修正\r\n").toLocal8Bit();
    QTest::newRow("same version: no prompt, address still recorded")
        << QByteArray("3.1|http://h/u/|a,b||||||n") << "3.1"
        << ""
        << ""
        << "http://h/u/";
    QTest::newRow("older version is offered")
        << QByteArray("3.0|http://h/u/|a||||||notes\n") << "3.1"
        << "发现新版本3.0,点击【立即升级】更新！"
        << "notes\n"
        << "http://h/u/";
    QTest::newRow("line break after version differs") << QByteArray("3.1\r\n|b|a") << "3.1"
                                                      << "发现新版本3.1\r\n,点击【立即升级】更新！"
                                                      << ""
                                                      << "b";
    QTest::newRow("eight characters never offered") << QByteArray("3.1.2.45|b|a") << "3.1"
                                                    << ""
                                                    << ""
                                                    << "b";
    QTest::newRow("error page") << QByteArray("<html><body>Not Found</body></html>") << "3.1"
                                << ""
                                << ""
                                << "";
    QTest::newRow("no installed version") << QByteArray("3.1") << ""
                                          << "发现新版本3.1,点击【立即升级】更新！"
                                          << ""
                                          << "";
    QTest::newRow("notes in GB2312") << QByteArray("3.2|b|a||||||\xD0\xDE\xD5\xFD") << "3.1"
                                     << "发现新版本3.2,点击【立即升级】更新！"
                                     << "修正"
                                     << "b";
}

void TestForm5::checksManifestOnce() {
    QFETCH(QByteArray, manifest);
    QFETCH(QString, installed);
    QFETCH(QString, shownLabel);
    {
        std::lock_guard lock(m_mutex);
        m_manifest = manifest.toStdString();
    }
    Program::CurVersion = installed;
    Program::NewVersion.clear();
    Program::UpdateFiles.clear();
    QFile::remove(Program::IniPath);

    QTimer Timer2;
    Timer2.setInterval(5000);
    Timer2.start();
    QString label, notes;
    // The prompt is modal: look for it from inside its own event loop, then close it.
    QTimer watcher;
    watcher.setInterval(10);
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (auto* prompt = qobject_cast<Form5*>(QApplication::activeModalWidget())) {
            label = prompt->Label1->text();
            notes = prompt->Text1->toPlainText();
            prompt->reject();
        }
    });
    watcher.start();
    runUpdateCheck(&Timer2, nullptr, [] { QFAIL("the check itself never hands over"); });
    watcher.stop();

    QVERIFY(!Timer2.isActive());
    QCOMPARE(label, shownLabel);
    if (!shownLabel.isEmpty())
        QTEST(notes, "shownNotes");
    QTEST(readProfileString(QStringLiteral("update"), QStringLiteral("http"), Program::IniPath),
          "http");
}

void TestForm5::skipsCheckOnOtherInterval() {
    QFile::remove(Program::IniPath);
    QTimer Timer2;
    Timer2.setInterval(1000);
    Timer2.start();
    runUpdateCheck(&Timer2, nullptr, {});
    QVERIFY(Timer2.isActive());
    QVERIFY(!QFile::exists(Program::IniPath));
}

void TestForm5::programFolderHoldsTheBuiltVersion() {
    // The bundled service offers the version it was built as: a fresh program folder must say
    // it has that one, or every start would prompt for an update to itself.
    QCOMPARE(readProfileString(QStringLiteral("system"), QStringLiteral("Version"),
                               QStringLiteral(QUILLON_PROGRAM_INI)),
             contract::version.toString());
}

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"
