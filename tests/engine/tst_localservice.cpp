// Starting the bundled service: when the client starts it, with what, and what the user reads
// meanwhile.
#include "localservice.h"

#include <QCommandLineParser>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class LocalServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsOnlyForTheBuiltInAddress_data();
    void startsOnlyForTheBuiltInAddress();
    void sourceChoiceLayers_data();
    void sourceChoiceLayers();
    void startsWhenNothingAnswersAndStopsAtTheEnd();
    void leavesAnAnsweringAddressAlone();
    void failedStartsSayWhy_data();
    void failedStartsSayWhy();

private:
    // A stand-in service: records its arguments and its pid, then runs `body`.
    static void writeService(const QTemporaryDir& dir, const QByteArray& body) {
        QFile script(serviceProgram(dir.path()));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/args\"\n"
                     "echo $$ > \"$(dirname \"$0\")/pid\"\n" +
                     body);
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }
    static quint16 freePort() {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }
    static QByteArray read(const QTemporaryDir& dir, const char* name) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }
};

void LocalServiceTest::startsOnlyForTheBuiltInAddress_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<int>("port"); // 0: nothing is started
    QTest::newRow("built in") << "http://127.0.0.1:18730/" << 18730;
    QTest::newRow("localhost") << "http://localhost:18730/" << 18730;
    QTest::newRow("another port") << "http://127.0.0.1:8080/" << 0;
    QTest::newRow("another host") << "http://timetable.example:18730/" << 0;
    QTest::newRow("https") << "https://127.0.0.1:18730/" << 0;
    QTest::newRow("no port") << "http://127.0.0.1/" << 0;
}

void LocalServiceTest::startsOnlyForTheBuiltInAddress() {
    QFETCH(QString, base);
    QFETCH(int, port);
    QCOMPARE(bundledServicePort(base).value_or(0), port);
}

void LocalServiceTest::sourceChoiceLayers_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("user"); // the source window's saved word; empty: none saved
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("source"); // what holds; empty: the command line is refused
    QTest::addColumn<QString>("feed");
    QTest::newRow("nothing set") << QByteArray() << "" << QStringList{} << "sample"
                                 << "";
    QTest::newRow("ini names a feed")
        << QByteArray("[service]\ngtfs=/data/feed.zip\n") << "" << QStringList{} << "gtfs"
        << "/data/feed.zip";
    QTest::newRow("ini: feed without path")
        << QByteArray("[service]\nsource=gtfs\n") << "" << QStringList{} << "sample"
        << "";
    QTest::newRow("user over ini") << QByteArray("[service]\nsource=gtfs\ngtfs=/data/feed.zip\n")
                                   << "live" << QStringList{} << "live"
                                   << "";
    QTest::newRow("command line over user")
        << QByteArray() << u"live"_s << QStringList{u"--source"_s, u"sample"_s} << u"sample"_s
        << "";
    QTest::newRow("--gtfs alone") << QByteArray() << u"live"_s
                                  << QStringList{u"--gtfs"_s, u"/data/f.zip"_s} << "gtfs"
                                  << "/data/f.zip";
    QTest::newRow("unknown word") << QByteArray() << u""_s << QStringList{u"--source"_s, u"moon"_s}
                                  << u""_s << "";
    QTest::newRow("gtfs without a feed")
        << QByteArray() << u""_s << QStringList{u"--source"_s, u"gtfs"_s} << u""_s << "";
}

void LocalServiceTest::sourceChoiceLayers() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, user);
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    QFile iniFile(dir.filePath(QStringLiteral("system.ini")));
    QVERIFY(iniFile.open(QIODevice::WriteOnly));
    iniFile.write(ini);
    iniFile.close();
    const QString settings = dir.filePath(QStringLiteral("settings.ini"));
    if (!user.isEmpty())
        QVERIFY(saveUserSourceChoice({*sourceFromKey(user), {}}, settings));

    QCommandLineParser parser;
    addSourceOptions(parser);
    QVERIFY(parser.parse(QStringList{QStringLiteral("quillon")} + arguments));
    QString error;
    const auto choice = applySourceOptions(
        readUserSourceChoice(settings).value_or(readIniSourceChoice(iniFile.fileName())), parser,
        &error);
    QFETCH(QString, source);
    QCOMPARE(choice.has_value(), !source.isEmpty());
    QCOMPARE(error.isEmpty(), choice.has_value());
    if (choice) {
        QCOMPARE(sourceKey(choice->source), source);
        QTEST(choice->feed, "feed");
    }
}

void LocalServiceTest::startsWhenNothingAnswersAndStopsAtTheEnd() {
    QTemporaryDir dir;
    writeService(dir,
                 "echo \"quillon-service listening on http://127.0.0.1:$4/\"\nexec sleep 60\n");
    const quint16 port = freePort();
    qint64 pid = 0;
    {
        BundledService service(dir.path());
        QSignalSpy ready(&service, &BundledService::ready);
        service.ensurePort(port, {TimetableSource::Live, {}});
        QCOMPARE(service.state(), BundledService::State::Probing); // nothing waited for
        QVERIFY(ready.wait(5000));
        QCOMPARE(service.state(), BundledService::State::Running);
        QCOMPARE(read(dir, "args"), QByteArray("--host 127.0.0.1 --port ") +
                                        QByteArray::number(port) + " --source live");
        QVERIFY(service.statusText().contains(QStringLiteral("已启动")));
        pid = read(dir, "pid").toLongLong();
        QVERIFY(pid > 0 && ::kill(pid_t(pid), 0) == 0);
    }
    QVERIFY(::kill(pid_t(pid), 0) != 0); // gone with the client
}

void LocalServiceTest::leavesAnAnsweringAddressAlone() {
    QTemporaryDir dir;
    writeService(dir, "exit 0\n");
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::LocalHost, 0));
    BundledService service(dir.path());
    QSignalSpy states(&service, &BundledService::stateChanged);
    service.ensurePort(other.serverPort(), {});
    QTRY_COMPARE(service.state(), BundledService::State::Foreign);
    QVERIFY(service.statusText().isEmpty());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("args"))));
}

void LocalServiceTest::failedStartsSayWhy_data() {
    QTest::addColumn<QByteArray>("body"); // empty: no program at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("no program") << QByteArray() << "找不到";
    QTest::newRow("refuses its feed")
        << QByteArray("echo 'loading' >&2\necho 'quillon-service: no stops.txt in feed' >&2\n"
                      "exit 1\n")
        << "quillon-service: no stops.txt in feed";
    QTest::newRow("ends silently") << QByteArray("exit 3\n") << "已退出";
}

void LocalServiceTest::failedStartsSayWhy() {
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    if (!body.isEmpty())
        writeService(dir, body);
    BundledService service(dir.path());
    service.ensurePort(freePort(), {});
    QTRY_COMPARE(service.state(), BundledService::State::Failed);
    QVERIFY2(service.statusText().startsWith(QStringLiteral("本地时刻服务未能启动：")) &&
                 service.statusText().contains(reason),
             qPrintable(service.statusText()));
}

QTEST_GUILESS_MAIN(LocalServiceTest)
#include "tst_localservice.moc"
