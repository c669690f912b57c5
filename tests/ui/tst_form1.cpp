// The main window as a user drives it: keypad, tabs, resize, queries against the bundled
// service, the busy guard, the pop-up menu, closing and the about window.
#include "inprocessservice.h"
#include "uitestmain.h"

#include "net/fetchpolicy.h"
#include "form1.h"
#include "form4.h"
#include "form5.h"
#include "messages.h"
#include "program.h"
#include "skinbutton.h"
#include "twips.h"
#include "webviews.h"

#include "releasedport.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMap>
#include <QLineEdit>
#include <QMenu>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <httplib.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>

using namespace Qt::StringLiterals;

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
    void tabsShowTheirOwnPictures_data();
    void tabsShowTheirOwnPictures();
    void firstShowIsLaidOutAndCentred();
    void firstLayoutIsTheLayoutOfItsSize();
    void bannerBrowserShowsBannerPage();
    void loadSetsCaptionAndStartsTimer2();
    void resizeKeepsMinimumAndListsTogether();
    void trainQueryFillsListAndStatus();
    void queriesShowEngineMessages_data();
    void queriesShowEngineMessages();
    void stationQueriesFillTheirLists();
    void fetchFailureIsSaidInTheStatusPanel();
    void actionsWhileLoadingAreRefused_data();
    void actionsWhileLoadingAreRefused();
    void rightReleasePopsUpMenu();
    void closingOpensPortalButTabFourDoesNot();
    void aboutLabelsOpenPortal();
    void aboutAndPromptAreCentredOnScreen_data();
    void aboutAndPromptAreCentredOnScreen();

private:
    SkinButton* button(const QString& name) { return m_form->findChild<SkinButton*>(name); }
    QLineEdit* box(const QString& name) { return m_form->findChild<QLineEdit*>(name); }
    // Names repeat between containers: look in the one meant.
    static bool centredOnScreen(const QWidget* window) {
        const QPoint off =
            window->frameGeometry().center() - window->screen()->availableGeometry().center();
        return off.manhattanLength() <= 2;
    }
    static QWidget* in(QWidget* container, const char* name) {
        return container->findChild<QWidget*>(QString::fromLatin1(name),
                                              Qt::FindDirectChildrenOnly);
    }

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
    QTest::newRow("letter then digits") << QStringList{u"BZCommand1[5]"_s, u"NZCommand1[1]"_s,
                                                       u"NZCommand1[2]"_s, u"NZCommand1[3]"_s}
                                        << "K123";
    QTest::newRow("a letter replaces, a digit appends")
        << QStringList{u"BZCommand1[5]"_s, u"NZCommand1[1]"_s, u"BZCommand1[4]"_s,
                       u"NZCommand1[4]"_s}
        << u"T4"_s;
    QTest::newRow("backspace") << QStringList{u"BZCommand1[0]"_s, u"NZCommand1[9]"_s,
                                              u"LeftCommand1"_s}
                               << "G";
    QTest::newRow("backspace on empty")
        << QStringList{u"LeftCommand1"_s, u"LeftCommand1"_s} << u""_s;
    QTest::newRow("clear") << QStringList{u"BZCommand1[2]"_s, u"NZCommand1[0]"_s,
                                          u"RightCommand1"_s}
                           << u""_s;
    QTest::newRow("clear on empty") << QStringList{u"RightCommand1"_s} << u""_s;
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
    QVERIFY(in(picture2, "Image4")->isVisible());

    QTest::mouseClick(button(QStringLiteral("LZCommand1[1]")), Qt::LeftButton);
    QVERIFY(arrival->isVisible());
    QCOMPARE(arrival->text(), QStringLiteral("郑州"));
    QVERIFY(m_form->listView(TrainList::ListView2)->isVisible());
    QVERIFY(!m_form->listView(TrainList::ListView3)->isVisible());

    QTest::mouseClick(button(QStringLiteral("LZCommand1[0]")), Qt::LeftButton);
    QVERIFY(!picture2->isVisible());
    QVERIFY(button(QStringLiteral("NZCommand1[9]"))->isVisible());
}

void Form1Test::tabsShowTheirOwnPictures_data() {
    QTest::addColumn<QList<int>>("tabs");
    QTest::addColumn<QList<bool>>("pictures"); // Picture2's Image1 to Image4
    const QList<bool> station{true, false, true, true}, between{true, true, true, false};
    QTest::newRow("station") << QList<int>{2} << station;
    QTest::newRow("station to station") << QList<int>{1} << between;
    QTest::newRow("station, then station to station") << QList<int>{2, 1} << between;
    QTest::newRow("station to station, train, station") << QList<int>{1, 0, 2} << station;
    QTest::newRow("station, train number") << QList<int>{2, 0} << QList<bool>{};
}

void Form1Test::tabsShowTheirOwnPictures() {
    QFETCH(QList<int>, tabs);
    QFETCH(QList<bool>, pictures);
    QWidget* picture2 = in(m_form.get(), "Picture2");
    QWidget* skin = in(m_form.get(), "Main1");
    for (int tab : tabs)
        QTest::mouseClick(button(QStringLiteral("LZCommand1[%1]").arg(tab)), Qt::LeftButton);
    QCOMPARE(picture2->isVisible(), !pictures.isEmpty());
    for (int i = 0; i < pictures.size(); ++i) {
        const QByteArray name = "Image" + QByteArray::number(i + 1);
        QCOMPARE(in(picture2, name.constData())->isVisible(), pictures[i]);
    }
    QCOMPARE(in(picture2, "Image3")->size(), picture2->size());
    if (!pictures.isEmpty())
        QCOMPARE(in(picture2, "Text1[1]")->isVisibleTo(picture2), pictures[1]);
    for (QWidget* piece : skin->findChildren<QWidget*>())
        QVERIFY2(piece->isVisible(), qPrintable(piece->objectName()));
}

// The banner's browser comes after the first paint, from the web module: once there it must be
// a real browser on the banner page, inside the banner control.
// Every control's place, and the status bar's panels, by name.
static QMap<QString, QRect> layoutOf(const QWidget* form) {
    QMap<QString, QRect> places;
    for (const QWidget* w : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        places.insert(w->objectName(), w->geometry());
    for (const QLabel* panel : form->findChild<QWidget*>(QStringLiteral("StatusBar1"))
                                   ->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        places.insert(panel->objectName(), panel->geometry());
    return places;
}

// Frames a shown window as a reparenting window manager does: the window goes into a parent
// window with a title band and borders and stays where it stands on the screen, told so by a
// synthetic configure notice, with no move or resize of its own. Later moves and resizes the
// window asks for are carried out on the frame, as a manager's are.
class ManagerFrame {
public:
    ManagerFrame(const QWidget* window, QMargins margins)
        : m_margins(margins) {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        m_window = xcb_window_t(window->winId());
        m_frame = xcb_generate_id(m_connection);
        const quint32 redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_frame, m_root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &redirect);
        place(window->geometry());
        xcb_map_window(m_connection, m_frame);
        xcb_reparent_window(m_connection, m_window, m_frame, qint16(margins.left()),
                            qint16(margins.top()));
        tell(window->geometry());
        sync();
        m_requests =
            new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read);
        QObject::connect(m_requests, &QSocketNotifier::activated, m_requests, [this] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                if ((event->response_type & 0x7f) == XCB_CONFIGURE_REQUEST)
                    configure(*reinterpret_cast<xcb_configure_request_event_t*>(event));
                std::free(event);
            }
        });
    }
    ~ManagerFrame() {
        delete m_requests;
        if (m_frame) { // the window goes back to the root before its frame goes
            xcb_reparent_window(m_connection, m_window, m_root, 0, 0);
            xcb_destroy_window(m_connection, m_frame);
            sync();
        }
        xcb_disconnect(m_connection);
    }
    bool framed() const { return m_frame != 0; }

private:
    void configure(const xcb_configure_request_event_t& request) {
        if (request.window != m_window)
            return;
        QRect inner = m_inner;
        if (request.value_mask & XCB_CONFIG_WINDOW_X)
            inner.moveLeft(request.x);
        if (request.value_mask & XCB_CONFIG_WINDOW_Y)
            inner.moveTop(request.y);
        if (request.value_mask & XCB_CONFIG_WINDOW_WIDTH)
            inner.setWidth(request.width);
        if (request.value_mask & XCB_CONFIG_WINDOW_HEIGHT)
            inner.setHeight(request.height);
        place(inner);
        const quint32 size[] = {quint32(inner.width()), quint32(inner.height())};
        xcb_configure_window(m_connection, m_window,
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        tell(inner);
        xcb_flush(m_connection);
    }
    void place(const QRect& inner) {
        m_inner = inner;
        const QRect outer = inner.marginsAdded(m_margins);
        const quint32 values[] = {quint32(outer.x()), quint32(outer.y()), quint32(outer.width()),
                                  quint32(outer.height())};
        xcb_configure_window(m_connection, m_frame,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             values);
    }
    void tell(const QRect& inner) {
        xcb_configure_notify_event_t notice{};
        notice.response_type = XCB_CONFIGURE_NOTIFY;
        notice.event = notice.window = m_window;
        notice.x = qint16(inner.x());
        notice.y = qint16(inner.y());
        notice.width = quint16(inner.width());
        notice.height = quint16(inner.height());
        xcb_send_event(m_connection, false, m_window, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&notice));
    }
    void sync() {
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    QMargins m_margins;
    QRect m_inner; // the window's place on the screen
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0, m_window = 0, m_frame = 0;
    QSocketNotifier* m_requests = nullptr;
};

// Whether a widget has painted since this was put on it.
class PaintSeen : public QObject {
public:
    explicit PaintSeen(QWidget* widget) { widget->installEventFilter(this); }
    bool seen = false;
    bool eventFilter(QObject*, QEvent* event) override {
        seen = seen || event->type() == QEvent::Paint;
        return false;
    }
};

void Form1Test::firstLayoutIsTheLayoutOfItsSize() {
    // Straight after show(), once the window manager has put its frame around the window, the
    // layout is the one of the outer size, and the one the window gets back after a move and a
    // resize (a maximise and restore).
    Form1 form(m_folder.path());
    PaintSeen painted(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(painted.seen); // a busy manager frames a window that has painted already
    const QMargins margins(2, 25, 2, 5);
    ManagerFrame frame(&form, margins);
    QVERIFY(frame.framed());
    QTest::qWait(300); // the window takes in its frame
    // The skin ends 500 twips above the status bar of the outer height: no grey band.
    const QWidget* skin = in(&form, "Main1");
    const QWidget* status = in(&form, "StatusBar1");
    const int outerHeight = twips(form.height() + margins.top() + margins.bottom());
    QCOMPARE(skin->height(), px(outerHeight - twips(status->height()) - 500));

    const QMap<QString, QRect> first = layoutOf(&form);
    const QRect place = form.geometry();
    const QRect elsewhere = place.translated(20, 20).adjusted(0, 0, 60, 40);
    form.setGeometry(elsewhere);
    QTRY_COMPARE(form.geometry(), elsewhere);
    form.setGeometry(place);
    QTRY_COMPARE(form.geometry(), place);
    QTest::qWait(100);
    const QMap<QString, QRect> again = layoutOf(&form);
    for (auto it = again.cbegin(); it != again.cend(); ++it)
        QVERIFY2(first.value(it.key()) == it.value(), qPrintable(it.key()));
    // The status bar is one row at the foot of the window.
    QCOMPARE(status->geometry().bottom(), form.height() - 1);
}

void Form1Test::bannerBrowserShowsBannerPage() {
    QWidget* banner = in(m_form.get(), "WebBrowser1");
    QVERIFY(banner);
    QWidget* browser = nullptr;
    QTRY_VERIFY((browser = in(banner, "WebBrowser1")));
    QCOMPARE(browser->metaObject()->className(), "QWebEngineView");
    QCOMPARE(webViewAddress(browser), QUrl(Program::Services.banner));
    QVERIFY(browser->isVisible());
}

void Form1Test::firstShowIsLaidOutAndCentred() {
    Form1 form(m_folder.path());
    form.show();
    // Laid out for the size it was shown at, before any resize by the user.
    const int W = twips(form.frameGeometry().width());
    QVERIFY(W >= 13635);
    QCOMPARE(form.listView(TrainList::ListView1)->width(), px(W - 3500));
    QCOMPARE(in(&form, "Main1")->width(), px(W - 100));
    QCOMPARE(in(&form, "StatusBar1")->geometry().bottom(), form.height() - 1);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(centredOnScreen(&form)); // a window manager's frame comes a moment later
}

void Form1Test::loadSetsCaptionAndStartsTimer2() {
    // A display name of the program would be appended to every caption on screen.
    Program::nameApplication();
    QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Quillon查询系统   正式版3.0"));
    auto* timer = m_form->findChild<QTimer*>(QStringLiteral("Timer2"), Qt::FindDirectChildrenOnly);
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 5000);
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
    QWidget* picture2 = in(m_form.get(), "Picture2");
    QCOMPARE(in(picture2, "Image3")->size(), picture2->size());
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

void Form1Test::fetchFailureIsSaidInTheStatusPanel() {
    const ServiceAddresses saved = Program::Services;
    Program::Services.timetable = QStringLiteral("http://127.0.0.1:%1/").arg(releasedPort());
    box(QStringLiteral("Text3"))->setText(QStringLiteral("K7"));
    QTest::mouseClick(button(QStringLiteral("SZCommand1")), Qt::LeftButton);
    Program::Services = saved;
    QVERIFY2(m_form->panelText(1).startsWith(QStringLiteral("无法连接查询服务")),
             qPrintable(m_form->panelText(1)));
}

void Form1Test::actionsWhileLoadingAreRefused_data() {
    QTest::addColumn<int>("action");
    QTest::newRow("second train query") << 0;
    QTest::newRow("detail") << 1;
    QTest::newRow("fare") << 2;
    QTest::newRow("transfer leg") << 3;
    QTest::newRow("update check") << 4; // postponed: the timer keeps running
}

void Form1Test::actionsWhileLoadingAreRefused() {
    QFETCH(int, action);
    httplib::Server slow;
    std::atomic<int> hits{0};
    slow.Get(R"(/.*)", [&](const httplib::Request& req, httplib::Response& res) {
        // The station list the window fetches once after its first paint is no page load.
        if (req.path == "/stations.txt")
            return;
        ++hits;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        res.set_content("<td width=75 class=bt><span class=blue1>K7</a>", "text/html");
    });
    const int port = slow.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { slow.listen_after_bind(); });
    const ServiceAddresses saved = Program::Services;
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    Program::Services.timetable = Program::Services.fare = base;
    Program::Services.manifest = base + QStringLiteral("update.txt");
    auto* timer = m_form->findChild<QTimer*>(QStringLiteral("Timer2"), Qt::FindDirectChildrenOnly);

    box(QStringLiteral("Text3"))->setText(QStringLiteral("K7"));
    bool cursorBusy = false;
    QString refusedText;
    QTimer::singleShot(100, m_form.get(), [&] {
        cursorBusy = QApplication::overrideCursor() != nullptr;
        switch (action) {
        case 0:
            box(QStringLiteral("Text3"))->setText(QStringLiteral("T8"));
            QTest::mouseClick(button(QStringLiteral("SZCommand1")), Qt::LeftButton);
            break;
        case 1:
            m_form->Show2Search(QStringLiteral("show_train.asp?cc=K7"), QStringLiteral("K7"), {});
            break;
        case 2:
            m_form->SearchPJ_Click();
            break;
        case 3:
            m_form->SearchZhongZhuan(QStringLiteral("show_findresult.asp?x=1"));
            break;
        case 4:
            m_form->Timer2_Timer();
            break;
        }
        refusedText = m_form->panelText(1);
    });
    QTest::mouseClick(button(QStringLiteral("SZCommand1")), Qt::LeftButton);

    Program::Services = saved;
    slow.stop();
    thread.join();
    QCOMPARE(hits.load(), 1);
    QVERIFY(cursorBusy);
    // A refused query says why; the postponed update check says nothing.
    QCOMPARE(refusedText == fetchtext::busy(), action != 4);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!m_form->detailWindow());
    QVERIFY(timer->isActive());
    QVERIFY(m_messages.isEmpty());
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

void Form1Test::aboutAndPromptAreCentredOnScreen_data() {
    QTest::addColumn<bool>("prompt");
    QTest::newRow("about") << false;
    QTest::newRow("update prompt") << true;
}

void Form1Test::aboutAndPromptAreCentredOnScreen() {
    QFETCH(bool, prompt);
    m_form->move(0, 0); // away from the centre, so centring over it would show
    std::unique_ptr<QDialog> window;
    if (prompt)
        window = std::make_unique<Form5>(m_form.get(), [] {});
    else
        window = std::make_unique<Form4>(m_form.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(centredOnScreen(window.get()));
}

QUILLON_UI_TEST_MAIN(Form1Test)
#include "tst_form1.moc"
