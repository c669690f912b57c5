#include "servicedays.h"

#include <QTest>

using namespace Qt::StringLiterals;

class ServiceDaysTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsTheDaysOfTheStationList_data();
    void readsTheDaysOfTheStationList();
    void asksForTheChosenDay_data();
    void asksForTheChosenDay();
    void cutsTheReason_data();
    void cutsTheReason();
    void namesTheSource_data();
    void namesTheSource();
};

void ServiceDaysTest::readsTheDaysOfTheStationList_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::newRow("days") << QByteArray("# name\tpinyin\tinitials\ttrains\tdates 20261201 "
                                        "20261231\nA\ta\ta\t1\n")
                          << true << QDate(2026, 12, 1) << QDate(2026, 12, 31);
    QTest::newRow("older service") << QByteArray("# name\tpinyin\tinitials\ttrains\nA\ta\ta\t1\n")
                                   << false << QDate() << QDate();
    QTest::newRow("not a date") << QByteArray("# name\tdates 20261301 20261231\n") << false
                                << QDate() << QDate();
    QTest::newRow("backwards") << QByteArray("# name\tdates 20261231 20261201\n") << false
                               << QDate() << QDate();
    QTest::newRow("no header") << QByteArray("A\ta\ta\t1\tdates 20261201 20261231\n") << false
                               << QDate() << QDate();
    QTest::newRow("error page") << QByteArray("<html>404</html>") << false << QDate() << QDate();
}

void ServiceDaysTest::readsTheDaysOfTheStationList() {
    QFETCH(QByteArray, list);
    QFETCH(bool, known);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    const ServiceDays days = parseServiceDays(list);
    QCOMPARE(days.known, known);
    QCOMPARE(days.first, first);
    QCOMPARE(days.last, last);
}

void ServiceDaysTest::asksForTheChosenDay_data() {
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("fare");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("timetableAsked");
    QTest::addColumn<QString>("fareAsked");
    QTest::addColumn<QString>("notice");
    const QString base = QStringLiteral("http://127.0.0.1:18730/");
    const QString localFare = base + QStringLiteral("fare/");
    const QString otherFare = QStringLiteral("http://fares.example/");
    const QDate today(2026, 12, 9), tomorrow(2026, 12, 10);
    QTest::newRow("tomorrow") << true << localFare << tomorrow << base + u"d/20261210/"_s
                              << base + u"d/20261210/fare/"_s << QString();
    // Today is asked by date too, so an answer never drifts over midnight.
    QTest::newRow("today") << true << otherFare << today << base + u"d/20261209/"_s << otherFare
                           << QString();
    QTest::newRow("older service, today")
        << false << localFare << today << base << localFare << QString();
    QTest::newRow("older service, tomorrow")
        << false << localFare << tomorrow << base << localFare << kNoDayQueries.toString();
}

void ServiceDaysTest::asksForTheChosenDay() {
    QFETCH(bool, known);
    QFETCH(QString, fare);
    QFETCH(QDate, day);
    QFETCH(QString, timetableAsked);
    QFETCH(QString, fareAsked);
    QFETCH(QString, notice);
    const ServiceDays days{known, QDate(2026, 12, 1), QDate(2026, 12, 31)};
    const DayBases bases =
        basesForDay(QStringLiteral("http://127.0.0.1:18730/"), fare, day, QDate(2026, 12, 9), days);
    QCOMPARE(bases.timetable, timetableAsked);
    QCOMPARE(bases.fare, fareAsked);
    QCOMPARE(bases.notice, notice);
    QCOMPARE(dayStatus(bases, QString()), notice.isEmpty() && known
                                              ? dayText(day) + QStringLiteral(" 的车次")
                                          : notice.isEmpty() ? QStringLiteral("今天的车次")
                                                             : notice);
}

void ServiceDaysTest::cutsTheReason_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("reason");
    QTest::newRow("plain") << QStringLiteral("<p class=msg>不存在所查询的车次信息。</p>\n"
                                             "<p class=reason>时刻表包含 2026-12-01 至 "
                                             "2026-12-31 的车次。</p>")
                           << QStringLiteral("时刻表包含 2026-12-01 至 2026-12-31 的车次。");
    QTest::newRow("entities") << QStringLiteral("<p class=reason>A &amp; B &lt;C&gt; &#20013;"
                                                "&#x56FD; &bogus;</p>")
                              << QStringLiteral("A & B <C> 中国 &bogus;");
    QTest::newRow("none") << QStringLiteral("<p class=msg>x</p>") << QString();
    QTest::newRow("unterminated") << QStringLiteral("<p class=reason>网络不通") << "网络不通";
}

void ServiceDaysTest::cutsTheReason() {
    QFETCH(QString, page);
    QFETCH(QString, reason);
    QCOMPARE(cutReason(page), reason);
}

// What the status bar calls the service's source: the sample and the live site by name,
// anything else (or a list that does not say) by none.
void ServiceDaysTest::namesTheSource_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("credit");
    QTest::newRow("live, after the days")
        << QByteArray("# name\tpinyin\tinitials\ttrains\tdates 20261201 20261215\tsource live\n")
        << "官方网站实时数据";
    QTest::newRow("sample") << QByteArray("# name\tsource sample\nA\ta\ta\t1\n") << "样例时刻表";
    QTest::newRow("a feed") << QByteArray("# name\tdates 20261201 20261231\tsource timetable\n")
                            << QString();
    QTest::newRow("older service") << QByteArray("# name\tpinyin\tinitials\ttrains\n") << QString();
    QTest::newRow("not in the header") << QByteArray("# name\nA\tsource live\n") << QString();
}

void ServiceDaysTest::namesTheSource() {
    QFETCH(QByteArray, list);
    QFETCH(QString, credit);
    QCOMPARE(sourceCredit(parseServiceSource(list)), credit);
    // The days are read as before beside it.
    QCOMPARE(parseServiceDays(list).known, list.contains("dates 2026"));
}

QTEST_GUILESS_MAIN(ServiceDaysTest)
#include "tst_servicedays.moc"
