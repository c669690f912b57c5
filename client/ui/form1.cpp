#include "form1.h"

#include "bannerbrowser.h"
#include "centre.h"
#include "controls.h"
#include "filterrow.h"
#include "datecontrol.h"
#include "form2.h"
#include "form3.h"
#include "form4.h"
#include "form6.h"
#include "mainskin.h"
#include "messages.h"
#include "module1.h"
#include "pagefetcher.h"
#include "portal.h"
#include "program.h"
#include "resultlists.h"
#include "skinbutton.h"
#include "transfer.h"
#include "twips.h"
#include "updatecheck.h"

#include "contract/pagecontract.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr bool kHidden = false;
constexpr const char* kStations = "Picture2";

// Front to back: a control higher in the table is drawn over a lower one.
constexpr UiLine kControls[] = {
    {"WebBrowser1", Ui::Banner, 360, 5880, 2295, 1695},
    {"Picture2", Ui::Panel, 2880, 3360, 9960, 1215, "", kHidden},
    {"Text1[1]", Ui::TextBox, 5400, 360, 2535, 495, "北京北", true, kStations},
    {"Text1[0]", Ui::TextBox, 1320, 360, 2535, 495, "西安", true, kStations},
    {"SZCommand2", Ui::SZButton, 8860, 220, 1020, 690, "查询", true, kStations},
    {"Image4", Ui::Picture, 0, 0, 1245, 1185, ":/labels/image4.svg", kHidden, kStations},
    {"Image2", Ui::Picture, 4080, 0, 1245, 1185, ":/labels/image2.svg", true, kStations},
    {"Image1", Ui::Picture, 0, 0, 1245, 1185, ":/labels/image1.svg", true, kStations},
    {"Image3", Ui::Stretched, 0, 0, 4620, 1020, ":/labels/image3.svg", true, kStations},
    {"ListView3", Ui::RowList, 3000, 4200, 4095, 2175, "", kHidden},
    {"RightCommand1", Ui::RightButton, 5520, 2280, 1200, 570, "清 空"},
    {"LeftCommand1", Ui::LeftButton, 4320, 2280, 1200, 570, "回 删"},
    {"ListView2", Ui::RowList, 3000, 3360, 4095, 2175, "", kHidden},
    {"ListView1", Ui::RowList, 3000, 3000, 4095, 2175},
    {"SZCommand1", Ui::SZButton, 11880, 1920, 1020, 690, "查询"},
    {"NZCommand1[0]", Ui::NZButton, 8760, 1680, 630, 600, "0"},
    {"NZCommand1[1]", Ui::NZButton, 9360, 1680, 630, 600, "1"},
    {"NZCommand1[2]", Ui::NZButton, 9960, 1680, 630, 600, "2"},
    {"NZCommand1[3]", Ui::NZButton, 10560, 1680, 630, 600, "3"},
    {"NZCommand1[4]", Ui::NZButton, 11160, 1680, 630, 600, "4"},
    {"NZCommand1[5]", Ui::NZButton, 8760, 2280, 630, 600, "5"},
    {"NZCommand1[6]", Ui::NZButton, 9360, 2280, 630, 600, "6"},
    {"NZCommand1[7]", Ui::NZButton, 9960, 2280, 630, 600, "7"},
    {"NZCommand1[8]", Ui::NZButton, 10560, 2280, 630, 600, "8"},
    {"NZCommand1[9]", Ui::NZButton, 11160, 2280, 630, 600, "9"},
    {"BZCommand1[0]", Ui::BZButton, 6840, 1680, 630, 600, "G"},
    {"BZCommand1[1]", Ui::BZButton, 7440, 1680, 630, 600, "C"},
    {"BZCommand1[2]", Ui::BZButton, 8040, 1680, 630, 600, "D"},
    {"BZCommand1[3]", Ui::BZButton, 6840, 2280, 630, 600, "Z"},
    {"BZCommand1[4]", Ui::BZButton, 7440, 2280, 630, 600, "T"},
    {"BZCommand1[5]", Ui::BZButton, 8040, 2280, 630, 600, "K"},
    {"Text3", Ui::TextBox, 4320, 1755, 2415, 495},
    {"Picture1", Ui::Picture, 3000, 1680, 1290, 1200, ":/labels/picture1.svg"},
    {"LZCommand1[0]", Ui::LZButton, 240, 1680, 2490, 810, "车次查询"},
    {"LZCommand1[1]", Ui::LZButton, 240, 2520, 2490, 810, "站站查询"},
    {"LZCommand1[2]", Ui::LZButton, 240, 3360, 2490, 810, "车站查询"},
    {"LZCommand1[3]", Ui::LZButton, 240, 4200, 2490, 810, "关于查询"},
    {"LZCommand1[4]", Ui::LZButton, 240, 5040, 2490, 810, "退出系统"},
    {"StatusBar1", Ui::StatusBar, 0, 7815, 13200, 375},
    {"Main1", Ui::Skin, 0, 0, 13215, 7815},
};

// The train-number panel, as Visible1 shows and hides it.
constexpr const char* kTrainPanel[] = {
    "Picture1",      "SZCommand1",    "Text3",         "LeftCommand1",  "RightCommand1",
    "BZCommand1[0]", "BZCommand1[1]", "BZCommand1[2]", "BZCommand1[3]", "BZCommand1[4]",
    "BZCommand1[5]", "NZCommand1[0]", "NZCommand1[1]", "NZCommand1[2]", "NZCommand1[3]",
    "NZCommand1[4]", "NZCommand1[5]", "NZCommand1[6]", "NZCommand1[7]", "NZCommand1[8]",
    "NZCommand1[9]",
};

constexpr int kDesignWidth = 13200, kDesignHeight = 8190;
constexpr int kMinOuterWidth = 13635, kMinOuterHeight = 8700;
constexpr int kStatusPanelWidths[] = {1440, 1440, 7200, 2790};
const QString kHint =
    QStringLiteral("双击查询结果，可以查看详细列车停靠站信息。鼠标右键查看火车票价格");

// "LZCommand1[3]" -> 3; -1 for a name without an index.
int indexOf(const QString& name) {
    const qsizetype open = name.indexOf(u'[');
    return open < 0 ? -1 : name.mid(open + 1, name.size() - open - 2).toInt();
}

// Sets one measure of a control in twips; a negative size is refused and the old one stays.
void setTwipsGeometry(QWidget* w, std::optional<int> left, std::optional<int> top,
                      std::optional<int> width, std::optional<int> height) {
    QRect r = w->geometry();
    if (left)
        r.moveLeft(px(*left));
    if (top)
        r.moveTop(px(*top));
    if (width && *width >= 0)
        r.setWidth(px(*width));
    if (height && *height >= 0)
        r.setHeight(px(*height));
    w->setGeometry(r);
}

} // namespace

Form1::Form1(const QString& programFolder, QWidget* parent)
    : QWidget(parent)
    , endProgram([] { QCoreApplication::exit(0); }) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillon查询系统   正式版") + contract::version.toString());
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    resize(px(kDesignWidth), px(kDesignHeight));
    buildControls();
    Form_Load(programFolder);
}

Form1::~Form1() = default;

void Form1::buildControls() {
    m_controls = buildWindow(this, kControls);
    for (const UiLine& line : kControls) {
        const QString name = QString::fromLatin1(line.name);
        const int index = indexOf(name);
        auto* b = control<SkinButton>(name);
        if (name.startsWith(u"LZCommand1"))
            connect(b, &SkinButton::Click, this, [this, index] { LZCommand1_Click(index); });
        else if (name.startsWith(u"BZCommand1"))
            connect(b, &SkinButton::Click, this, [this, index] { BZCommand1_Click(index); });
        else if (name.startsWith(u"NZCommand1"))
            connect(b, &SkinButton::Click, this, [this, index] { NZCommand1_Click(index); });
    }

    WebBrowser1 = control<webbrowser>("WebBrowser1");
    WebBrowser1->setAddress(QUrl(Program::Services.banner));
    Picture2 = control("Picture2");
    Text1[0] = control<QLineEdit>("Text1[0]");
    Text1[1] = control<QLineEdit>("Text1[1]");
    Text3 = control<QLineEdit>("Text3");
    SZCommand1 = control<SkinButton>("SZCommand1");
    SZCommand2 = control<SkinButton>("SZCommand2");
    m_lists = std::make_unique<ResultLists>(control<QTreeWidget>("ListView1"),
                                            control<QTreeWidget>("ListView2"),
                                            control<QTreeWidget>("ListView3"), &m_stations);
    StatusBar1 = control<QStatusBar>("StatusBar1");
    Main1 = control<Main>("Main1");
    Main1->setPortalBrand(Program::kPortalBrand);

    connect(SZCommand1, &SkinButton::Click, this, &Form1::SZCommand1_Click);
    connect(SZCommand2, &SkinButton::Click, this, &Form1::SZCommand2_Click);
    connect(control<SkinButton>("LeftCommand1"), &SkinButton::Click, this,
            &Form1::LeftCommand1_Click);
    connect(control<SkinButton>("RightCommand1"), &SkinButton::Click, this,
            &Form1::RightCommand1_Click);
    connect(Text3, &QLineEdit::textChanged, this, &Form1::Text3_Change);
    // Enter in a box runs its panel's query, as the mouse would.
    connect(Text3, &QLineEdit::returnPressed, this, &Form1::SZCommand1_Click);
    for (QLineEdit* box : Text1)
        connect(box, &QLineEdit::returnPressed, this, &Form1::SZCommand2_Click);

    for (QTreeWidget* view : m_lists->views())
        view->viewport()->installEventFilter(this);
    buildStatusBar();

    menu = new QMenu(QStringLiteral("系统"), this);
    menu->setObjectName(QStringLiteral("menu"));
    SearchPJ = menu->addAction(QStringLiteral("查询票价"));
    SearchPJ->setObjectName(QStringLiteral("SearchPJ"));
    connect(SearchPJ, &QAction::triggered, this, &Form1::SearchPJ_Click);
    buildListTools();
    buildBoxes();
    // Enter on the date asks for that day in the panel on view.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), m_date->edit(), nullptr, nullptr,
                                    Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this,
                [this] { trainPanelOnView() ? SZCommand1_Click() : SZCommand2_Click(); });
    }
    buildKeyboard();

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(5000);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    Timer2->start();
}

void Form1::buildKeyboard() {
    // Tabs, then the panel on view from its box to its query button, then the day, the filter
    // row and the lists: what the eye reads, left column first. Hidden and disabled controls
    // are passed over.
    QList<QWidget*> order;
    for (int i = 0; i < 5; ++i)
        order << control(QStringLiteral("LZCommand1[%1]").arg(i));
    order << Text3;
    for (int i = 0; i < 6; ++i)
        order << control(QStringLiteral("BZCommand1[%1]").arg(i));
    for (int i = 0; i < 10; ++i)
        order << control(QStringLiteral("NZCommand1[%1]").arg(i));
    order << control("LeftCommand1") << control("RightCommand1") << SZCommand1;
    order << Text1[0] << Text1[1] << SZCommand2;
    order << m_date->tabOrder();
    for (QWidget* w : m_filterRow->findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
    }
    for (QTreeWidget* view : m_lists->views())
        order << view;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    Text3->setFocus(); // typing a number works at once

    // Alt+1 to Alt+3 pick the query tabs and put the keyboard in the panel's first box.
    for (int i = 0; i < 3; ++i) {
        auto* tab = control<SkinButton>(QStringLiteral("LZCommand1[%1]").arg(i));
        const QKeySequence keys(Qt::ALT | Qt::Key(Qt::Key_1 + i));
        tab->setToolTip(
            QStringLiteral("%1 (%2)").arg(tab->Caption(), keys.toString(QKeySequence::NativeText)));
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, i] {
            LZCommand1_Click(i);
            (i == 0 ? Text3 : Text1[0])->setFocus(Qt::ShortcutFocusReason);
        });
    }
}

bool Form1::focusNextPrevChild(bool next) {
    QWidget* first = control("LZCommand1[0]");
    QWidget* last = listView(m_lists->onView());
    QWidget* at = QApplication::focusWidget();
    if (next && at == last) {
        first->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (!next && at == first) {
        last->setFocus(Qt::BacktabFocusReason);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void Form1::buildStatusBar() {
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFixedWidth(px(kStatusPanelWidths[i]));
        panel->setFrameShape(QFrame::StyledPanel);
        StatusBar1->addWidget(panel);
        m_panels[i] = panel;
    }
    m_panels[2]->setText(kHint);
    m_panels[2]->setToolTip(kHint);
    setCredit(Program::kCreditLine);
}

void Form1::setCredit(const QString& text) {
    m_panels[3]->setText(text);
    m_panels[3]->setToolTip(text);
}

QTreeWidget* Form1::listView(TrainList list) const {
    return m_lists->view(list);
}

bool Form1::trainPanelOnView() const {
    return m_lists->onView() == TrainList::ListView1;
}

QString Form1::usageHint() {
    return kHint;
}

QString Form1::panelText(int panel) const {
    return m_panels[panel - 1]->text();
}

void Form1::Form_Load(const QString& programFolder) {
    m_panels[0]->setText(rowCountStatus(0));
    m_panels[1]->setText(transferPlansStatus(0));
    const StartupValues startup = readStartupValues(programFolder);
    Program::IniPath = startup.iniPath;
    Program::CurVersion = startup.curVersion;
    Program::SelfUpdate = startup.selfUpdate;
}

void Form1::Visible1(const QString& mode) {
    const bool show = mode != u"False";
    for (const char* name : kTrainPanel)
        control(name)->setVisible(show);
    if (show)
        m_lists->show(TrainList::ListView1);
    else
        Picture2->hide();
}

void Form1::LZCommand1_Click(int index) {
    if (index <= 2) {
        Visible1(QStringLiteral("False"));
        // The filter row counts the list that comes on view.
        QTimer::singleShot(0, this, &Form1::refilter);
    }
    switch (index) {
    case 0:
        Visible1(QStringLiteral("True"));
        break;
    case 1:
    case 2: {
        const bool betweenStations = index == 1;
        Picture2->show();
        m_lists->show(betweenStations ? TrainList::ListView2 : TrainList::ListView3);
        control("Image4")->setVisible(!betweenStations);
        control("Image2")->setVisible(betweenStations);
        Text1[1]->setVisible(betweenStations);
        break;
    }
    case 3: {
        Form4 about(this);
        about.exec();
        break;
    }
    case 4:
        // Ends at once: no closing step, so the portal does not open.
        if (m_detail)
            m_detail->close();
        endProgram();
        break;
    }
}

void Form1::BZCommand1_Click(int index) {
    Text3->setText(control<SkinButton>(QStringLiteral("BZCommand1[%1]").arg(index))->Caption());
}

void Form1::NZCommand1_Click(int index) {
    Text3->setText(Text3->text() +
                   control<SkinButton>(QStringLiteral("NZCommand1[%1]").arg(index))->Caption());
}

void Form1::LeftCommand1_Click() {
    if (!Text3->text().isEmpty())
        Text3->setText(Text3->text().chopped(1));
}

void Form1::RightCommand1_Click() {
    Text3->clear();
}

void Form1::Text3_Change() {
    Text3->setCursorPosition(int(Text3->text().size()));
    Text3->setFocus();
}

std::optional<QueryReport> Form1::load(const std::function<QueryReport(PageFetcher&)>& query) {
    PageFetcher& fetcher = PageFetcher::shared();
    if (fetcher.busy()) {
        // A page load is in flight: refuse rather than run nested, and say so.
        m_panels[0]->setText(fetchtext::busy());
        return std::nullopt;
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QueryReport report = query(fetcher);
    QApplication::restoreOverrideCursor();
    // A failed fetch is said in the status panel, beside whatever the query shows for it.
    if (report.error)
        m_panels[0]->setText(*report.error);
    if (report.buffer)
        RichBox = *report.buffer;
    return report;
}

bool Form1::runPlanned(const QueryPlan& plan) {
    if (PageFetcher::shared().busy()) {
        m_panels[0]->setText(fetchtext::busy());
        return false;
    }
    if (!plan.message.isEmpty()) {
        showMessage(this, plan.message);
        return false;
    }
    const auto report = load([&](PageFetcher& f) { return runQuery(f, plan); });
    if (!report)
        return false;
    showReport(*report);
    if (m_stationListFailed && !report->error)
        fetchStationList(); // the service answers now
    return isWorthKeeping(*report);
}

void Form1::showReport(const QueryReport& report) {
    showDayStatus(report);
    if (report.message) {
        showMessage(this, *report.message);
        return;
    }
    if (report.transfers) {
        ZhongZhuan(*report.transfers, report.caption.value_or(QString()));
        return;
    }
    if (report.rows)
        fillList(report.list, {*report.rows, report.error ? report.error : report.status});
}

DayBases Form1::dayBases() const {
    return basesForDay(Program::Services.timetable, Program::Services.fare,
                       m_date ? m_date->day() : QDate(), QDate::currentDate(), m_serviceDays);
}

void Form1::showDayStatus(const QueryReport& report) {
    if (report.rows && report.kind != QueryKind::Fare)
        m_lists->setDay(report.list, m_asking);
    const QString text = dayStatus(m_asking, report.notice.value_or(QString()));
    m_panels[2]->setText(text);
    m_panels[2]->setToolTip(text);
}

void Form1::fillList(TrainList list, const TrainListResult& result) {
    m_lists->fill(list, result.rows);
    if (result.status)
        m_panels[0]->setText(*result.status);
    refilter();
}

void Form1::SZCommand1_Click() {
    m_asking = dayBases();
    if (runPlanned(planTrainQuery(m_asking.timetable, Text3->text())))
        remember(QueryKind::Train);
}

void Form1::SZCommand2_Click() {
    const bool between = m_lists->onView() == TrainList::ListView2;
    settleStationBoxes();
    m_asking = dayBases();
    if (runPlanned(
            planStationQuery(m_asking.timetable, Text1[0]->text(), Text1[1]->text(), between)))
        remember(between ? QueryKind::Between : QueryKind::Station);
}

void Form1::ZhongZhuan(const QList<TransferEntry>& entries, const QString& caption) {
    Form3 transfer(entries, caption, this);
    transfer.exec();
    m_panels[1]->setText(transferPlansStatus(entries.size()));
}

void Form1::SearchZhongZhuan(const QString& Num) {
    // The leg asks for the day of the station-to-station query that offered it.
    runPlanned(planLegQuery(
        m_asking.timetable.isEmpty() ? Program::Services.timetable : m_asking.timetable, Num));
}

void Form1::Show2Search(const QString& Num, const QString& Title, const QString&) {
    const QString base =
        m_asking.timetable.isEmpty() ? Program::Services.timetable : m_asking.timetable;
    const auto report = load([&](PageFetcher& f) { return runDetail(f, base, Num); });
    if (!report)
        return;
    if (report->message) {
        showMessage(this, *report->message);
        return;
    }
    if (!m_detail)
        m_detail = new Form2(this);
    if (report->navigate)
        m_detail->navigate(QUrl::fromEncoded(report->navigate->toLatin1()));
    m_detail->setWindowTitle(Title);
    m_detail->show();
    m_detail->raise();
}

void Form1::listDoubleClicked(TrainList list) {
    const QList<QTreeWidgetItem*> selected = listView(list)->selectedItems();
    if (selected.isEmpty())
        return;
    const QTreeWidgetItem* row = selected.first();
    // The detail is of the list's day, whatever the date control shows now.
    m_asking = m_lists->day(list);
    Show2Search(row->text(kDetailLinkColumn), row->text(1), row->text(10));
}

void Form1::ListView1_DblClick() {
    listDoubleClicked(TrainList::ListView1);
}

void Form1::ListView3_DblClick() {
    listDoubleClicked(TrainList::ListView3);
}

void Form1::SearchPJ_Click() {
    const QList<QTreeWidgetItem*> selected = listView(m_lists->onView())->selectedItems();
    const QString number = selected.isEmpty() ? QString() : selected.first()->text(1);
    const DayBases& day = m_lists->day(m_lists->onView());
    const QString fareBase = day.fare.isEmpty() ? Program::Services.fare : day.fare;
    const auto report = load([&](PageFetcher& f) { return runFare(f, fareBase, number); });
    if (!report)
        return;
    if (report->message) {
        showMessage(this, *report->message);
        return;
    }
    Form6 fares(
        {report->labels.value_or(QStringList()), report->rows.value_or(QList<QStringList>())},
        this);
    fares.exec();
}

void Form1::Timer2_Timer() {
    // Not in the middle of a page load: the check waits for the next tick instead.
    if (PageFetcher::shared().busy())
        return;
    runUpdateCheck(Timer2, this);
}

void Form1::unloadForUpdate() {
    close();
    if (m_detail)
        m_detail->close();
    endProgram();
}

void Form1::Form_Resize() {
    const QSize frame = windowFrame();
    const QSize outer = size() + frame;
    m_laidFrame = frame;
    const int W = twips(outer.width()), H = twips(outer.height());
    const int statusHeight = twips(StatusBar1->height());
    const int mainTop = twips(Main1->y());

    QTreeWidget* first = listView(TrainList::ListView1);
    setTwipsGeometry(first, {}, {}, W - 3500, H - mainTop - statusHeight - 3800);
    placeFilterRow();
    for (QTreeWidget* view : m_lists->views())
        view->setGeometry(first->geometry());
    setTwipsGeometry(Picture2, 3020, 1700, {}, {});
    setTwipsGeometry(Main1, 0, {}, W - 100, H - mainTop - statusHeight - 500);
    control("Image3")->resize(Picture2->size());
    setTwipsGeometry(WebBrowser1, {}, {}, {}, H - twips(WebBrowser1->y()) - statusHeight - 800);
    StatusBar1->setGeometry(0, height() - StatusBar1->height(), width(), StatusBar1->height());

    // Keep the window at its minimum outer size; resizing runs this again.
    if (isMinimized() || isMaximized() || isFullScreen())
        return;
    const QSize minimum(px(kMinOuterWidth) - frame.width(), px(kMinOuterHeight) - frame.height());
    if (W < kMinOuterWidth || H < kMinOuterHeight) {
        const QSize before = size();
        resize(std::max(width(), minimum.width()), std::max(height(), minimum.height()));
        // While the window is being shown Qt delivers one pending resize event and drops the
        // one this resize posts, so the new size would stay unlaid until the user resizes.
        if (size() != before && testAttribute(Qt::WA_PendingResizeEvent))
            Form_Resize();
    }
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(this);
    }
}

QSize Form1::windowFrame() const {
    return frameAround(this);
}

bool Form1::event(QEvent* event) {
    // The rules measure the outer size, and the window manager's frame is only known once the
    // window is on screen, with no resize of its own: lay out again when it arrives or changes
    // (and centre again when it first comes), as a resize would.
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Paint:
    case QEvent::WindowActivate:
        if (isVisible() && !m_frameCheck && windowFrame() != m_laidFrame) {
            m_frameCheck = true;
            QTimer::singleShot(0, this, [this] {
                m_frameCheck = false;
                if (windowFrame() == m_laidFrame)
                    return;
                const bool firstFrame = m_laidFrame.isEmpty();
                Form_Resize();
                if (firstFrame && !isMaximized() && !isFullScreen())
                    centreOnScreen(this);
            });
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (listKeyPressed(watched, event))
        return true;
    // A double click anywhere on a list, below the last row too, acts on the selected row.
    const std::optional<TrainList> list = m_lists->listOf(watched);
    if (!list || watched != listView(*list)->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonDblClick)
        QTimer::singleShot(0, this, [this, l = *list] { listDoubleClicked(l); });
    if (event->type() == QEvent::ToolTip)
        return showCutCell(listView(*list), event);
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            menu->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Whatever closes the window, the portal opens; closing is never cancelled.
    OpenPortal();
    event->accept();
}

Form2* Form1::detailWindow() const {
    return m_detail;
}
