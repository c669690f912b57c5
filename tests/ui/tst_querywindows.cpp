// The windows a result row leads to: the detail window, the transfer window and the fare
// window, driven as a user would through the main window, against the bundled service.
#include "inprocessservice.h"
#include "textfit.h"
#include "uitestmain.h"

#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "form4.h"
#include "form5.h"
#include "form6.h"
#include "messages.h"
#include "program.h"
#include "skinbutton.h"
#include "sourcewindow.h"
#include "twips.h"
#include "webviews.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using namespace Qt::StringLiterals;

class QueryWindowsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup() { m_form.reset(); }
    void cleanupTestCase();

    void doubleClickOpensOneDetailWindow();
    void closedDetailWindowComesBackEmpty();
    void noSelectedRowDoesNothing();
    void transferWindowRefillsListBehindIt();
    void transferWindowTakesTheCityOfTheArrowKeys_data();
    void transferWindowTakesTheCityOfTheArrowKeys();
    void detailWindowOpensWholeOnTheScreen();
    void fareWindowShowsLabelsAndStops();
    void unknownFareShowsMessageOnly();
    void windowsStackPlaceAndShowTheirControls_data();
    void windowsStackPlaceAndShowTheirControls();

private:
    // Runs `act` on the modal window that the next call opens, once it is up.
    void whenModal(std::function<void(QWidget*)> act);
    void query(int tab, const QString& a, const QString& b = {});
    void selectRow(TrainList list, int row);

    QTemporaryDir m_folder;
    std::optional<Timetable> m_data;
    std::unique_ptr<InProcessService> m_service;
    std::unique_ptr<Form1> m_form;
    QStringList m_messages;
};

void QueryWindowsTest::initTestCase() {
    QString error;
    m_data = Timetable::loadBuiltIn(&error);
    QVERIFY2(m_data, qPrintable(error));
    m_service = std::make_unique<InProcessService>(*m_data);
    Program::Services.timetable = m_service->base();
    Program::Services.fare = m_service->base() + QStringLiteral("fare/");
    Program::Services.banner = QStringLiteral("about:blank");
    setMessageHandler([this](const QString& text) { m_messages << text; });
}

void QueryWindowsTest::init() {
    m_messages.clear();
    m_form = std::make_unique<Form1>(m_folder.path());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void QueryWindowsTest::cleanupTestCase() {
    setMessageHandler({});
    m_service.reset();
}

void QueryWindowsTest::whenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer(this);
    poll->setInterval(20);
    connect(poll, &QTimer::timeout, this, [poll, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start();
}

void QueryWindowsTest::query(int tab, const QString& a, const QString& b) {
    QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[%1]").arg(tab)),
                      Qt::LeftButton);
    if (tab == 0) {
        m_form->findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(a);
        m_form->SZCommand1_Click();
        return;
    }
    m_form->findChild<QLineEdit*>(QStringLiteral("Text1[0]"))->setText(a);
    m_form->findChild<QLineEdit*>(QStringLiteral("Text1[1]"))->setText(b);
    m_form->SZCommand2_Click();
}

void QueryWindowsTest::selectRow(TrainList list, int row) {
    QTreeWidget* view = m_form->listView(list);
    QVERIFY(view->topLevelItemCount() > row);
    view->setCurrentItem(view->topLevelItem(row));
}

void QueryWindowsTest::doubleClickOpensOneDetailWindow() {
    query(2, QStringLiteral("西安"));
    selectRow(TrainList::ListView3, 0);
    QTreeWidget* list = m_form->listView(TrainList::ListView3);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualItemRect(list->topLevelItem(0)).center());
    QTRY_VERIFY(m_form->detailWindow());
    Form2* detail = m_form->detailWindow();
    const QString first = m_form->listView(TrainList::ListView3)->topLevelItem(0)->text(1);
    QCOMPARE(detail->windowTitle(), first);
    // A real browser, not the label that stands in when the web module cannot be loaded.
    QCOMPARE(detail->browser()->metaObject()->className(), "QWebEngineView");
    QTRY_VERIFY(webViewAddress(detail->browser())
                    .toString()
                    .endsWith(QStringLiteral("show_train.asp?cc=") + first));

    selectRow(TrainList::ListView3, 1);
    m_form->ListView3_DblClick();
    const QString second = m_form->listView(TrainList::ListView3)->topLevelItem(1)->text(1);
    QCOMPARE(m_form->detailWindow(), detail); // the same window, renavigated
    QCOMPARE(detail->windowTitle(), second);
    QVERIFY(webViewAddress(detail->browser()).toString().endsWith(QStringLiteral("cc=") + second));
    QVERIFY(detail->isVisible());
}

void QueryWindowsTest::closedDetailWindowComesBackEmpty() {
    query(0, QStringLiteral("K7"));
    selectRow(TrainList::ListView1, 0);
    m_form->ListView1_DblClick();
    QPointer<Form2> first = m_form->detailWindow();
    QVERIFY(first);
    QTest::mouseClick(first->findChild<SkinButton*>(QStringLiteral("RightCommand1")),
                      Qt::LeftButton);
    QTRY_VERIFY(!first);

    // A link the service does not know: the message, and no window.
    m_form->Show2Search(QStringLiteral("train.asp?cc=NOPE"), QStringLiteral("NOPE"), {});
    QCOMPARE(m_messages, QStringList{u"参数丢失。"_s});
    QVERIFY(!m_form->detailWindow());

    m_form->ListView1_DblClick();
    QVERIFY(m_form->detailWindow());
    QCOMPARE(m_form->detailWindow()->windowTitle(), QStringLiteral("K7"));
}

void QueryWindowsTest::noSelectedRowDoesNothing() {
    query(0, QStringLiteral("K7"));
    m_form->listView(TrainList::ListView1)->clearSelection();
    m_form->ListView1_DblClick();
    QVERIFY(!m_form->detailWindow());
    QVERIFY(m_messages.isEmpty());
}

void QueryWindowsTest::transferWindowRefillsListBehindIt() {
    const QStringList cities =
        m_data->transferCities(QStringLiteral("拉萨"), QStringLiteral("上海虹桥"));
    QVERIFY(!cities.isEmpty());
    QString caption;
    int rowsBehind = -1;
    int rowsAfterClickBeside = -1;
    whenModal([&](QWidget* modal) {
        caption = modal->windowTitle();
        auto* list = modal->findChild<QListWidget*>(QStringLiteral("ListView1"));
        QListWidgetItem* item = list->item(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
        QTreeWidget* behind = m_form->listView(TrainList::ListView2);
        QTRY_VERIFY(behind->topLevelItemCount() > 0);
        rowsBehind = behind->topLevelItemCount();
        // A click beside the cities queries the selected one again.
        behind->clear();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->viewport()->rect().bottomRight() - QPoint(4, 4));
        QVERIFY(item->isSelected());
        QTRY_COMPARE(behind->topLevelItemCount(), rowsBehind);
        rowsAfterClickBeside = behind->topLevelItemCount();
        QTest::mouseClick(modal->findChild<SkinButton*>(QStringLiteral("RightCommand1")),
                          Qt::LeftButton);
    });
    query(1, QStringLiteral("拉萨"), QStringLiteral("上海虹桥"));
    QCOMPARE(caption, QStringLiteral("共找到%1个中转站。").arg(cities.size()));
    QCOMPARE(rowsBehind, int(m_data->legTrains(QStringLiteral("拉萨"), cities.first()).size()));
    QCOMPARE(rowsAfterClickBeside, rowsBehind);
    QCOMPARE(m_form->panelText(2), QStringLiteral("乘车方案：%1").arg(cities.size()));
    QCOMPARE(m_form->panelText(1), QStringLiteral("共查询到：%1").arg(rowsBehind));
}

void QueryWindowsTest::transferWindowTakesTheCityOfTheArrowKeys_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void QueryWindowsTest::transferWindowTakesTheCityOfTheArrowKeys() {
    QFETCH(int, key);
    const QStringList cities =
        m_data->transferCities(QStringLiteral("拉萨"), QStringLiteral("上海虹桥"));
    QVERIFY(!cities.isEmpty());
    int rowsBehind = -1;
    whenModal([&](QWidget* modal) {
        auto* list = modal->findChild<QListWidget*>(QStringLiteral("ListView1"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_End);
        QTest::keyClick(list, Qt::Key_Left);
        QTest::keyClick(list, Qt::Key_Right); // the last city
        QTest::keyClick(list, Qt::Key(key));
        QTreeWidget* behind = m_form->listView(TrainList::ListView2);
        QTRY_VERIFY(behind->topLevelItemCount() > 0);
        rowsBehind = behind->topLevelItemCount();
        modal->close();
    });
    query(1, QStringLiteral("拉萨"), QStringLiteral("上海虹桥"));
    QCOMPARE(rowsBehind, int(m_data->legTrains(QStringLiteral("拉萨"), cities.last()).size()));
}

void QueryWindowsTest::detailWindowOpensWholeOnTheScreen() {
    // The main window in the screen's bottom right corner, where a window placed by its owner
    // would hang off the screen.
    const QRect screen = m_form->screen()->availableGeometry();
    m_form->move(screen.bottomRight() - QPoint(m_form->width() / 2, m_form->height() / 2));
    query(0, QStringLiteral("K7"));
    selectRow(TrainList::ListView1, 0);
    m_form->ListView1_DblClick();
    Form2* detail = m_form->detailWindow();
    QVERIFY(detail && QTest::qWaitForWindowExposed(detail));
    QVERIFY(screen.contains(detail->frameGeometry()));
}

void QueryWindowsTest::fareWindowShowsLabelsAndStops() {
    query(0, QStringLiteral("K7"));
    selectRow(TrainList::ListView1, 0);
    QString title, label0;
    QStringList columnsCut;
    int stops = -1;
    whenModal([&](QWidget* modal) {
        title = modal->windowTitle();
        label0 = modal->findChild<QLabel*>(QStringLiteral("Label1[0]"))->text();
        auto* list = modal->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
        stops = list->topLevelItemCount();
        // Every cell and header reads whole.
        for (int c = 0; c < list->columnCount(); ++c) {
            int widest = list->header()->sectionSizeHint(c);
            for (int r = 0; r < stops; ++r)
                widest = std::max(
                    widest, list->fontMetrics().horizontalAdvance(list->topLevelItem(r)->text(c)));
            if (list->columnWidth(c) < widest)
                columnsCut << list->headerItem()->text(c);
        }
        modal->close();
    });
    m_form->SearchPJ_Click();
    QCOMPARE(title, QStringLiteral("票价查询"));
    QCOMPARE(label0, QStringLiteral("K7"));
    const auto train = std::find_if(m_data->trains().begin(), m_data->trains().end(),
                                    [](const Train& t) { return t.number == u"K7"; });
    QCOMPARE(stops, int(train->stops.size()));
    QCOMPARE(columnsCut, QStringList());
    QVERIFY(m_messages.isEmpty());
}

void QueryWindowsTest::unknownFareShowsMessageOnly() {
    bool windowShown = false;
    whenModal([&](QWidget* modal) {
        windowShown = true;
        modal->close();
    });
    m_form->SearchPJ_Click(); // no row selected: the number is empty
    QCOMPARE(m_messages, QStringList{u"信息目前暂不存在。"_s});
    QVERIFY(!windowShown);
}

using Layout = QList<QPair<QString, QRect>>; // front to back; a null size is not checked

void QueryWindowsTest::windowsStackPlaceAndShowTheirControls_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QStringList>("tabOrder"); // of the named controls; empty: not checked
    auto at = [](const char* name, int l, int t, int w = 0, int h = 0) {
        return QPair<QString, QRect>(QString::fromLatin1(name), QRect(l, t, w, h));
    };
    QTest::newRow("Form2") << 2
                           << Layout{at("WebBrowser1", 0, 360, 7455, 5055),
                                     at("RightCommand1", 6120, 5520, 1200, 600),
                                     at("LeftCommand1", 4800, 5520, 1200, 600),
                                     at("Image1", 0, 0, 7455, 405)}
                           << QStringList();
    QTest::newRow("Form3") << 3
                           << Layout{at("RightCommand1", 7320, 5160, 1200, 600),
                                     at("LeftCommand1", 6000, 5160, 1200, 600),
                                     at("Label1[0]", 120, 5160),
                                     at("ListView1", 120, 600, 8535, 4455),
                                     at("Label1[1]", 1560, 200, 5040, 240)}
                           << QStringList{u"ListView1"_s, u"LeftCommand1"_s, u"RightCommand1"_s};
    QTest::newRow("Form4") << 4
                           << Layout{at("Label1[3]", 240, 2520), at("Label1[2]", 240, 2160),
                                     at("Label2", 240, 600),     at("Label1[1]", 840, 240),
                                     at("Label1[0]", 240, 240),  at("Image1", 0, 0, 4635, 3045)}
                           << QStringList();
    // The header values lie over the picture that captions them.
    QTest::newRow("Form6") << 6
                           << Layout{at("ListView1", 120, 1680, 11655, 6255),
                                     at("Label1[15]", 11040, 1320), at("Label1[0]", 2520, 200),
                                     at("Image1", 120, 120, 11700, 1440)}
                           << QStringList();
    // The prompt's button comes first: Space on it is the one way to update by keyboard.
    QTest::newRow("Form5") << 5
                           << Layout{at("Label1", 120, 120), at("Text1", 120, 360, 4335, 2055),
                                     at("Command1", 1680, 2520, 1215, 495)}
                           << QStringList{u"Command1"_s, u"Text1"_s};
    // Read top to bottom, the choices first.
    QTest::newRow("SourceWindow") << 7
                                  << Layout{at("Note", 165, 1815),
                                            at("Buttons", 165, 2130, 6090, 360),
                                            at("Browse", 5055, 975, 1200, 345),
                                            at("FeedPath", 165, 975, 4800, 330),
                                            at("LiveSource", 165, 1410),
                                            at("FeedSource", 165, 570),
                                            at("SampleSource", 165, 165)}
                                  << QStringList{u"SampleSource"_s, u"FeedSource"_s,
                                                 u"LiveSource"_s,   u"FeedPath"_s,
                                                 u"Browse"_s,       u"Buttons"_s};
}

void QueryWindowsTest::windowsStackPlaceAndShowTheirControls() {
    QFETCH(int, window);
    QFETCH(Layout, layout);
    QFETCH(QStringList, tabOrder);
    const QList<TransferEntry> cities{{QStringLiteral("郑州"), QStringLiteral("a")}};
    const FareTable fares{{QStringLiteral("K7")}, {}};
    std::unique_ptr<QWidget> w;
    switch (window) {
    case 2:
        w = std::make_unique<Form2>(m_form.get());
        break;
    case 3:
        w = std::make_unique<Form3>(cities, QStringLiteral("共找到1个中转站。"), m_form.get());
        break;
    case 4:
        w = std::make_unique<Form4>(m_form.get());
        break;
    case 5:
        w = std::make_unique<Form5>(m_form.get(), std::function<void()>());
        break;
    case 7:
        w = std::make_unique<SourceWindow>(SourceChoice{}, m_form.get());
        break;
    default:
        w = std::make_unique<Form6>(fares, m_form.get());
    }
    int above = -1;
    for (const auto& [name, twipsRect] : layout) {
        auto* control = w->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(control->pos(), QPoint(px(twipsRect.left()), px(twipsRect.top())));
        if (twipsRect.width() > 0)
            QCOMPARE(control->size(), QSize(px(twipsRect.width()), px(twipsRect.height())));
        const int stack = int(w->children().indexOf(control));
        if (above >= 0)
            QVERIFY2(stack < above, qPrintable(name + QStringLiteral(" lies too far forward")));
        above = stack;
    }
    for (const QLabel* label : w->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (!label->text().isEmpty())
            QCOMPARE(labelTextCut(label), QString());
    }
    if (tabOrder.isEmpty())
        return;
    QStringList tabs;
    for (QWidget* at = w->nextInFocusChain(); at != w.get(); at = at->nextInFocusChain()) {
        if (tabOrder.contains(at->objectName()) && !tabs.contains(at->objectName()))
            tabs << at->objectName();
    }
    QCOMPARE(tabs, tabOrder);
}

QUILLON_UI_TEST_MAIN(QueryWindowsTest)
#include "tst_querywindows.moc"
