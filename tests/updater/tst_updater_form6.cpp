#include "updater/form6.h"
#include "loopbackserver.h"
#include "releasedport.h"
#include "release/profile.h"
#include "release/releasesignature.h"
#include "release/updatesession.h"
#include "updater/updatermessages.h"
#include "updater/xp_progressbar.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestForm6 : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showsVersionsAndPendingFilesOnLoad();
    void groupsDigitsInThousands_data();
    void groupsDigitsInThousands();
    void showsProgressOfCurrentFile();
    void endsWithoutTouchingIniWhenNothingIsPending_data();
    void endsWithoutTouchingIniWhenNothingIsPending();
    void installsFilesAndRecordsVersion();
    void refusesNameOutsideFolder();
    void keepsOldVersionWhenAddressFails();

private:
    QString iniText() const;
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_messages;
};

void TestForm6::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(
        writeProfileString(u"system"_s, u"Version"_s, u"3.0"_s, m_dir->filePath(u"system.ini"_s)));
    m_messages.clear();
    setMessageHandler([this](const QString& text) { m_messages.append(text); });
}

void TestForm6::cleanup() {
    setMessageHandler({});
}

QString TestForm6::iniText() const {
    QFile file(m_dir->filePath(u"system.ini"_s));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TestForm6::showsVersionsAndPendingFilesOnLoad() {
    Form6 form(QStringLiteral("3.1?a,b,"), m_dir->path());
    QCOMPARE(form.windowTitle(), QStringLiteral("Tamberin"));
    QCOMPARE(form.Label1->text(), QStringLiteral("从旧版本(3.0)升级到新版本(3.1)"));
    QCOMPARE(form.L->text(), QStringLiteral("检测网络中..."));
    // The trailing "," names no file, so only two are pending.
    QCOMPARE(form.List1->count(), 2);
    QCOMPARE(form.List1->item(1)->text(), QStringLiteral("b"));
    QVERIFY(!form.Command1->isEnabled());
    QVERIFY(form.ProgressBar1->ShowText());
    QCOMPARE(form.ProgressBar1->Color(), 0x2BD228u);
    QCOMPARE(form.Timer1->interval(), 1000);
    // The pending list is out of sight, below the client area.
    QVERIFY(form.List1->y() >= form.height());
}

void TestForm6::groupsDigitsInThousands_data() {
    QTest::addColumn<qint64>("n");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero shows nothing") << qint64(0) << "";
    QTest::newRow("small") << qint64(999) << "999";
    QTest::newRow("thousands") << qint64(1024) << "1,024";
    QTest::newRow("millions") << qint64(268435456) << "268,435,456";
}

void TestForm6::groupsDigitsInThousands() {
    QFETCH(qint64, n);
    QTEST(Form6::groupDigits(n), "text");
}

void TestForm6::showsProgressOfCurrentFile() {
    Form6 form(QStringLiteral("3.1?a"), m_dir->path());
    emit form.session->progress(2048, 0);
    QCOMPARE(form.L->text(), QStringLiteral("2,048/ bytes"));
    emit form.session->progress(1024, 4096);
    QCOMPARE(form.L->text(), QStringLiteral("1,024/4,096 bytes"));
    QCOMPARE(form.ProgressBar1->Max(), 4096);
    QCOMPARE(form.ProgressBar1->Value(), 1024);
}

void TestForm6::endsWithoutTouchingIniWhenNothingIsPending_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("no question mark") << "3.1";
    QTest::newRow("no names") << "3.1?";
    QTest::newRow("empty") << "";
}

void TestForm6::endsWithoutTouchingIniWhenNothingIsPending() {
    QFETCH(QString, command);
    const QString before = iniText();
    Form6 form(command, m_dir->path());
    QSignalSpy ended(&form, &Form6::ended);
    QVERIFY(ended.wait(5000));
    QCOMPARE(ended.at(0).at(0).toBool(), false);
    QCOMPARE(m_messages, QStringList{QStringLiteral("没有需要升级的文件。")});
    QCOMPARE(iniText(), before);
}

void TestForm6::installsFilesAndRecordsVersion() {
    // A release of a and b signed with a key of the test's own.
    const release::KeyPair keys = release::makeKeyPair();
    release::SumList list{QStringLiteral("3.1"), {}};
    for (const char* name : {"a", "b"}) {
        const QByteArray body = QByteArray("new ") + name;
        release::Sha256 hash;
        hash.add(body.constData(), body.size());
        list.files.append({QString::fromLatin1(name), hash.result(), body.size(), 0644});
    }
    const std::string sums = release::sumListText(list).toStdString();
    const std::string signature =
        release::signList(release::sumListText(list), keys.secretKey).toStdString();
    LoopbackServer http;
    http.server.Get(R"(/u/([\w.]+))", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1].str();
        res.set_content(name == "SHA256SUMS"       ? sums
                        : name == "SHA256SUMS.sig" ? signature
                                                   : "new " + name,
                        "application/octet-stream");
    });
    http.start();
    writeProfileString(u"update"_s, u"http"_s, http.url(u"/u/"_s),
                       m_dir->filePath(u"system.ini"_s));
    Form6 form(QStringLiteral("3.1?a,b"), m_dir->path());
    form.session->setPublicKey(keys.publicKey);
    QSignalSpy ended(&form, &Form6::ended);
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.at(0).at(0).toBool(), true);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'\n')));
    QCOMPARE(form.Update_files->text(), QStringLiteral("升级组件:b"));
    QCOMPARE(form.L->text(), QStringLiteral("5/5 bytes"));
    QCOMPARE(form.List1->count(), 0); // every pending file fetched
    QCOMPARE(readProfileString(u"system"_s, u"Version"_s, m_dir->filePath(u"system.ini"_s)),
             u"3.1"_s);
    QFile b(m_dir->filePath(u"b"_s));
    QVERIFY(b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), QByteArray("new b"));
}

void TestForm6::refusesNameOutsideFolder() {
    LoopbackServer http;
    http.server.Get(R"(/.*)", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("escaped", "application/octet-stream");
    });
    http.start();
    writeProfileString(u"update"_s, u"http"_s, http.url(u"/u/"_s),
                       m_dir->filePath(u"system.ini"_s));
    QDir(m_dir->path()).mkdir(u"app"_s);
    QFile::copy(m_dir->filePath(u"system.ini"_s), m_dir->filePath(u"app/system.ini"_s));
    const QString folder = m_dir->filePath(u"app"_s);
    Form6 form(QStringLiteral("3.1?../x,/tmp/y,sub\\z"), folder);
    QSignalSpy ended(&form, &Form6::ended);
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.at(0).at(0).toBool(), false);
    // The first refused name stops the update: one message, nothing fetched.
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!QFile::exists(m_dir->filePath(u"x"_s)));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("system.ini")});
    QCOMPARE(readProfileString(u"system"_s, u"Version"_s, m_dir->filePath(u"app/system.ini"_s)),
             u"3.0"_s);
}

void TestForm6::keepsOldVersionWhenAddressFails() {
    const quint16 port = releasedPort();
    writeProfileString(u"update"_s, u"http"_s, QStringLiteral("http://127.0.0.1:%1/").arg(port),
                       m_dir->filePath(u"system.ini"_s));
    Form6 form(QStringLiteral("3.1?a,b"), m_dir->path());
    QSignalSpy ended(&form, &Form6::ended);
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.at(0).at(0).toBool(), false);
    // The failed address empties the pending list: one message, not one per file.
    QCOMPARE(m_messages, QStringList{QStringLiteral("连接至服务器失败,请检测你的网络配置！")});
    QCOMPARE(readProfileString(u"system"_s, u"Version"_s, m_dir->filePath(u"system.ini"_s)),
             u"3.0"_s);
}

QTEST_MAIN(TestForm6)
#include "tst_updater_form6.moc"
