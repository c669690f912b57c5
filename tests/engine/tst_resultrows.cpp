#include "rowexport.h"
#include "rowfilter.h"
#include "rowsort.h"
#include "stationindex.h"

#include "contract/pagecontract.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A ListView2 row: number, origin, terminus, class, from, departure, to, arrival, km, duration.
QStringList row(const QString& n, const QString& train, const QString& departs,
                const QString& origin = QStringLiteral("西安")) {
    return {n,
            train,
            origin,
            QStringLiteral("北京西"),
            QStringLiteral("快速"),
            QStringLiteral("西安"),
            departs,
            QStringLiteral("北京北"),
            QStringLiteral("14:10"),
            QString(),
            QStringLiteral("12:00"),
            QStringLiteral("show_x.asp?cc=") + train};
}

StationIndex stations() {
    return StationIndex(
        {{QStringLiteral("重庆北"), QStringLiteral("chongqingbei"), QStringLiteral("cqb"), 1},
         {QStringLiteral("长沙"), QStringLiteral("changsha"), QStringLiteral("cs"), 1},
         {QStringLiteral("北京西"), QStringLiteral("beijingxi"), QStringLiteral("bjx"), 1}});
}

} // namespace

class ResultRowsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sortsByValue_data();
    void sortsByValue();
    void filtersByClassAndDeparture_data();
    void filtersByClassAndDeparture();
    void classLetterNeedsADigitAfterIt_data();
    void classLetterNeedsADigitAfterIt();
    void copiesSeenColumnsWithHeader();
    void writesCsvForSpreadsheets();
};

void ResultRowsTest::sortsByValue_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const int v1 = int(TrainList::ListView1);
    const int v2 = int(TrainList::ListView2);
    QTest::newRow("train number") << v1 << 1 << "G2"
                                  << "G12";
    QTest::newRow("departure") << v1 << 6 << "9:05"
                               << "13:10";
    QTest::newRow("duration in ListView2") << v2 << 10 << "9:05"
                                           << "43:48";
    QTest::newRow("distance with unit") << v1 << 10 << "98公里"
                                        << "120公里";
    QTest::newRow("empty time last") << v2 << 6 << "23:59"
                                     << "";
    QTest::newRow("pinyin of the list") << v2 << 2 << "长沙"
                                        << "重庆北"; // chang < chong
    QTest::newRow("listed before unlisted") << v2 << 2 << "北京西"
                                            << "阿克苏";
    QTest::newRow("unlisted by collation") << v2 << 2 << "阿克苏"
                                           << "兰州";
}

void ResultRowsTest::sortsByValue() {
    QFETCH(int, list);
    QFETCH(int, column);
    QFETCH(QString, before);
    QFETCH(QString, after);
    const StationIndex index = stations();
    QVERIFY(compareCells(TrainList(list), column, before, after, index) < 0);
    QVERIFY(compareCells(TrainList(list), column, after, before, index) > 0);
    QCOMPARE(compareCells(TrainList(list), column, before, before, index), 0);
}

void ResultRowsTest::filtersByClassAndDeparture_data() {
    QTest::addColumn<QString>("train");
    QTest::addColumn<QString>("departs");
    QTest::addColumn<QString>("hiddenClass"); // one class switched off, or empty
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("shown");
    const int open = RowFilter::kLastMinute;
    QTest::newRow("open") << "K7"
                          << ""
                          << "" << 0 << open << true;
    QTest::newRow("class off") << "K7"
                               << "08:00"
                               << "K" << 0 << open << false;
    QTest::newRow("other class") << "1461"
                                 << "08:00"
                                 << "其他" << 0 << open << false;
    QTest::newRow("inside window") << "G1"
                                   << "9:05"
                                   << "" << 9 * 60 << 10 * 60 << true;
    QTest::newRow("outside window") << "G1"
                                    << "10:01"
                                    << "" << 9 * 60 << 10 * 60 << false;
    QTest::newRow("past midnight") << "Z1"
                                   << "00:30"
                                   << "" << 22 * 60 << 60 << true;
    QTest::newRow("no time, window set") << "G1"
                                         << ""
                                         << "" << 0 << 60 << false;
}

void ResultRowsTest::filtersByClassAndDeparture() {
    QFETCH(QString, train);
    QFETCH(QString, departs);
    QFETCH(QString, hiddenClass);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, shown);
    RowFilter filter;
    for (int c = 0; c < kTrainClassCount; ++c) {
        if (trainClassLabel(TrainClass(c)) == hiddenClass)
            filter.allow(TrainClass(c), false);
    }
    filter.fromMinute = from;
    filter.toMinute = to;
    QCOMPARE(filter.accepts(row(QStringLiteral("1"), train, departs)), shown);
}

void ResultRowsTest::classLetterNeedsADigitAfterIt_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("filterLabel");
    QTest::addColumn<bool>("multipleUnit"); // sells first and second class on the fare page
    QTest::newRow("high speed") << "G12"
                                << "G" << true;
    QTest::newRow("lower case, blanks") << " c1 "
                                        << "C" << true;
    QTest::newRow("express") << "K7"
                             << "K" << false;
    // A feed's trip named by a word is not a train class; the service names it by route type.
    QTest::newRow("word") << "Tram"
                          << "其他" << false;
    QTest::newRow("letter alone") << "D"
                                  << "其他" << false;
    QTest::newRow("digits only") << "1461"
                                 << "其他" << false;
    QTest::newRow("other letter") << "Y501"
                                  << "其他" << false;
}

void ResultRowsTest::classLetterNeedsADigitAfterIt() {
    QFETCH(QString, number);
    QFETCH(QString, filterLabel);
    QFETCH(bool, multipleUnit);
    QCOMPARE(trainClassLabel(trainClassOf(number)), filterLabel);
    QCOMPARE(contract::isMultipleUnit(number), multipleUnit);
}

void ResultRowsTest::copiesSeenColumnsWithHeader() {
    QStringList odd = row(QStringLiteral("2"), QStringLiteral("T8"), QStringLiteral("10:00"));
    odd[4] = QStringLiteral("特\t快\n");
    const QString text = rowsAsText(TrainList::ListView2, {row(u"1"_s, u"K7"_s, u"08:00"_s), odd});
    const QStringList lines = text.split(u'\n');
    QCOMPARE(lines.size(), 4); // header, two rows, empty after the last "\n"
    QCOMPARE(lines[0],
             QStringLiteral("序号\t车次\t始发站点\t终点站\t列车类型\t发站\t发车时间\t到站\t"
                            "到站时间\t里程\t历时"));
    QCOMPARE(lines[1],
             QStringLiteral("1\tK7\t西安\t北京西\t快速\t西安\t08:00\t北京北\t14:10\t\t12:00"));
    QCOMPARE(lines[2].split(u'\t').size(), 11); // the link stays behind, tabs inside are blanks
    QCOMPARE(lines[2].split(u'\t')[4], QStringLiteral("特 快 "));
    QVERIFY(lines[3].isEmpty());
}

void ResultRowsTest::writesCsvForSpreadsheets() {
    QStringList odd = row(QStringLiteral("2"), QStringLiteral("T8"), QStringLiteral("10:00"),
                          QStringLiteral("西安,\"东\"\r\n站"));
    const QByteArray csv = rowsAsCsv(TrainList::ListView1, {odd});
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(csv.mid(3));
    QVERIFY(text.startsWith(QStringLiteral("序号,车次,始发站,终点站,列车类型,发站,发时,到站,"
                                           "到时,历时,里程\r\n")));
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    QVERIFY(text.contains(QStringLiteral("2,T8,\"西安,\"\"东\"\"\r\n站\",北京西,")));
    QVERIFY(!text.contains(QStringLiteral("show_")));
}

QTEST_GUILESS_MAIN(ResultRowsTest)
#include "tst_resultrows.moc"
