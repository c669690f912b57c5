#include "address.h"
#include "config.h"
#include "queries.h"
#include "transfer.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kBase = QStringLiteral("http://127.0.0.1:9/");
}

class QueriesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plansAddressOrMessage_data();
    void plansAddressOrMessage();
    void judgesPageByPhrases_data();
    void judgesPageByPhrases();
    void encodesRelativePathsAsBrowserDoes_data();
    void encodesRelativePathsAsBrowserDoes();
    void scrapesTransferCities_data();
    void scrapesTransferCities();
    void captionsCountCities();
};

void QueriesTest::plansAddressOrMessage_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("arrivalVisible");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("address");

    const QByteArray q = "http://127.0.0.1:9/show_findresult.asp?";
    QTest::newRow("train K7") << "train"
                              << "K7"
                              << "" << true << "" << q + "CX_Type=CC&FZ=&DZ=&CZ=&CC=K7";
    QTest::newRow("train with trailing blank is sent with it")
        << "train"
        << "K7 "
        << "" << true << "" << q + "CX_Type=CC&FZ=&DZ=&CZ=&CC=K7%20";
    QTest::newRow("train text with & # %")
        << "train"
        << "a&b#c%d"
        << "" << true << "" << q + "CX_Type=CC&FZ=&DZ=&CZ=&CC=a%26b%23c%25d";
    QTest::newRow("empty train number")
        << "train"
        << ""
        << "" << true << "请输入车次名称！车次名称不能为空。" << QByteArray();
    QTest::newRow("blank train number is not empty")
        << "train"
        << " "
        << "" << true << "" << q + "CX_Type=CC&FZ=&DZ=&CZ=&CC=%20";
    QTest::newRow("default boxes, station to station")
        << "stations"
        << "西安"
        << "北京北" << true << "" << q + "CX_Type=ZZ&FZ=%CE%F7%B0%B2&DZ=%B1%B1%BE%A9%B1%B1&CC=&CZ=";
    QTest::newRow("default box, station")
        << "stations"
        << "西安"
        << "北京北" << false << "" << q + "CX_Type=CZ&FZ=&DZ=&CC=&CZ=%CE%F7%B0%B2";
    QTest::newRow("both boxes empty: departure first")
        << "stations"
        << ""
        << "" << true << "【发站】内容不能为空。" << QByteArray();
    QTest::newRow("arrival empty") << "stations"
                                   << "西安"
                                   << "" << true << "【到站】内容不能为空。" << QByteArray();
    QTest::newRow("station empty, arrival ignored")
        << "stations"
        << ""
        << "北京北" << false << "【站名】内容不能为空。" << QByteArray();
    QTest::newRow("leg path") << "leg"
                              << "show_findresult.asp?CX_Type=ZZ&DZ=西安"
                              << "" << true << "" << q + "CX_Type=ZZ&DZ=%CE%F7%B0%B2";
    QTest::newRow("empty leg path") << "leg"
                                    << ""
                                    << "" << true << "错误。请重新选择。" << QByteArray();
}

void QueriesTest::plansAddressOrMessage() {
    QFETCH(QString, kind);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, arrivalVisible);
    QFETCH(QString, message);
    QFETCH(QByteArray, address);
    const QueryPlan plan = kind == u"train" ? planTrainQuery(kBase, a)
                           : kind == u"leg" ? planLegQuery(kBase, a)
                                            : planStationQuery(kBase, a, b, arrivalVisible);
    QCOMPARE(plan.message, message);
    QCOMPARE(plan.address, address);
    if (!address.isEmpty()) // the bytes reach the wire unchanged
        QCOMPARE(toUrl(plan.address).toEncoded(), address);
}

void QueriesTest::judgesPageByPhrases_data() {
    QTest::addColumn<QueryKind>("kind");
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("message");
    QTest::addColumn<TrainList>("list");

    const int msg = PageOutcome::ShowMessage, scrape = PageOutcome::Scrape,
              transfer = PageOutcome::Transfer;
    QTest::newRow("train, no such train") << QueryKind::Train << "x不存在所查询的车次信息。y" << msg
                                          << "不存在所查询的车次信息。" << TrainList::ListView1;
    QTest::newRow("train, rows") << QueryKind::Train << "<td width=75" << scrape << ""
                                 << TrainList::ListView1;
    QTest::newRow("train, empty page")
        << QueryKind::Train << "" << scrape << "" << TrainList::ListView1;
    QTest::newRow("between, both stations unknown: departure wins")
        << QueryKind::Between << "到站不存在。发站不存在。" << msg << "发站不存在。"
        << TrainList::ListView2;
    QTest::newRow("between, arrival unknown")
        << QueryKind::Between << "到站不存在。" << msg << "到站不存在。" << TrainList::ListView2;
    QTest::newRow("between, error phrase before transfer")
        << QueryKind::Between << "请选择中转站 不存在所查询的车次信息。" << msg
        << "不存在所查询的车次信息。" << TrainList::ListView2;
    QTest::newRow("between, transfer even with rows")
        << QueryKind::Between << "<td width=75 请选择中转站" << transfer << ""
        << TrainList::ListView2;
    QTest::newRow("station looks for no phrase")
        << QueryKind::Station << "发站不存在。不存在所查询的车次信息。" << scrape << ""
        << TrainList::ListView3;
    QTest::newRow("station ignores transfer phrase")
        << QueryKind::Station << "请选择中转站" << scrape << "" << TrainList::ListView3;
    QTest::newRow("leg, no such train") << QueryKind::Leg << "不存在所查询的车次信息。" << msg
                                        << "不存在所查询的车次信息。" << TrainList::ListView2;
    QTest::newRow("leg fills ListView2")
        << QueryKind::Leg << "请选择中转站" << scrape << "" << TrainList::ListView2;
}

void QueriesTest::judgesPageByPhrases() {
    QFETCH(QueryKind, kind);
    QFETCH(QString, page);
    QFETCH(int, action);
    QFETCH(QString, message);
    QFETCH(TrainList, list);
    const PageOutcome outcome = judgePage(kind, page);
    QCOMPARE(int(outcome.action), action);
    QCOMPARE(outcome.message, message);
    QCOMPARE(outcome.list, list);
}

void QueriesTest::encodesRelativePathsAsBrowserDoes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("ascii stays") << "train.asp?cc=K7&x=%41" << QByteArray("train.asp?cc=K7&x=%41");
    QTest::newRow("blank") << "a b" << QByteArray("a%20b");
    QTest::newRow("chinese as gb18030") << "DZ=兰州" << QByteArray("DZ=%C0%BC%D6%DD");
    QTest::newRow("control characters") << "a\tb" << QByteArray("a%09b");
}

void QueriesTest::encodesRelativePathsAsBrowserDoes() {
    QFETCH(QString, path);
    QFETCH(QByteArray, encoded);
    QCOMPARE(encodeRelativePath(path), encoded);
}

void QueriesTest::scrapesTransferCities_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("cities");
    QTest::addColumn<QStringList>("paths");

    const QString leg = QStringLiteral("show_findresult.asp?CX_Type=ZZ&DZ=");
    QTest::newRow("two cities, &dz= cut")
        << "<a href=/>home</a>请选择中转站<a href='zzz.asp?zzz=西安&dz=上海'>西安</a>"
           "<a href='zzz.asp?zzz=兰州&dz=上海&x=1'>兰州</a></td>"
        << QStringList{u"西安"_s, u"兰州"_s} << QStringList{leg + u"西安"_s, leg + u"兰州"_s};
    QTest::newRow("no anchor after the phrase")
        << "<a href='x'>y</a>请选择中转站 none" << QStringList{} << QStringList{};
    QTest::newRow("phrase twice: only anchors in between")
        << "请选择中转站<a href='zzz.asp?zzz=A&dz=B'>A</a>请选择中转站<a href='zzz.asp?zzz=C'>C</a>"
        << QStringList{u"A"_s} << QStringList{leg + u"A"_s};
    QTest::newRow("link without &dz= kept whole, replacement applied")
        << u"请选择中转站<a href='other.asp?zzz.asp?zzz=Q'>Q</a>"_s << QStringList{u"Q"_s}
        << QStringList{u"other.asp?"_s + leg + u"Q"_s};
    QTest::newRow("anchor without href gets an empty path, not the previous one")
        << u"请选择中转站<a href='zzz.asp?zzz=A&dz=B'>A</a><a name=x'>X</a>"_s
        << QStringList{u"A"_s, u"X"_s} << QStringList{leg + u"A"_s, u""_s};
    QTest::newRow("anchor without '> has no name")
        << u"请选择中转站<a href=zzz>Z</a>"_s << QStringList{u""_s} << QStringList{u""_s};
}

void QueriesTest::scrapesTransferCities() {
    QFETCH(QString, page);
    QFETCH(QStringList, cities);
    QFETCH(QStringList, paths);
    const TransferList list = scrapeTransferList(page);
    QStringList gotCities, gotPaths;
    for (const TransferEntry& entry : list.entries) {
        gotCities << entry.city;
        gotPaths << entry.path;
    }
    QCOMPARE(gotCities, cities);
    QCOMPARE(gotPaths, paths);
    QVERIFY(!list.buffer.contains(QStringLiteral("请选择中转站")));
}

void QueriesTest::captionsCountCities() {
    QCOMPARE(transferCaption(5), QStringLiteral("共找到5个中转站。"));
    QCOMPARE(transferPlansStatus(0), QStringLiteral("乘车方案：0"));
    QCOMPARE(asBase(QStringLiteral("http://h/x")), QStringLiteral("http://h/x/"));
    QCOMPARE(asBase(QStringLiteral("http://h/")), QStringLiteral("http://h/"));
}

QTEST_GUILESS_MAIN(QueriesTest)
#include "tst_queries.moc"
