#include "pages.h"

#include <QtTest>

#include <httplib.h>

#include <csignal>

// Runs the built program: the ready line scripts wait for, --data, exit codes, stop signals.
class TestServiceProgram : public QObject {
    Q_OBJECT

private slots:
    void servesGivenDataAndStopsOnSignal_data();
    void servesGivenDataAndStopsOnSignal();
    void refusesBadStart_data();
    void refusesBadStart();
};

void TestServiceProgram::servesGivenDataAndStopsOnSignal_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestServiceProgram::servesGivenDataAndStopsOnSignal() {
    QFETCH(int, signal);
    QTemporaryFile data;
    QVERIFY(data.open());
    data.write("train X1 快速\n甲 - 08:00 0 0\n乙 09:30 - 0 120\n");
    data.close();
    QProcess process;
    auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished(5000);
    });
    process.start(
        QStringLiteral(QUILLON_SERVICE_BIN),
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), data.fileName()});
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 10000);
    static const QRegularExpression ready(
        QStringLiteral("^quillon-service listening on http://127\\.0\\.0\\.1:(\\d+)/\n$"));
    const QRegularExpressionMatch m = ready.match(QString::fromUtf8(process.readLine()));
    QVERIFY(m.hasMatch());

    httplib::Client client("127.0.0.1", m.captured(1).toInt());
    const std::string path = "/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=";
    const httplib::Result x1 = client.Get(path + "X1");
    QVERIFY(x1 && pages::fromGb(QByteArray::fromStdString(x1->body)).contains("<b>X1</b>"));
    const httplib::Result k7 = client.Get(path + "K7"); // only in the built-in sample
    QVERIFY(k7 &&
            pages::fromGb(QByteArray::fromStdString(k7->body)).contains(pages::noTrainPhrase));

    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestServiceProgram::refusesBadStart_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("port not a number")
        << QByteArray() << QStringList{"--port", "http"} << 2 << "bad port \"http\"";
    QTest::newRow("missing data file") << QByteArray() << QStringList{"--data", "/nonexistent/t"}
                                       << 1 << "cannot read /nonexistent/t";
    QTest::newRow("bad data line") << QByteArray("train X1 快速\n甲 - 08:00 0 0\n乙 7:30 - 0 9\n")
                                   << QStringList{} << 1 << ": line 3: bad time \"7:30\"";
}

void TestServiceProgram::refusesBadStart() {
    QFETCH(QByteArray, data);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryFile file;
    if (!data.isEmpty()) {
        QVERIFY(file.open());
        file.write(data);
        file.close();
        args << QStringLiteral("--data") << file.fileName();
    }
    QProcess process;
    process.start(QStringLiteral(QUILLON_SERVICE_BIN), args);
    auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished(5000);
    });
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(TestServiceProgram)
#include "tst_service_program.moc"
