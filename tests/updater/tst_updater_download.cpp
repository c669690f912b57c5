#include "updater/download.h"
#include "loopbackserver.h"
#include "releasedport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 1024) & 0xFF);
    return bytes;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestDownLoad : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void receivesWholeBodyInBlocks_data();
    void receivesWholeBodyInBlocks();
    void matchesHeaderNamesInAnyCase_data();
    void matchesHeaderNamesInAnyCase();
    void rawHeaderTextEndsWithTwoNuls();
    void headersReadZeroOnceInactive();
    void writesNothingWithoutExecute();
    void reportsMissingFolder();
    void keepsInstalledFileWhenBodyIsNotWhole_data();
    void keepsInstalledFileWhenBodyIsNotWhole();
    void keepsPermissionsOfReplacedFile();
    void reportsRefusedConnection();
    void reusesOneObjectForSeveralFiles();

private:
    LoopbackServer m_http;
    QTemporaryDir m_dir;
    QString target() const { return m_dir.filePath(QStringLiteral("target.bin")); }
};

void TestDownLoad::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_http.server.Get(R"(/size/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        const QByteArray body = pattern(std::stoll(req.matches[1].str()));
        res.set_content(body.constData(), size_t(body.size()), "application/octet-stream");
    });
    m_http.server.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(10000, "application/octet-stream",
                                 [](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset >= 3000)
                                         return false;
                                     const QByteArray half = pattern(3000);
                                     return sink.write(half.constData(), size_t(half.size()));
                                 });
    });
    m_http.server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("<html>not here</html>", "text/html");
    });
    m_http.server.Get("/agent", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("User-Agent"), "text/plain");
    });
    m_http.start();
}

void TestDownLoad::receivesWholeBodyInBlocks_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<qint64>>("progress");
    QTest::newRow("empty body") << 0 << QList<qint64>{0};
    QTest::newRow("short block only") << 5 << QList<qint64>{5};
    QTest::newRow("multiple of 1024 ends with an empty read")
        << 2048 << QList<qint64>{1024, 2048, 2048};
    QTest::newRow("short last block") << 2500 << QList<qint64>{1024, 2048, 2500};
}

void TestDownLoad::receivesWholeBodyInBlocks() {
    QFETCH(int, size);
    QFETCH(QList<qint64>, progress);
    QFile::remove(target());
    DownLoad tg;
    QList<qint64> seen;
    QStringList order;
    connect(&tg, &DownLoad::GetData, this, [&](qint64 total) {
        seen.append(total);
        order.append(QStringLiteral("data"));
    });
    connect(&tg, &DownLoad::DownLoadOver, this, [&] { order.append(QStringLiteral("over")); });
    QSignalSpy errors(&tg, &DownLoad::ErrMassage);
    tg.setURL(m_http.url(QStringLiteral("/size/%1").arg(size)));
    tg.setSaveFile(target());
    tg.Execute();
    QCOMPARE(tg.GetHeader(QStringLiteral("Content-Length")), QString::number(size));
    tg.StartDownLoad();
    QCOMPARE(seen, progress);
    QCOMPARE(order.count(QStringLiteral("over")), 1);
    QCOMPARE(order.last(), QStringLiteral("over"));
    QCOMPARE(errors.count(), 0);
    QVERIFY(tg.installed());
    QCOMPARE(readAll(target()), pattern(size));
    QVERIFY(!tg.downloading());
    // No staging file is left behind.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("target.bin")});
}

void TestDownLoad::matchesHeaderNamesInAnyCase_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("as spelt") << "Content-Length"
                              << "2500";
    QTest::newRow("lower case") << "content-length"
                                << "2500";
    QTest::newRow("upper case") << "CONTENT-LENGTH"
                                << "2500";
    QTest::newRow("type") << "content-type"
                          << "application/octet-stream";
    QTest::newRow("unknown name reads 0 even when sent") << "Accept-Ranges"
                                                         << "0";
    QTest::newRow("absent known header is empty") << "Last-Modified"
                                                  << "";
}

void TestDownLoad::matchesHeaderNamesInAnyCase() {
    QFETCH(QString, name);
    DownLoad tg;
    tg.setURL(m_http.url(QStringLiteral("/size/2500")));
    tg.setSaveFile(target());
    tg.Execute();
    QTEST(tg.GetHeader(name), "value");
    tg.Cancel();
}

void TestDownLoad::rawHeaderTextEndsWithTwoNuls() {
    DownLoad tg;
    tg.setURL(m_http.url(QStringLiteral("/size/1")));
    tg.Execute();
    const QString raw = tg.GetHeader(QString());
    QVERIFY2(raw.startsWith(QStringLiteral("HTTP/1.1 200 OK")), qPrintable(raw));
    QVERIFY(raw.endsWith(QString(2, QChar(0))));
    QVERIFY(raw.contains(QStringLiteral("Content-Length: 1") + QChar(0), Qt::CaseInsensitive));
    tg.Cancel();
}

void TestDownLoad::headersReadZeroOnceInactive() {
    DownLoad tg;
    QCOMPARE(tg.GetHeader(QStringLiteral("Content-Length")), QStringLiteral("0"));
    tg.setURL(m_http.url(QStringLiteral("/size/10")));
    tg.setSaveFile(target());
    tg.Execute();
    tg.StartDownLoad();
    QCOMPARE(tg.GetHeader(QStringLiteral("Content-Length")), QStringLiteral("0"));
    QCOMPARE(tg.GetHeader(QString()), QStringLiteral("0"));
}

void TestDownLoad::writesNothingWithoutExecute() {
    QFile::remove(target());
    DownLoad tg;
    QSignalSpy data(&tg, &DownLoad::GetData);
    QSignalSpy over(&tg, &DownLoad::DownLoadOver);
    QSignalSpy errors(&tg, &DownLoad::ErrMassage);
    tg.setURL(m_http.url(QStringLiteral("/size/10")));
    tg.setSaveFile(target());
    tg.StartDownLoad();
    QVERIFY(!QFile::exists(target()));
    QCOMPARE(data.count() + over.count() + errors.count(), 0);
}

void TestDownLoad::reportsMissingFolder() {
    const QString path = m_dir.filePath(QStringLiteral("no-such-folder/x.bin"));
    DownLoad tg;
    QSignalSpy errors(&tg, &DownLoad::ErrMassage);
    tg.setURL(m_http.url(QStringLiteral("/size/10")));
    tg.setSaveFile(path);
    tg.Execute();
    tg.StartDownLoad();
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(),
             QStringLiteral("文件") + path + QStringLiteral("正在使用,无法进行操作"));
    QVERIFY(!tg.installed());
}

void TestDownLoad::keepsInstalledFileWhenBodyIsNotWhole_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("connection cut mid-body") << "/cut";
    QTest::newRow("error status") << "/missing";
}

void TestDownLoad::keepsInstalledFileWhenBodyIsNotWhole() {
    QFETCH(QString, path);
    const QByteArray old("installed and working");
    writeFile(target(), old);
    DownLoad tg;
    QSignalSpy errors(&tg, &DownLoad::ErrMassage);
    QSignalSpy over(&tg, &DownLoad::DownLoadOver);
    tg.setURL(m_http.url(path));
    tg.setSaveFile(target());
    tg.Execute();
    tg.StartDownLoad();
    QVERIFY(!tg.installed());
    QCOMPARE(readAll(target()), old);
    QCOMPARE(errors.count(), 1);
    QVERIFY(errors.at(0).at(0).toString().contains(target()));
    QCOMPARE(over.count(), 1);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("target.bin")});
}

void TestDownLoad::keepsPermissionsOfReplacedFile() {
    const QString exe = m_dir.filePath(QStringLiteral("tool"));
    writeFile(exe, "old");
    const QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                                QFileDevice::WriteUser | QFileDevice::ExeUser |
                                                QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(exe, executable));
    const QString fresh = m_dir.filePath(QStringLiteral("fresh"));
    QFile::remove(fresh);
    DownLoad tg;
    for (const QString& path : {exe, fresh}) {
        tg.setURL(m_http.url(QStringLiteral("/size/100")));
        tg.setSaveFile(path);
        tg.Execute();
        tg.StartDownLoad();
        QVERIFY(tg.installed());
    }
    QCOMPARE(QFile::permissions(exe), executable);
    QCOMPARE(QFile::permissions(fresh), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadUser | QFileDevice::WriteUser |
                                            QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

void TestDownLoad::reportsRefusedConnection() {
    const quint16 port = releasedPort();
    DownLoad tg;
    QSignalSpy failed(&tg, &DownLoad::addressFailed);
    QSignalSpy errors(&tg, &DownLoad::ErrMassage);
    tg.setURL(QStringLiteral("http://127.0.0.1:%1/x").arg(port));
    tg.setSaveFile(target());
    tg.Execute();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), DownLoad::connectionFailedText());
    QVERIFY(!tg.downloading());
}

void TestDownLoad::reusesOneObjectForSeveralFiles() {
    DownLoad tg;
    for (const int size : {3000, 10, 4096}) {
        tg.setURL(m_http.url(QStringLiteral("/size/%1").arg(size)));
        tg.setSaveFile(target());
        tg.Execute();
        tg.StartDownLoad();
        QCOMPARE(readAll(target()), pattern(size));
    }
    tg.setURL(m_http.url(QStringLiteral("/agent")));
    tg.Execute();
    tg.StartDownLoad();
    QCOMPARE(readAll(target()), QByteArray("Vemrox"));
}

QTEST_MAIN(TestDownLoad)
#include "tst_updater_download.moc"
