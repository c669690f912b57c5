#include "dataset.h"

#include <QtTest>

namespace {

// Small enough to check by hand: K9 runs overnight and leaves 乙 after midnight, K90 comes
// before K9 and shares its prefix, 甲→戊 needs a change at 乙 or 丙, 甲→己 has no way at all.
const char* const fixture =
    "# fixture\r\n"
    "train K90 快速\n丁 - 07:00 0 0\n丙 15:00 15:10 0 300\n甲 23:00 - 0 600\n"
    "train K9 快速\r\n"
    "甲 - 22:00 0 0\r\n乙 23:50 00:10 0 100\r\n"
    "丙 05:00 05:05 1 400\r\n丁 12:30 - 1 700\r\n\r\n"
    "train G9 高速动车\n\t乙\t-\t08:00\t0\t0\n"
    "\t丙\t09:00\t09:02\t0\t250\n\t戊\t10:00\t-\t0\t480\n"
    "train D5 动车组\n戊 - 06:00 0 0\n己 07:00 - 0 200\n";

Dataset fixtureData() {
    QString error;
    std::optional<Dataset> data = Dataset::parse(QString::fromUtf8(fixture), &error);
    if (!data)
        qFatal("fixture does not parse: %s", qPrintable(error));
    return *data;
}

// Rows as "train|origin|terminus|class|from|time|to|time|duration|distance", link checked apart.
QString text(const QList<TrainListRow>& rows) {
    QStringList out;
    for (const TrainListRow& r : rows) {
        out << QStringList{r.train,    r.origin,    r.terminus, r.trainClass, r.fromStation,
                           r.fromTime, r.toStation, r.toTime,   r.duration,   r.distance}
                   .join(QLatin1Char('|'));
        if (r.link != QStringLiteral("train.asp?cc=") + r.train)
            out << QStringLiteral("bad link ") + r.link;
    }
    return out.join(QLatin1Char(';'));
}

std::optional<Dataset> sample() {
    QString error;
    std::optional<Dataset> data = Dataset::loadBuiltIn(&error);
    if (!data)
        qWarning("%s", qPrintable(error));
    return data;
}

} // namespace

class TestServiceDataset : public QObject {
    Q_OBJECT

private slots:
    void reportsBadLineWithItsNumber_data();
    void reportsBadLineWithItsNumber();
    void answersQueries_data();
    void answersQueries();
    void findsTransferCities_data();
    void findsTransferCities();
    void sampleCoversTheAdvertisedNetwork();
};

void TestServiceDataset::reportsBadLineWithItsNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    const struct {
        const char *name, *text, *error;
    } cases[] = {
        {"stop before train", "甲 - 08:00 0 0\n", "line 1: stop line before"},
        {"missing field", "train K1 快速\n甲 - 08:00 0\n", "line 2: expected STATION"},
        {"hour 24", "train K1 快速\n甲 - 24:00 0 0\n", "line 2: bad time \"24:00\""},
        {"fractional km", "train K1 快速\n甲 - 08:00 0 0\n乙 09:00 - 0 1.5\n",
         "line 3: bad distance"},
        {"first stop arrives", "train K1 快速\n甲 07:00 08:00 0 0\n乙 09:00 - 0 10\n",
         "line 2: the first stop must have arrival"},
        {"middle stop never leaves",
         "train K1 快速\n甲 - 08:00 0 0\n乙 09:00 - 0 10\n丙 10:00 - 0 20\n",
         "line 3: departure time missing"},
        {"arrives before leaving", "train K1 快速\n甲 - 08:00 0 0\n乙 07:00 - 0 10\n",
         "line 3: arrives before"},
        {"distance shrinks",
         "train K1 快速\n甲 - 08:00 0 0\n乙 09:00 09:05 0 50\n丙 10:00 - 0 40\n",
         "line 4: distance must grow"},
        {"one stop only", "# c\ntrain K1 快速\n甲 - 08:00 0 0\n",
         "line 2: train K1 needs at least two stops"},
        {"number twice, other case",
         "train K1 快速\n甲 - 08:00 0 0\n乙 09:00 - 0 10\ntrain k1 快速\n",
         "line 4: train k1 is listed twice"},
        {"station with dash", "train K1 快速\n北京西-拉萨 - 08:00 0 0\n",
         "line 2: station \"北京西-拉萨\" contains the character '-'"},
        {"station outside GB2312", "train K1 快速\n龍 - 08:00 0 0\n",
         "line 2: station \"龍\" cannot be written in GB2312"},
        {"only comments", "# nothing\n\n", "no trains in the timetable"},
    };
    for (const auto& c : cases)
        QTest::newRow(c.name) << QString::fromUtf8(c.text) << QString::fromUtf8(c.error);
}

void TestServiceDataset::reportsBadLineWithItsNumber() {
    QFETCH(QString, text);
    QFETCH(QString, error);
    QString got;
    QVERIFY(!Dataset::parse(text, &got));
    QVERIFY2(got.contains(error), qPrintable(got));
}

void TestServiceDataset::answersQueries_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("rows");
#define K9 "K9|甲|丁|快速|"
#define K90 "K90|丁|甲|快速|"
#define G9 "G9|乙|戊|高速动车|"
    const struct {
        const char *name, *query, *a, *b, *rows;
    } cases[] = {
        {"number: exact first", "number", "K9", "",
         K9 "甲|22:00|丁|12:30|14:30|700;" K90 "丁|07:00|甲|23:00|16:00|600"},
        {"number: any case", "number", "k90", "", K90 "丁|07:00|甲|23:00|16:00|600"},
        {"number: prefix in data order", "number", "K", "",
         K90 "丁|07:00|甲|23:00|16:00|600;" K9 "甲|22:00|丁|12:30|14:30|700"},
        {"number: trailing blank", "number", "K9 ", "", ""},
        {"between: leaves after midnight", "between", "乙", "丁", K9 "乙|00:10|丁|12:30|12:20|600"},
        {"between: two trains", "between", "乙", "丙",
         K9 "乙|00:10|丙|05:00|04:50|300;" G9 "乙|08:00|丙|09:00|01:00|250"},
        {"between: wrong direction", "between", "丁", "乙", ""},
        {"station: terminus and origin", "station", "丁", "",
         K90 "丁|07:00|甲|23:00|16:00|600;" K9 "丁|12:30|丁|12:30|00:00|0"},
        {"station: trailing blank", "station", "乙 ", "", ""},
        {"leg: from each origin", "leg", "", "丙",
         K90 "丁|07:00|丙|15:00|08:00|300;" K9 "甲|22:00|丙|05:00|07:00|400;" G9
             "乙|08:00|丙|09:00|01:00|250"},
        {"leg: city is an origin", "leg", "", "戊",
         G9 "乙|08:00|戊|10:00|02:00|480;D5|戊|己|动车组|戊|06:00|戊|06:00|00:00|0"},
        {"leg: from remembered departure", "leg", "甲", "丙", K9 "甲|22:00|丙|05:00|07:00|400"},
    };
#undef K9
#undef K90
#undef G9
    for (const auto& c : cases) {
        QTest::newRow(c.name) << QString::fromUtf8(c.query) << QString::fromUtf8(c.a)
                              << QString::fromUtf8(c.b) << QString::fromUtf8(c.rows);
    }
}

void TestServiceDataset::answersQueries() {
    QFETCH(QString, query);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, rows);
    const Dataset data = fixtureData();
    QList<TrainListRow> got;
    if (query == QLatin1String("number"))
        got = data.trainsByNumber(a);
    else if (query == QLatin1String("between"))
        got = data.trainsBetween(a, b);
    else if (query == QLatin1String("station"))
        got = data.trainsAtStation(a);
    else
        got = data.legTrains(a, b);
    QCOMPARE(text(got), rows);
}

void TestServiceDataset::findsTransferCities_data() {
    QTest::addColumn<bool>("useSample");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("cities");

    QTest::newRow("change at two places") << false << "甲"
                                          << "戊" << QStringList{"乙", "丙"};
    QTest::newRow("no way at all") << false << "甲"
                                   << "己" << QStringList{};
    QTest::newRow("through train exists") << false << "甲"
                                          << "丙" << QStringList{};
    QTest::newRow("unknown departure") << false << "庚"
                                       << "戊" << QStringList{};
    QTest::newRow("sample 拉萨 to 上海") << true << "拉萨"
                                         << "上海" << QStringList{"兰州", "西安", "郑州"};
    QTest::newRow("sample 拉萨 to 上海虹桥") << true << "拉萨"
                                             << "上海虹桥" << QStringList{"西宁"};
    QTest::newRow("sample 银川 to 上海虹桥") << true << "银川"
                                             << "上海虹桥" << QStringList{"西安北"};
    QTest::newRow("sample 哈尔滨西 to 拉萨") << true << "哈尔滨西"
                                             << "拉萨" << QStringList{};
}

void TestServiceDataset::findsTransferCities() {
    QFETCH(bool, useSample);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, cities);
    const std::optional<Dataset> data = useSample ? sample() : fixtureData();
    QVERIFY(data);
    QCOMPARE(data->transferCities(from, to), cities);
    for (const QString& city : cities) {
        QVERIFY(!data->legTrains(from, city).isEmpty());
        QVERIFY(!data->trainsBetween(city, to).isEmpty());
    }
}

void TestServiceDataset::sampleCoversTheAdvertisedNetwork() {
    const std::optional<Dataset> data = sample();
    QVERIFY(data);
    QVERIFY(data->trains().size() >= 40);
    QSet<QString> stations;
    QSet<QChar> classes;
    for (const Train& t : data->trains()) {
        classes.insert(t.number.front());
        for (const TrainStop& s : t.stops)
            stations.insert(s.station);
    }
    QVERIFY(stations.size() >= 30);
    QCOMPARE(classes, (QSet<QChar>{'G', 'D', 'Z', 'T', 'K'}));
    // The client's default station pair must answer with trains.
    QVERIFY(!data->trainsBetween(QStringLiteral("西安"), QStringLiteral("北京北")).isEmpty());
    QCOMPARE(data->trainsByNumber(QStringLiteral("K7")).value(0).train, QStringLiteral("K7"));
}

QTEST_APPLESS_MAIN(TestServiceDataset)
#include "tst_service_dataset.moc"
