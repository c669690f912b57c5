// quillon-query as scripts use it: against a running quillon-service, through its exit
// status, its JSON object and its table.
#include "loopbackserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out, err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

} // namespace

class CliTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void jsonCarriesExactlyTheContractKeys_data();
    void jsonCarriesExactlyTheContractKeys();
    void failedFetchPrintsObjectAndExitsOne();
    void usageErrorsExitTwo_data();
    void usageErrorsExitTwo();
    void tableAlignsWideCharacters();
    void transferPageListsCities();
    void legsRunInTheTransferSession();
    void detailAndFareQueries_data();
    void detailAndFareQueries();
    void completeListsNamesInRankOrder_data();
    void completeListsNamesInRankOrder();

private:
    Run query(const QStringList& args, bool withBase = true);

    QProcess m_service;
    QString m_base;
};

void CliTest::initTestCase() {
    m_service.start(QStringLiteral(QUILLON_SERVICE),
                    {QStringLiteral("--port"), QStringLiteral("0")});
    QVERIFY(m_service.waitForStarted());
    QVERIFY(m_service.waitForReadyRead(10000));
    const QString line = QString::fromUtf8(m_service.readLine());
    const auto match =
        QRegularExpression(QStringLiteral("(http://127\\.0\\.0\\.1:\\d+/)")).match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    m_base = match.captured(1);
}

void CliTest::cleanupTestCase() {
    m_service.terminate();
    QVERIFY(m_service.waitForFinished(5000));
}

Run CliTest::query(const QStringList& args, bool withBase) {
    QProcess process;
    QStringList all;
    if (withBase)
        all << QStringLiteral("--timetable-base") << m_base;
    process.start(QStringLiteral(QUILLON_QUERY), all + args);
    Run run;
    if (!process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

void CliTest::jsonCarriesExactlyTheContractKeys_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("hasRows");
    QTest::newRow("train") << QStringList{u"train"_s, u"K7"_s} << 0 << u""_s << true;
    QTest::newRow("station") << QStringList{u"station"_s, u"西安"_s} << 0 << u""_s << true;
    QTest::newRow("between") << QStringList{u"between"_s, u"西安"_s, u"北京西"_s} << 0 << u""_s
                             << true;
    QTest::newRow("unknown train")
        << QStringList{u"train"_s, u"X0"_s} << 3 << u"不存在所查询的车次信息。"_s << false;
    QTest::newRow("empty departure, nothing fetched")
        << QStringList{u"between"_s, u""_s, u"北京西"_s} << 3 << u"【发站】内容不能为空。"_s
        << false;
    QTest::newRow("trailing blank reaches the service")
        << QStringList{u"between"_s, u"西安 "_s, u"北京西"_s} << 3 << u"发站不存在。"_s << false;
}

void CliTest::jsonCarriesExactlyTheContractKeys() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(bool, hasRows);
    const Run run = query(QStringList{u"--format"_s, u"json"_s} + args);
    QCOMPARE(run.exitCode, exitCode);
    const QJsonObject object = run.json();
    QStringList keys = object.keys();
    keys.sort();
    QCOMPARE(keys, (QStringList{u"address"_s, u"caption"_s, u"error"_s, u"labels"_s, u"legs"_s,
                                u"message"_s, u"navigate"_s, u"query"_s, u"rows"_s, u"status"_s,
                                u"transfers"_s}));
    QCOMPARE(object[u"query"].toString(), args[0]);
    QCOMPARE(object[u"message"].isNull(), message.isEmpty());
    QCOMPARE(object[u"message"].toString(), message);
    QCOMPARE(object[u"rows"].isArray(), hasRows);
    QVERIFY(object[u"error"].isNull());
    QCOMPARE(object[u"address"].isNull(), args.contains(QString()));
    if (hasRows) {
        const QJsonArray rows = object[u"rows"].toArray();
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows[0].toArray().size(), 12);
        QCOMPARE(object[u"status"].toString(), QStringLiteral("共查询到：%1").arg(rows.size()));
    }
}

void CliTest::failedFetchPrintsObjectAndExitsOne() {
    const Run run = query({u"--timetable-base"_s, u"http://127.0.0.1:1/"_s, u"--format"_s,
                           u"json"_s, u"train"_s, u"K7"_s},
                          false);
    QCOMPARE(run.exitCode, 1);
    const QJsonObject object = run.json();
    QVERIFY(object[u"error"].toString().startsWith(QStringLiteral("无法连接")));
    QCOMPARE(object[u"address"].toString(),
             QStringLiteral("http://127.0.0.1:1/show_findresult.asp?CX_Type=CC&FZ=&DZ=&CZ=&CC=K7"));
    QCOMPARE(object[u"rows"].toArray().size(), 0); // the list is emptied
    QVERIFY(object[u"status"].isNull());
}

void CliTest::usageErrorsExitTwo_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{u"fly"_s, u"K7"_s};
    QTest::newRow("missing argument") << QStringList{u"between"_s, u"西安"_s};
    QTest::newRow("bad format") << QStringList{u"--format"_s, u"xml"_s, u"train"_s, u"K7"_s};
    QTest::newRow("unknown option") << QStringList{u"--colour"_s, u"train"_s, u"K7"_s};
}

void CliTest::usageErrorsExitTwo() {
    QFETCH(QStringList, args);
    const Run run = query(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.contains("usage:"));
}

void CliTest::tableAlignsWideCharacters() {
    const Run run = query({u"station"_s, u"西安"_s});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 3);
    QVERIFY(lines[0].startsWith(QStringLiteral("序号  车次")));
    QVERIFY(lines.last().startsWith(QStringLiteral("共查询到：")));
    // The "车次" column starts at the same terminal cell in every row: 序号 is four cells wide.
    const int trainColumn = 4 + 2;
    for (int i = 1; i + 1 < lines.size(); ++i)
        QVERIFY2(lines[i].at(trainColumn) != u' ' && lines[i].at(trainColumn - 1) == u' ',
                 qPrintable(lines[i]));
}

void CliTest::transferPageListsCities() {
    const Run run = query({u"--format"_s, u"json"_s, u"between"_s, u"拉萨"_s, u"上海虹桥"_s});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject object = run.json();
    const QJsonArray transfers = object[u"transfers"].toArray();
    QVERIFY(!transfers.isEmpty());
    QCOMPARE(object[u"caption"].toString(),
             QStringLiteral("共找到%1个中转站。").arg(transfers.size()));
    QVERIFY(transfers[0].toObject()[u"path"].toString().startsWith(
        QStringLiteral("show_findresult.asp?CX_Type=ZZ&DZ=")));
    QVERIFY(object[u"rows"].isNull());
}

void CliTest::legsRunInTheTransferSession() {
    const Run run =
        query({u"--format"_s, u"json"_s, u"between"_s, u"拉萨"_s, u"上海虹桥"_s, u"--legs"_s});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject object = run.json();
    const QJsonArray legs = object[u"legs"].toArray();
    QCOMPARE(legs.size(), object[u"transfers"].toArray().size());
    QVERIFY(!legs.isEmpty());
    for (const QJsonValue& value : legs) {
        const QJsonObject leg = value.toObject();
        const QJsonArray rows = leg[u"rows"].toArray();
        QVERIFY2(!rows.isEmpty(), qPrintable(leg[u"city"].toString()));
        // Every train of a leg leaves from the departure the session remembered.
        for (const QJsonValue& row : rows)
            QCOMPARE(row.toArray()[5].toString(), QStringLiteral("拉萨"));
        QCOMPARE(rows[0].toArray()[7].toString(), leg[u"city"].toString());
    }
    QCOMPARE(query({u"--legs"_s, u"train"_s, u"K7"_s}).exitCode, 2);
}

void CliTest::detailAndFareQueries_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("navigate");
    QTest::addColumn<QString>("message");
    QTest::newRow("show_ link opens directly, nothing fetched")
        << QStringList{u"detail"_s, u"show_train.asp?cc=K7"_s} << 0 << u"show_train.asp?cc=K7"_s
        << "";
    QTest::newRow("station link fetched, frame opened")
        << QStringList{u"detail"_s, u"train.asp?cc=K7"_s} << 0 << u"show_train.asp?cc=K7"_s << "";
    QTest::newRow("unknown train: missing parameters")
        << QStringList{u"detail"_s, u"train.asp?cc=NOPE"_s} << 3 << u""_s << "参数丢失。";
    QTest::newRow("fare of a known train") << QStringList{u"fare"_s, u"K7"_s} << 0 << u""_s << "";
    QTest::newRow("fare of an unknown train")
        << QStringList{u"fare"_s, u"NOPE"_s} << 3 << u""_s << "信息目前暂不存在。";
    QTest::newRow("empty leg path")
        << QStringList{u"leg"_s, u""_s} << 3 << u""_s << "错误。请重新选择。";
}

void CliTest::detailAndFareQueries() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, navigate);
    QFETCH(QString, message);
    const Run run =
        query(QStringList{u"--fare-base"_s, m_base + u"fare/"_s, u"--format"_s, u"json"_s} + args);
    QCOMPARE(run.exitCode, exitCode);
    const QJsonObject object = run.json();
    QCOMPARE(object[u"query"].toString(), args[0]);
    QCOMPARE(object[u"navigate"].toString(), navigate.isEmpty() ? QString() : m_base + navigate);
    QCOMPARE(object[u"message"].toString(), message);
    if (args[0] == u"fare" && exitCode == 0) {
        QCOMPARE(object[u"labels"].toArray().size(), 16);
        QVERIFY(!object[u"rows"].toArray().isEmpty());
        QCOMPARE(object[u"rows"].toArray()[0].toArray().size(), 14);
    } else {
        QVERIFY(object[u"labels"].isNull());
    }
}

void CliTest::completeListsNamesInRankOrder_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("initials") << u"BJ"_s << QStringList{u"北京南"_s, u"北京西"_s};
    QTest::newRow("no candidate") << "zzz" << QStringList{};
}

void CliTest::completeListsNamesInRankOrder() {
    QFETCH(QString, typed);
    QFETCH(QStringList, names);
    LoopbackServer server;
    server.server.Get("/stations.txt", [](const httplib::Request&, httplib::Response& res) {
        const QByteArray body = QStringEncoder("GB18030").encode(
            QStringLiteral("# name\tpinyin\tinitials\ttrains\n北京南\tbeijingnan\tbjn\t150\n"
                           "北京西\tbeijingxi\tbjx\t120\n西安\txian\txa\t200\n"));
        res.set_content(body.toStdString(), "text/plain; charset=gb2312");
    });
    server.start();
    const QStringList base{u"--timetable-base"_s, server.url(QStringLiteral("/"))};

    const Run table = query(base + QStringList{u"complete"_s, typed}, false);
    QCOMPARE(table.exitCode, 0);
    QCOMPARE(QString::fromUtf8(table.out).split(u'\n', Qt::SkipEmptyParts), names);

    const Run json =
        query(base + QStringList{u"--format"_s, u"json"_s, u"complete"_s, typed}, false);
    QCOMPARE(json.exitCode, 0);
    const QJsonObject object = json.json();
    QCOMPARE(object[u"stations"].toVariant().toStringList(), names);
    QVERIFY(object[u"stations"].isArray());
    QVERIFY(object[u"query"].isNull());
    QVERIFY(object[u"rows"].isNull());
    QVERIFY(object[u"error"].isNull());

    const Run down =
        query({u"--timetable-base"_s, u"http://127.0.0.1:1/"_s, u"complete"_s, typed}, false);
    QCOMPARE(down.exitCode, 1);
}
QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
