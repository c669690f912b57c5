// The main window as a user drives it: keypad, tabs, resize, queries against the bundled
// service, the busy guard, the pop-up menu, closing and the about window.
#include "inprocessservice.h"
#include "uitestmain.h"

#include "form1.h"
#include "form4.h"
#include "messages.h"
#include "program.h"
#include "skinbutton.h"
#include "twips.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <httplib.h>

#include <atomic>

// Catches what the client hands to the default browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

class Form1Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void keypadTypesTrainNumber_data();
    void keypadTypesTrainNumber();
    void caretGoesToEndAfterChange();
    void tabsSwitchPanels();
    void resizeKeepsMinimumAndListsTogether();
    void trainQueryFillsListAndStatus();
    void queriesShowEngineMessages_data();
    void queriesShowEngineMessages();
    void stationQueriesFillTheirLists();
    void secondQueryWhileLoadingIsRefused();
    void rightReleasePopsUpMenu();
    void closingOpensPortalButTabFourDoesNot();
    void aboutLabelsOpenPortal();

private:
    SkinButton* button(const QString& name) { return m_form->findChild<SkinButton*>(name); }
    QLineEdit* box(const QString& name) { return m_form->findChild<QLineEdit*>(name); }

    QTemporaryDir m_folder;
    std::optional<Timetable> m_data;
    std::unique_ptr<InProcessService> m_service;
    std::unique_ptr<Form1> m_form;
    QStringList m_messages;
    UrlRecorder m_urls;
    bool m_ended = false;
};

void Form1Test::initTestCase() {
    QString error;
    m_data = Timetable::loadBuiltIn(&error);
    QVERIFY2(m_data, qPrintable(error));
    m_service = std::make_unique<InProcessService>(*m_data);
    Program::Services.timetable = m_service->base();
    Program::Services.banner = m_service->base() + QStringLiteral("banner.html");
    Program::Services.portal = QStringLiteral("http://portal.invalid/");
    setMessageHandler([this](const QString& text) { m_messages << text; });
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
}

void Form1Test::init() {
    QFile ini(m_folder.filePath(QStringLiteral("system.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[system]\nVersion=3.0.7\n");
    ini.close();
    m_messages.clear();
    m_urls.opened.clear();
    m_ended = false;
    m_form = std::make_unique<Form1>(m_folder.path());
    m_form->endProgram = [this] { m_ended = true; };
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void Form1Test::cleanup() {
    m_form->hide(); // hiding is not closing: the portal stays shut
    m_form.reset();
}

void Form1Test::cleanupTestCase() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    setMessageHandler({});
    m_service.reset();
}

void Form1Test::keypadTypesTrainNumber_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("text");
    QTest::newRow("letter then digits")
        << QStringList{"BZCommand1[5]", "NZCommand1[1]", "NZCommand1[2]", "NZCommand1[3]"}
        << "K123";
    QTest::newRow("a letter replaces, a digit appends")
        << QStringList{"BZCommand1[5]", "NZCommand1[1]", "BZCommand1[4]", "NZCommand1[4]"} << "T4";
    QTest::newRow("backspace") << QStringList{"BZCommand1[0]", "NZCommand1[9]", "LeftCommand1"}
                               << "G";
    QTest::newRow("backspace on empty") << QStringList{"LeftCommand1", "LeftCommand1"} << "";
    QTest::newRow("clear") << QStringList{"BZCommand1[2]", "NZCommand1[0]", "RightCommand1"} << "";
    QTest::newRow("clear on empty") << QStringList{"RightCommand1"} << "";
}

void Form1Test::keypadTypesTrainNumber() {
    QFETCH(QStringList, keys);
    QFETCH(QString, text);
    for (const QString& key : keys)
        QTest::mouseClick(button(key), Qt::LeftButton);
    QCOMPARE(box(QStringLiteral("Text3"))->text(), text);
}

void Form1Test::caretGoesToEndAfterChange() {
    QLineEdit* text3 = box(QStringLiteral("Text3"));
    text3->setText(QStringLiteral("K13"));
    text3->setCursorPosition(2);
    QTest::keyClick(text3, Qt::Key_2);
    QCOMPARE(text3->text(), QStringLiteral("K123"));
    QCOMPARE(text3->cursorPosition(), 4);
}

void Form1Test::tabsSwitchPanels() {
    QWidget* picture2 = m_form->findChild<QWidget*>(QStringLiteral("Picture2"));
    QLineEdit* arrival = box(QStringLiteral("Text1[1]"));
    QVERIFY(m_form->listView(TrainList::ListView1)->isVisible());
    QVERIFY(!picture2->isVisible());

    arrival->setText(QStringLiteral("郑州"));
    QTest::mouseClick(button(QStringLiteral("LZCommand1[2]")), Qt::LeftButton);
    QVERIFY(picture2->isVisible() && m_form->listView(TrainList::ListView3)->isVisible());
    QVERIFY(!arrival->isVisible());
    QVERIFY(!m_form->listView(TrainList::ListView1)->isVisible());
    QVERIFY(!box(QStringLiteral("Text3"))->isVisible());
    QVERIFY(m_form->findChild<QWidget*>(QStringLiteral("Image4"))->isVisible());

    QTest::mouseClick(button(QStringLiteral("LZCommand1[1]")), Qt::LeftButton);
    QVERIFY(arrival->isVisible());
    QCOMPARE(arrival->text(), QStringLiteral("郑州"));
    QVERIFY(m_form->listView(TrainList::ListView2)->isVisible());
    QVERIFY(!m_form->listView(TrainList::ListView3)->isVisible());

    QTest::mouseClick(button(QStringLiteral("LZCommand1[0]")), Qt::LeftButton);
    QVERIFY(!picture2->isVisible());
    QVERIFY(button(QStringLiteral("NZCommand1[9]"))->isVisible());
}

void Form1Test::resizeKeepsMinimumAndListsTogether() {
    const QSize frame = m_form->frameGeometry().size() - m_form->size();
    m_form->resize(10000 / 15 - frame.width(), 600);
    QTRY_COMPARE(m_form->frameGeometry().width(), 13635 / 15);
    QTRY_COMPARE(m_form->listView(TrainList::ListView1)->width(), px(10135));
    for (const char* tab : {"LZCommand1[1]", "LZCommand1[2]"}) {
        QTest::mouseClick(button(QString::fromLatin1(tab)), Qt::LeftButton);
        QCOMPARE(m_form->listView(TrainList::ListView2)->geometry(),
                 m_form->listView(TrainList::ListView1)->geometry());
        QCOMPARE(m_form->listView(TrainList::ListView3)->geometry(),
                 m_form->listView(TrainList::ListView1)->geometry());
    }
    m_form->resize(1200, 800);
    QTRY_COMPARE(m_form->listView(TrainList::ListView1)->width(),
                 px(twips(m_form->frameGeometry().width()) - 3500));
}

void Form1Test::trainQueryFillsListAndStatus() {
    QCOMPARE(m_form->panelText(1), QStringLiteral("共查询到：0"));
    QCOMPARE(m_form->panelText(2), QStringLiteral("乘车方案：0"));
    box(QStringLiteral("Text3"))->setText(QStringLiteral("K7"));
    QTest::mouseClick(button(QStringLiteral("SZCommand1")), Qt::LeftButton);
    QTreeWidget* list = m_form->listView(TrainList::ListView1);
    QVERIFY(list->topLevelItemCount() >= 1);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("K7"));
    QCOMPARE(list->topLevelItem(0)->text(11), QStringLiteral("show_train.asp?cc=K7"));
    QCOMPARE(m_form->panelText(1), QStringLiteral("共查询到：%1").arg(list->topLevelItemCount()));
    QVERIFY(!m_form->RichBox.contains(u'"'));
    QVERIFY(m_messages.isEmpty());
}

void Form1Test::queriesShowEngineMessages_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("text3");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty train number") << 0 << ""
                                        << ""
                                        << ""
                                        << "请输入车次名称！车次名称不能为空。";
    QTest::newRow("unknown train") << 0 << "X9"
                                   << ""
                                   << ""
                                   << "不存在所查询的车次信息。";
    QTest::newRow("both boxes empty") << 1 << ""
                                      << ""
                                      << ""
                                      << "【发站】内容不能为空。";
    QTest::newRow("arrival unknown") << 1 << ""
                                     << "西安"
                                     << "火星"
                                     << "到站不存在。";
    QTest::newRow("station box empty") << 2 << ""
                                       << ""
                                       << "北京北"
                                       << "【站名】内容不能为空。";
}

void Form1Test::queriesShowEngineMessages() {
    QFETCH(int, tab);
    QFETCH(QString, text3);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    QTest::mouseClick(button(QStringLiteral("LZCommand1[%1]").arg(tab)), Qt::LeftButton);
    box(QStringLiteral("Text3"))->setText(text3);
    box(QStringLiteral("Text1[0]"))->setText(from);
    box(QStringLiteral("Text1[1]"))->setText(to);
    const QString status = m_form->panelText(1);
    QTest::mouseClick(
        button(tab == 0 ? QStringLiteral("SZCommand1") : QStringLiteral("SZCommand2")),
        Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{message});
    QCOMPARE(m_form->panelText(1), status);
}

void Form1Test::stationQueriesFillTheirLists() {
    QTest::mouseClick(button(QStringLiteral("LZCommand1[1]")), Qt::LeftButton);
    QTest::mouseClick(button(QStringLiteral("SZCommand2")), Qt::LeftButton); // 西安 -> 北京北
    const int between = m_form->listView(TrainList::ListView2)->topLevelItemCount();
    QCOMPARE(between,
             int(m_data->trainsBetween(QStringLiteral("西安"), QStringLiteral("北京北")).size()));

    QTest::mouseClick(button(QStringLiteral("LZCommand1[2]")), Qt::LeftButton);
    QTest::keyClick(box(QStringLiteral("Text1[0]")), Qt::Key_Return); // Enter runs the query too
    QTreeWidget* station = m_form->listView(TrainList::ListView3);
    QCOMPARE(station->topLevelItemCount(),
             int(m_data->trainsAtStation(QStringLiteral("西安")).size()));
    QCOMPARE(m_form->panelText(1),
             QStringLiteral("共查询到：%1").arg(station->topLevelItemCount()));
    // Each list keeps the result of the last query of its own kind.
    QCOMPARE(m_form->listView(TrainList::ListView2)->topLevelItemCount(), between);
}

void Form1Test::secondQueryWhileLoadingIsRefused() {
    httplib::Server slow;
    std::atomic<int> hits{0};
    slow.Get("/show_findresult.asp", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        res.set_content("<td width=75 class=bt><span class=blue1>K7</a>", "text/html");
    });
    const int port = slow.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { slow.listen_after_bind(); });
    const QString saved = Program::Services.timetable;
    Program::Services.timetable = QStringLiteral("http://127.0.0.1:%1/").arg(port);

    box(QStringLiteral("Text3"))->setText(QStringLiteral("K7"));
    bool cursorBusy = false;
    QTimer::singleShot(100, m_form.get(), [&] {
        cursorBusy = QApplication::overrideCursor() != nullptr;
        box(QStringLiteral("Text3"))->setText(QStringLiteral("T8"));
        QTest::mouseClick(button(QStringLiteral("SZCommand1")), Qt::LeftButton);
    });
    QTest::mouseClick(button(QStringLiteral("SZCommand1")), Qt::LeftButton);

    Program::Services.timetable = saved;
    slow.stop();
    thread.join();
    QCOMPARE(hits.load(), 1);
    QVERIFY(cursorBusy);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(m_form->listView(TrainList::ListView1)->topLevelItemCount(), 1);
    QCOMPARE(m_form->listView(TrainList::ListView1)->topLevelItem(0)->text(1),
             QStringLiteral("K7"));
}

void Form1Test::rightReleasePopsUpMenu() {
    QTreeWidget* list = m_form->listView(TrainList::ListView1);
    QCOMPARE(list->topLevelItemCount(), 0);
    QMenu* menu = m_form->findChild<QMenu*>(QStringLiteral("menu"));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(!menu->isVisible());
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->title(), QStringLiteral("系统"));
    QCOMPARE(menu->actions().value(0)->text(), QStringLiteral("查询票价"));
    menu->hide();
}

void Form1Test::closingOpensPortalButTabFourDoesNot() {
    QTest::mouseClick(button(QStringLiteral("LZCommand1[4]")), Qt::LeftButton);
    QVERIFY(m_ended);
    QVERIFY(m_urls.opened.isEmpty());
    m_form->close();
    QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(QStringLiteral("http://portal.invalid/"))});
}

void Form1Test::aboutLabelsOpenPortal() {
    Form4 about(m_form.get());
    QCOMPARE(about.windowTitle(), QStringLiteral("关于Quillon"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label1[1]"))->text(),
             QStringLiteral("3.0.7"));
    QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("Label2")), Qt::LeftButton);
    QVERIFY(m_urls.opened.isEmpty());
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("Label1[%1]").arg(i)),
                          Qt::LeftButton);
    QCOMPARE(m_urls.opened.size(), 4);
}

QUILLON_UI_TEST_MAIN(Form1Test)
#include "tst_form1.moc"
