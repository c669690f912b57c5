#include "pages.h"
#include "pinyin.h"
#include "stationlist.h"

#include <QtTest>

// The pinyin the client completes station names from: a wrong reading means a station the
// user cannot find by typing its name's sound.
class TestServicePinyin : public QObject {
    Q_OBJECT
private slots:
    void readsStationNames_data();
    void readsStationNames();
    void normalisesFeedTranslations_data();
    void normalisesFeedTranslations();
    void writesSortedListThatReadsBack();
    void keepsEveryLineReadable();
};

void TestServicePinyin::readsStationNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("initials");
    const struct {
        const char* name;
        const char* full;
        const char* initials;
    } rows[] = {
        {"北京西", "beijingxi", "bjx"},   {"长沙南", "changshanan", "csn"},
        {"长春", "changchun", "cc"},      {"长子", "zhangzi", "zz"},
        {"厦门北", "xiamenbei", "xmb"},   {"重庆北", "chongqingbei", "cqb"},
        {"蚌埠", "bengbu", "bb"},         {"六安东", "luandong", "lad"},
        {"六盘水", "liupanshui", "lps"},  {"乐山", "leshan", "ls"},
        {"乐清", "yueqing", "yq"},        {"朝阳", "chaoyang", "cy"},
        {"成都东", "chengdudong", "cdd"}, {"番禺", "panyu", "py"},
        {"吐鲁番", "tulufan", "tlf"},     {"单县", "shanxian", "sx"},
        {"那曲", "naqu", "nq"},           {"西安", "xian", "xa"},
        {"吕梁", "lvliang", "ll"},        {"满洲里－口岸", "manzhoulikouan", "mzlka"},
        {"Z字2号", "zzihao", "zzh"},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << QString::fromUtf8(row.name) << QString::fromUtf8(row.full)
                                << QString::fromUtf8(row.initials);
}

void TestServicePinyin::readsStationNames() {
    QFETCH(QString, name);
    QFETCH(QString, full);
    QFETCH(QString, initials);
    const pinyin::Reading reading = pinyin::of(name);
    QCOMPARE(reading.full, full);
    QCOMPARE(reading.initials, initials);
}

void TestServicePinyin::normalisesFeedTranslations_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("latin");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("initials");
    QTest::newRow("tone marks") << u"北京西"_qs << u"Běijīng Xī"_qs << "beijingxi"
                                << "bjx";
    QTest::newRow("tone digits") << u"长沙"_qs << u"Chang2sha1"_qs << "changsha"
                                 << "cs";
    QTest::newRow("apostrophe splits") << u"西安"_qs << u"Xi'an"_qs << "xian"
                                       << "xa";
    QTest::newRow("hyphen and blanks")
        << u"上海虹桥"_qs << u"Shanghai - Hongqiao"_qs << "shanghaihongqiao"
        << "shhq";
    QTest::newRow("umlaut as v") << u"吕梁"_qs << u"Lǚliáng"_qs << "lvliang"
                                 << "ll";
    QTest::newRow("u colon as v") << u"绿化"_qs << u"lu:hua"_qs << "lvhua"
                                  << "lh";
    // Too few syllables for the name: the initials come from the name's own reading.
    QTest::newRow("english name") << u"北京南"_qs << u"Beijing South"_qs << "beijingsouth"
                                  << "bjn";
    QTest::newRow("empty") << u"长春"_qs << u"  "_qs << "changchun"
                           << "cc";
}

void TestServicePinyin::normalisesFeedTranslations() {
    QFETCH(QString, name);
    QFETCH(QString, latin);
    QFETCH(QString, full);
    QFETCH(QString, initials);
    const pinyin::Reading reading = pinyin::fromTranslation(name, latin);
    QCOMPARE(reading.full, full);
    QCOMPARE(reading.initials, initials);
}

void TestServicePinyin::writesSortedListThatReadsBack() {
    const QByteArray page = stationListPage({
        {u"长沙"_qs, 12, {}},
        {u"北京西"_qs, 120, {}},
        {u"北京西"_qs, 3, {}},
        {u"西安"_qs, 0, u"Xī'ān"_qs},
    });
    // Decoded the way the client decodes every page.
    const QStringList lines = pages::fromGb(page).split(u'\n');
    QCOMPARE(lines,
             QStringList({u"# name\tpinyin\tinitials\ttrains"_qs, u"北京西\tbeijingxi\tbjx\t120"_qs,
                          u"西安\txian\txa\t0"_qs, u"长沙\tchangsha\tcs\t12"_qs, QString()}));
    QVERIFY(page.startsWith("# name\t"));
    QVERIFY(page.contains("\xB1\xB1\xBE\xA9\xCE\xF7\tbeijingxi")); // 北京西 in GB2312
}

void TestServicePinyin::keepsEveryLineReadable() {
    const QByteArray page = stationListPage({{u"A\tB\nC"_qs, 1, {}}, {QString(), 5, {}}});
    const QStringList lines = pages::fromGb(page).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(1), u"A B C\tabc\tabc\t1"_qs);
}

QTEST_GUILESS_MAIN(TestServicePinyin)
#include "tst_service_pinyin.moc"
