#include "trainpages.h"

#include "detail.h"
#include "fare.h"
#include "pages.h"

#include <QtTest>

// The detail and fare pages read back through the client's own scrapers, so a page that
// drifts from the markers the client cuts at fails here rather than in a window.
namespace {

const QString base = QStringLiteral("http://127.0.0.1:18730/");

// What the client holds after its page-load step.
QString clientText(const QByteArray& page) {
    return pages::fromGb(page).remove(u'"');
}

const Timetable& sample() {
    static const Timetable data = [] {
        QString error;
        std::optional<Timetable> d = Timetable::loadBuiltIn(&error);
        if (!d)
            qFatal("sample data: %s", qPrintable(error));
        return *d;
    }();
    return data;
}

bool isFare(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^[0-9]+\\.[05]$"));
    return number.match(text).hasMatch();
}

} // namespace

class TestServiceTrainPages : public QObject {
    Q_OBJECT

private slots:
    void faresFollowTheSampleFormula_data();
    void faresFollowTheSampleFormula();
    void fareRowsAndLabelsScrapeBack_data();
    void fareRowsAndLabelsScrapeBack();
    void detailFrameLeadsToStopPage_data();
    void detailFrameLeadsToStopPage();
    void unknownNumbersAreRefused_data();
    void unknownNumbersAreRefused();
};

void TestServiceTrainPages::faresFollowTheSampleFormula_data() {
    QTest::addColumn<int>("km");
    QTest::addColumn<int>("factor");
    QTest::addColumn<QString>("expected");
    // km x 0.05861 x factor, to the nearest half yuan, worked by hand.
    QTest::newRow("hard seat 1318 km") << 1318 << fares::hardSeat << "77.0";
    QTest::newRow("soft seat 1318 km") << 1318 << fares::softSeat << "154.5";
    QTest::newRow("second class 1318 km") << 1318 << fares::secondClass << "386.0";
    QTest::newRow("first class 1318 km") << 1318 << fares::firstClass << "618.0";
    QTest::newRow("hard sleeper upper 100 km") << 100 << fares::hardSleeper[0] << "11.0";
    QTest::newRow("hard sleeper lower 100 km") << 100 << fares::hardSleeper[2] << "12.5";
    QTest::newRow("soft sleeper lower 3096 km") << 3096 << fares::softSleeper[1] << "580.5";
    QTest::newRow("rounds up past a quarter") << 43 << fares::hardSeat << "2.5";
    QTest::newRow("rounds down below a quarter") << 60 << fares::hardSeat << "3.5";
}

void TestServiceTrainPages::faresFollowTheSampleFormula() {
    QFETCH(int, km);
    QFETCH(int, factor);
    QFETCH(QString, expected);
    QCOMPARE(fares::fare(km, factor), expected);
}

void TestServiceTrainPages::fareRowsAndLabelsScrapeBack_data() {
    QTest::addColumn<int>("index");
    const QList<Train>& trains = sample().trains();
    QVERIFY(!trains.isEmpty());
    for (qsizetype i = 0; i < trains.size(); ++i)
        QTest::newRow(qPrintable(trains[i].number)) << int(i);
}

void TestServiceTrainPages::fareRowsAndLabelsScrapeBack() {
    QFETCH(int, index);
    const Train& train = sample().trains()[index];
    const TrainStop& first = train.stops.first();
    const TrainStop& last = train.stops.last();

    const FarePageOutcome outcome = judgeFarePage(clientText(pages::farePage(train)));
    QCOMPARE(outcome.message, QString());
    const FareTable table = scrapeFareTable(outcome.buffer);

    const fares::Cells whole = fares::cells(train, last.km);
    const bool multipleUnit = fares::sellsSeatClasses(train);
    QCOMPARE(table.labels.size(), kFareLabels);
    const QStringList expectedLabels{
        train.number,
        durationText(last.arrival - first.departure),
        QStringLiteral("单位：元（样例票价）"),
        first.station,
        last.station,
        whole.hardSeat,
        whole.softSeat,
        clockText(first.departure),
        clockText(last.arrival),
        whole.hardSleeper,
        train.trainClass,
        QString::number(last.km) + QStringLiteral("公里"),
        whole.softSleeper,
        QStringLiteral("样例票价，按里程计算，仅供演示。乘车请以车站公告为准。"),
        whole.firstClass,
        whole.secondClass,
    };
    for (int i = 0; i < kFareLabels; ++i)
        QVERIFY2(table.labels[i] == expectedLabels[i],
                 qPrintable(QStringLiteral("label %1: %2").arg(i).arg(table.labels[i])));
    // The classes a train sells, and only those, carry fares.
    for (int i : {5, 6, 9, 12})
        QCOMPARE(table.labels[i] == fares::none, multipleUnit);
    for (int i : {14, 15})
        QCOMPARE(isFare(table.labels[i]), multipleUnit);

    QCOMPARE(table.rows.size(), train.stops.size());
    QString previousSeat = QStringLiteral("0.0");
    for (qsizetype s = 0; s < train.stops.size(); ++s) {
        const TrainStop& stop = train.stops[s];
        const QStringList& row = table.rows[s];
        QCOMPARE(row.size(), kFareColumns);
        QCOMPARE(row[0], QString::number(s + 1));
        QCOMPARE(row[1], train.number);
        QCOMPARE(row[2], stop.station);
        QCOMPARE(row[3], stop.arrival < 0 ? fares::none : clockText(stop.arrival));
        QCOMPARE(row[4], stop.departure < 0 ? fares::none : clockText(stop.departure));
        QCOMPARE(row[5],
                 stop.arrival < 0 ? fares::none : durationText(stop.arrival - first.departure));
        const int at = stop.arrival < 0 ? stop.departure : stop.arrival;
        QCOMPARE(row[6], QString::number(at / (24 * 60) + 1));
        QCOMPARE(row[7], QString::number(stop.km));
        const fares::Cells f = fares::cells(train, stop.km);
        QCOMPARE(row.mid(8), (QStringList{f.hardSeat, f.softSeat, f.hardSleeper, f.softSleeper,
                                          f.firstClass, f.secondClass}));
        if (s == 0) {
            QVERIFY(row.mid(8).count(fares::none) == 6);
            continue;
        }
        // Fares grow along the route.
        const QString& seat = multipleUnit ? row[13] : row[8];
        QVERIFY2(isFare(seat) && seat.toDouble() >= previousSeat.toDouble(), qPrintable(seat));
        previousSeat = seat;
    }
    QCOMPARE(table.rows.last().mid(8),
             (QStringList{whole.hardSeat, whole.softSeat, whole.hardSleeper, whole.softSleeper,
                          whole.firstClass, whole.secondClass}));
}

void TestServiceTrainPages::detailFrameLeadsToStopPage_data() {
    fareRowsAndLabelsScrapeBack_data();
}

void TestServiceTrainPages::detailFrameLeadsToStopPage() {
    QFETCH(int, index);
    const Train& train = sample().trains()[index];
    const QByteArray stopPage = QByteArray("show_train.asp?cc=") + train.number.toLatin1();

    // Train-number rows carry "show_" + the station rows' link, which opens the stop page.
    const QString link = Timetable::detailLink(train.number);
    QVERIFY(!opensDirectly(link));
    QCOMPARE(detailAddress(base, QStringLiteral("show_") + link), base.toLatin1() + stopPage);

    const QString lower = train.number.toLower();
    const DetailPageOutcome outcome =
        judgeDetailPage(base, clientText(pages::trainDetailAnswer(sample(), lower, true)));
    QCOMPARE(outcome.message, QString());
    QVERIFY(outcome.navigate);
    QCOMPARE(*outcome.navigate, base.toLatin1() + stopPage);

    const QString stops = clientText(pages::trainDetailAnswer(sample(), lower, false));
    QVERIFY(!stops.contains(pages::missingParametersPhrase));
    qsizetype from = 0;
    for (const TrainStop& stop : train.stops) {
        from = stops.indexOf(QStringLiteral("<td>") + stop.station + QStringLiteral("</td>"), from);
        QVERIFY2(from > 0, qPrintable(stop.station));
    }
}

void TestServiceTrainPages::unknownNumbersAreRefused_data() {
    QTest::addColumn<QString>("number");
    QTest::newRow("empty") << QString();
    QTest::newRow("unknown") << QStringLiteral("X9");
    QTest::newRow("prefix only") << QStringLiteral("G");
    QTest::newRow("trailing blank") << QStringLiteral("G1 ");
    QTest::newRow("longer number") << QStringLiteral("G1999");
    QTest::newRow("markup") << QStringLiteral("<b>G1</b>");
}

void TestServiceTrainPages::unknownNumbersAreRefused() {
    QFETCH(QString, number);
    const QString fare = clientText(pages::fareAnswer(sample(), number));
    QCOMPARE(judgeFarePage(fare).message, kNoFareMessage.toString());
    for (bool framed : {true, false}) {
        const QString page = clientText(pages::trainDetailAnswer(sample(), number, framed));
        const DetailPageOutcome outcome = judgeDetailPage(base, page);
        QCOMPARE(outcome.message, kMissingParametersMessage.toString());
        QVERIFY(!page.contains(QStringLiteral("<iframe")));
    }
}

QTEST_APPLESS_MAIN(TestServiceTrainPages)
#include "tst_service_trainpages.moc"
