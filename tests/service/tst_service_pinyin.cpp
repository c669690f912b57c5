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
    void writesSortedListThatReadsBack();
    void keepsEveryLineReadable();
    void readsTheNationalListAsItsOwnersDo();
};

void TestServicePinyin::readsStationNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("latin"); // the feed's own romanisation; empty: none given
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("initials");
    const struct {
        const char *name, *latin, *full, *initials;
    } rows[] = {
        {"北京西", "", "beijingxi", "bjx"},
        {"长沙南", "", "changshanan", "csn"},
        {"长春", "", "changchun", "cc"},
        {"长子", "", "zhangzi", "zz"},
        {"厦门北", "", "xiamenbei", "xmb"},
        {"重庆北", "", "chongqingbei", "cqb"},
        {"蚌埠", "", "bengbu", "bb"},
        {"六安东", "", "luandong", "lad"},
        {"六盘水", "", "liupanshui", "lps"},
        {"乐山", "", "leshan", "ls"},
        {"乐清", "", "yueqing", "yq"},
        {"朝阳", "", "chaoyang", "cy"},
        {"成都东", "", "chengdudong", "cdd"},
        {"番禺", "", "panyu", "py"},
        {"吐鲁番", "", "tulufan", "tlf"},
        {"单县", "", "shanxian", "sx"},
        {"那曲", "", "naqu", "nq"},
        {"西安", "", "xian", "xa"},
        {"吕梁", "", "lvliang", "ll"},
        {"满洲里－口岸", "", "manzhoulikouan", "mzlka"},
        {"佛山西", "", "foshanxi", "fsx"},
        {"喀什", "", "kashi", "ks"},
        {"库尔勒", "", "kuerle", "kel"},
        {"中牟", "", "zhongmu", "zm"},
        {"湾仔北", "", "wanzaibei", "wzb"},
        {"六合镇", "", "liuhezhen", "lhz"},
        {"龙洞堡", "", "longdongbao", "ldb"},
        {"双城堡", "", "shuangchengpu", "scp"},
        {"柴沟堡", "", "chaigoubu", "cgb"},
        {"略阳", "", "lueyang", "ly"},
        {"五女山", "", "wunvshan", "wns"},
        {"略阳 ue after l", "Lüèyáng", "lueyang", "ly"},
        {"Z字2号", "", "zzihao", "zzh"},
        {"北京西 tone marks", "Běijīng Xī", "beijingxi", "bjx"},
        {"长沙 tone digits", "Chang2sha1", "changsha", "cs"},
        {"西安 apostrophe splits", "Xi'an", "xian", "xa"},
        {"上海虹桥 hyphen and blanks", "Shanghai - Hongqiao", "shanghaihongqiao", "shhq"},
        {"吕梁 umlaut as v", "Lǚliáng", "lvliang", "ll"},
        {"绿化 u colon as v", "lu:hua", "lvhua", "lh"},
        // Too few syllables for the name: the initials come from the name's own reading.
        {"北京南 english name", "Beijing South", "beijingsouth", "bjn"},
        {"长春 blank translation", "  ", "changchun", "cc"},
    };
    for (const auto& row : rows) {
        // The row's name is the station name, then what the translation tries.
        const QString label = QString::fromUtf8(row.name);
        QTest::newRow(row.name) << label.section(u' ', 0, 0) << QString::fromUtf8(row.latin)
                                << QString::fromUtf8(row.full) << QString::fromUtf8(row.initials);
    }
}

void TestServicePinyin::readsStationNames() {
    QFETCH(QString, name);
    QFETCH(QString, latin);
    QFETCH(QString, full);
    QFETCH(QString, initials);
    const pinyin::Reading reading =
        latin.isEmpty() ? pinyin::of(name) : pinyin::fromTranslation(name, latin);
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

// The national station list (`@code|name|telecode|full pinyin|initials|...`), where this machine
// has a copy: every name must read as the railway itself spells it, or typing that finds
// nothing. QUILLON_STATION_NAMES names the copy; without one the check is skipped.
void TestServicePinyin::readsTheNationalListAsItsOwnersDo() {
    QString path = qEnvironmentVariable("QUILLON_STATION_NAMES");
    if (path.isEmpty())
        path = QStringLiteral("/work/shared/data/real/stations-12306/station_name.js");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        QSKIP("no national station list on this machine");
    const QString text = QString::fromUtf8(file.readAll());
    // Entries whose field is no reading of the name: an English name, an old name, typos.
    const QSet<QString> notReadings{u"香港西九龙"_qs, u"大禾塘"_qs, u"英库勒"_qs, u"帽儿山西"_qs};
    QStringList wrong;
    qsizetype names = 0;
    for (const QString& entry : text.split(u'@')) {
        const QStringList fields = entry.split(u'|');
        if (fields.size() < 5 || fields.at(1).isEmpty() || notReadings.contains(fields.at(1)))
            continue;
        ++names;
        const QString full = pinyin::of(fields.at(1)).full;
        if (full != fields.at(3))
            wrong << fields.at(1) + u' ' + full + u'/' + fields.at(3);
    }
    QVERIFY2(names > 3000, "the list did not read");
    for (const QString& w : wrong)
        qWarning("%s", qPrintable(w)); // a failure's message is cut short; these are not
    QVERIFY2(
        wrong.isEmpty(),
        qPrintable(QStringLiteral("%1 of %2 names read otherwise").arg(wrong.size()).arg(names)));
}

QTEST_GUILESS_MAIN(TestServicePinyin)
#include "tst_service_pinyin.moc"
