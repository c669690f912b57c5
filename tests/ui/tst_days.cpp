// The date control driven as a user would, against the bundled service on a feed whose trains
// differ by day, and against a service that knows no days.
#include "dayfeed.h"
#include "inprocessservice.h"
#include "uitestmain.h"

#include "datecontrol.h"
#include "form1.h"
#include "form2.h"
#include "gtfs/gtfssource.h"
#include "messages.h"
#include "program.h"
#include "skinbutton.h"
#include "webviews.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include <httplib.h>

using namespace Qt::StringLiterals;

class DaysTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup() { m_form.reset(); }
    void cleanupTestCase();
    void pickedDayGoesWithTheListAndItsDetail();
    void reasonOfTheServiceShows();
    void serviceWithoutDaysAnswersForItsOwn();

private:
    QByteArray stationList(const InProcessService& service);
    QStringList stationQuery(const QString& station);

    QTemporaryDir m_folder;
    std::unique_ptr<InProcessService> m_service;
    std::unique_ptr<Form1> m_form;
    QStringList m_messages;
};

void DaysTest::initTestCase() {
    QString error;
    const gtfs::MemorySource files = feedSource(dayFeed);
    std::shared_ptr<gtfs::GtfsSource> source = gtfs::GtfsSource::read(files, &error);
    QVERIFY2(source, qPrintable(error));
    m_service = std::make_unique<InProcessService>(source);
    QVERIFY(m_service->isListening());
    Program::Services.timetable = m_service->base();
    Program::Services.fare = m_service->base() + QStringLiteral("fare/");
    Program::Services.banner = QStringLiteral("about:blank");
    setMessageHandler([this](const QString& text) { m_messages << text; });
}

void DaysTest::init() {
    m_messages.clear();
    m_form = std::make_unique<Form1>(m_folder.path());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[2]")),
                      Qt::LeftButton);
}

void DaysTest::cleanupTestCase() {
    setMessageHandler({});
    m_service.reset();
}

QByteArray DaysTest::stationList(const InProcessService& service) {
    httplib::Client client("127.0.0.1", QUrl(service.base()).port());
    const auto res = client.Get("/stations.txt");
    return res ? QByteArray::fromStdString(res->body) : QByteArray();
}

QStringList DaysTest::stationQuery(const QString& station) {
    m_form->findChild<QLineEdit*>(QStringLiteral("Text1[0]"))->setText(station);
    QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("SZCommand2")), Qt::LeftButton);
    QStringList trains;
    const QTreeWidget* list = m_form->listView(TrainList::ListView3);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        trains << list->topLevelItem(i)->text(1);
    return trains;
}

void DaysTest::pickedDayGoesWithTheListAndItsDetail() {
    m_form->useStationList(stationList(*m_service));
    DateControl* date = m_form->dateControl();
    // Only the feed's days are offered.
    QCOMPARE(date->edit()->minimumDate(), QDate(2026, 12, 1));
    QCOMPARE(date->edit()->maximumDate(), QDate(2026, 12, 31));
    date->setDay(QDate(2026, 12, 11));
    QTest::mouseClick(date->nextButton(), Qt::LeftButton); // Saturday
    QCOMPARE(date->day(), QDate(2026, 12, 12));
    QCOMPARE(stationQuery(QStringLiteral("北京")), (QStringList{u"T4"_s, u"D2"_s, u"K3"_s}));
    QVERIFY(m_form->panelText(3).contains(QStringLiteral("2026-12-12")));

    QTest::mouseClick(date->previousButton(), Qt::LeftButton); // Friday: G1 instead of K3
    QCOMPARE(stationQuery(QStringLiteral("北京")), (QStringList{u"T4"_s, u"G1"_s, u"D2"_s}));
    QTest::mouseClick(date->nextButton(), Qt::LeftButton);
    QCOMPARE(stationQuery(QStringLiteral("北京")), (QStringList{u"T4"_s, u"D2"_s, u"K3"_s}));

    // Another day chosen after the query: the row's detail is still of the list's day.
    date->setDay(QDate(2026, 12, 7));
    QTreeWidget* list = m_form->listView(TrainList::ListView3);
    list->setCurrentItem(list->topLevelItem(2));
    m_form->ListView3_DblClick();
    QTRY_VERIFY(m_form->detailWindow());
    QTRY_VERIFY(webViewAddress(m_form->detailWindow()->browser())
                    .toString()
                    .endsWith(QStringLiteral("/d/20261212/show_train.asp?cc=K3")));
    QVERIFY(m_messages.isEmpty());
}

void DaysTest::reasonOfTheServiceShows() {
    // A list that claims more days than the feed has: the service's own words reach the user.
    QByteArray list = stationList(*m_service);
    list.replace("dates 20261201", "dates 20261101");
    m_form->useStationList(list);
    m_form->dateControl()->setDay(QDate(2026, 11, 15));
    QVERIFY(stationQuery(QStringLiteral("北京")).isEmpty());
    QVERIFY2(m_form->panelText(3).contains(QStringLiteral("2026-12-01 至 2026-12-31")),
             qPrintable(m_form->panelText(3)));
}

void DaysTest::serviceWithoutDaysAnswersForItsOwn() {
    QString error;
    const std::optional<Timetable> sample = Timetable::loadBuiltIn(&error);
    QVERIFY2(sample, qPrintable(error));
    InProcessService older(*sample);
    const QString configured = Program::Services.timetable;
    Program::Services.timetable = older.base();
    m_form->useStationList(stationList(older));
    m_form->dateControl()->setDay(QDate::currentDate());
    QTest::mouseClick(m_form->dateControl()->nextButton(), Qt::LeftButton);
    const QStringList trains = stationQuery(QStringLiteral("西安"));
    Program::Services.timetable = configured;
    QVERIFY(!trains.isEmpty());
    QCOMPARE(m_form->panelText(3), kNoDayQueries.toString());
}

QUILLON_UI_TEST_MAIN(DaysTest)
#include "tst_days.moc"
