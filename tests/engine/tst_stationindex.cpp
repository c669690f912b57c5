#include "stationindex.h"
#include "stationsource.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray gb2312(const QString& text) {
    return QStringEncoder("GB18030").encode(text);
}

// A list as the service writes it: header comment, sorted by name, GB2312.
const QString kList = QStringLiteral("# name\tpinyin\tinitials\ttrains\n"
                                     "北京\tbeijing\tbj\t80\n"
                                     "北京北\tbeijingbei\tbjb\t20\n"
                                     "北京南\tbeijingnan\tbjn\t150\n"
                                     "北京西\tbeijingxi\tbjx\t120\n"
                                     "宝鸡\tbaoji\tbj\t60\n"
                                     "重庆北\tchongqingbei\tcqb\t90\n"
                                     "长沙南\tchangshanan\tcsn\t90\n"
                                     "西安\txian\txa\t200\n"
                                     "吕梁\tlvliang\tll\t30\n"
                                     "略阳\tlueyang\tly\t10\n"
                                     "庐山\tlushan\tls\t20\n"
                                     "五女山\twunvshan\twns\t5\n");

StationIndex index() {
    return StationIndex(parseStationList(gb2312(kList)));
}

} // namespace

class StationIndexTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void skipsLinesItCannotRead();
    void ranksCandidates_data();
    void ranksCandidates();
    void showsAtMostTen();
    void settlesOnTheFirstCandidate_data();
    void settlesOnTheFirstCandidate();
    void offersTheCityFirst_data();
    void offersTheCityFirst();
    void cacheKeepsTheLastCopy();
};

void StationIndexTest::skipsLinesItCannotRead() {
    const QByteArray bytes = gb2312(QStringLiteral("# header\n"
                                                   "北京西\tbeijingxi\tbjx\t120\r\n"
                                                   "三个\tsange\tsg\n"
                                                   "非数\tfeishu\tfs\tmany\n"
                                                   "五个\twu\tw\t1\textra\n"
                                                   "\n"
                                                   "拉萨\tlasa\tls\t4"));
    const QList<Station> stations = parseStationList(bytes);
    QCOMPARE(stations.size(), 2);
    QCOMPARE(stations[0].name, QStringLiteral("北京西"));
    QCOMPARE(stations[0].initials, QStringLiteral("bjx"));
    QCOMPARE(stations[0].trains, 120);
    QCOMPARE(stations[1].name, QStringLiteral("拉萨")); // last line without "\n"
    QVERIFY(parseStationList("<html>404 Not Found</html>").isEmpty());
}

void StationIndexTest::ranksCandidates_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("names");
    // Exact name first, then stations by trains.
    QTest::newRow("chinese prefix")
        << QStringLiteral("北京") << QStringList{u"北京"_s, u"北京南"_s, u"北京西"_s, u"北京北"_s};
    QTest::newRow("initials") << u"bjx"_s << QStringList{u"北京西"_s};
    QTest::newRow("full pinyin") << u"beijingxi"_s << QStringList{u"北京西"_s};
    QTest::newRow("any case") << u"BJX"_s << QStringList{u"北京西"_s};
    // Exact initials of two stations come before the prefixes, each tier by trains.
    QTest::newRow("exact initials before prefixes")
        << u"bj"_s << QStringList{u"北京"_s, u"宝鸡"_s, u"北京南"_s, u"北京西"_s, u"北京北"_s};
    // Polyphonic 重: the service's reading counts, not the common one.
    QTest::newRow("polyphonic from the list") << u"chongq"_s << QStringList{u"重庆北"_s};
    QTest::newRow("polyphonic not guessed") << "zhongq" << QStringList{};
    QTest::newRow("same trains by name") << u"c"_s << QStringList{u"重庆北"_s, u"长沙南"_s};
    QTest::newRow("empty") << "" << QStringList{};
    // ü typed either way: v as the list writes it, or u.
    QTest::newRow("lv as written") << u"lvl"_s << QStringList{u"吕梁"_s};
    QTest::newRow("lu for lv") << u"lul"_s << QStringList{u"吕梁"_s};
    QTest::newRow("lve for lue") << u"lvey"_s << QStringList{u"略阳"_s};
    QTest::newRow("lue as written") << u"lueyang"_s << QStringList{u"略阳"_s};
    QTest::newRow("nu for nv") << u"wunu"_s << QStringList{u"五女山"_s};
    QTest::newRow("nv as written") << u"wunvshan"_s << QStringList{u"五女山"_s};
    QTest::newRow("lu finds every reading")
        << u"lu"_s << QStringList{u"吕梁"_s, u"庐山"_s, u"略阳"_s};
}

void StationIndexTest::ranksCandidates() {
    QFETCH(QString, typed);
    QFETCH(QStringList, names);
    QCOMPARE(index().complete(typed), names);
}

void StationIndexTest::showsAtMostTen() {
    QList<Station> many;
    for (int i = 0; i < 30; ++i)
        many.append(
            {QStringLiteral("站%1").arg(i), QStringLiteral("zhan"), QStringLiteral("z"), i});
    const QStringList names = StationIndex(many).complete(u"z");
    QCOMPARE(names.size(), 10);
    QCOMPARE(names.first(), QStringLiteral("站29")); // most trains first
}

void StationIndexTest::offersTheCityFirst_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("labels");
    // The city stands for its station of the same name, which is not offered twice.
    QTest::newRow("initials") << u"bj"_s
                              << QStringList{u"北京 (全部车站)"_s, u"宝鸡"_s, u"北京南"_s,
                                             u"北京西"_s, u"北京北"_s};
    QTest::newRow("name") << QStringLiteral("北京")
                          << QStringList{u"北京 (全部车站)"_s, u"北京南"_s, u"北京西"_s,
                                         u"北京北"_s};
    QTest::newRow("a station of it") << u"bjx"_s << QStringList{u"北京西"_s};
}

void StationIndexTest::offersTheCityFirst() {
    QFETCH(QString, typed);
    QFETCH(QStringList, labels);
    // Readers that skip "#" lines still read the stations.
    const QString withCity = QString(kList).replace(
        QStringLiteral("trains\n"),
        QStringLiteral("trains\tdates 20261201 20261231\n#city\t北京\tbeijing\tbj\t370\t北京 "
                       "北京北 北京南 北京西\n"));
    const StationIndex cities(parseStationList(gb2312(withCity)));
    QStringList shown;
    for (const QString& name : cities.complete(typed))
        shown << cities.label(name);
    QCOMPARE(shown, labels);
}

void StationIndexTest::cacheKeepsTheLastCopy() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("cache/quillon/stations.txt"));
    QVERIFY(readCachedStationList(file).isEmpty());
    QVERIFY(cacheStationList(gb2312(kList), file));
    QVERIFY(cacheStationList("newer", file));
    QCOMPARE(readCachedStationList(file), QByteArray("newer"));
}

void StationIndexTest::settlesOnTheFirstCandidate_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("settled");
    QTest::newRow("initials") << "bjx"
                              << "北京西";
    QTest::newRow("pinyin prefix, busiest first") << "beijing"
                                                  << "北京";
    QTest::newRow("a station stays") << "北京北"
                                     << "北京北";
    QTest::newRow("upper case initials") << "BJN"
                                         << "北京南";
    QTest::newRow("nothing completes it") << "qqq"
                                          << "qqq";
    QTest::newRow("empty") << ""
                           << "";
}

void StationIndexTest::settlesOnTheFirstCandidate() {
    QFETCH(QString, typed);
    QTEST(settledStationText(index(), typed), "settled");
    QCOMPARE(settledStationText(StationIndex(), typed), typed); // no list: as typed
}

QTEST_GUILESS_MAIN(StationIndexTest)
#include "tst_stationindex.moc"
