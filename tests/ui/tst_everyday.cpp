// What everyday use adds to the main window, driven as a user would: station completion and
// history in the boxes, the filter row, sorting, copy and export, the keyboard on the lists.
#include "inprocessservice.h"
#include "uitestmain.h"

#include "filterrow.h"
#include "form1.h"
#include "form2.h"
#include "messages.h"
#include "program.h"
#include "skinbutton.h"
#include "suggestionpopup.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kStations = QStringEncoder("GB18030").encode(
    QStringLiteral("# name\tpinyin\tinitials\ttrains\n北京北\tbeijingbei\tbjb\t4\n"
                   "北京西\tbeijingxi\tbjx\t20\n西安\txian\txa\t17\n西安北\txianbei\txab\t11\n"));

QStringList shown(const SuggestionPopup* popup) {
    QStringList labels;
    for (int i = 0; popup->isShown() && i < popup->list()->count(); ++i)
        labels << popup->list()->item(i)->text();
    return labels;
}

} // namespace

class EverydayTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void completionPicksEscClosesSecondEnterQueries();
    void filterRowCountsWhatItShows();
    void copiesAndExportsTheRowsOnView();
    void keyboardOpensDetailAndMenu();
    void historyIsOfferedAfterARestart();
    void tabReachesEveryVisibleControl_data();
    void tabReachesEveryVisibleControl();
    void altKeysPickTheQueryTabs_data();
    void altKeysPickTheQueryTabs();
    void tabbedListSelectsARowThatEnterOpens();
    void stationBoxTakesTheFirstCandidate_data();
    void stationBoxTakesTheFirstCandidate();
    void popupFitsItsRows();
    void timeBoxTakesDigitsAfterOneClick_data();
    void timeBoxTakesDigitsAfterOneClick();
    void qtButtonsSpeakChinese();
    void sourceChosenInTheMenuIsKept();
    void newAnswerStartsAtTheTopLeft();

private:
    QLineEdit* box(const char* name) { return m_form->findChild<QLineEdit*>(QLatin1String(name)); }
    QTreeWidget* list() { return m_form->listView(TrainList::ListView2); }
    void type(QLineEdit* target, const QString& text);
    // Xvfb has no window manager to hand out the focus.
    void activate() { QApplication::setActiveWindow(m_form.get()); }
    void queryBetween(); // 西安 -> 北京西 typed as initials

    std::optional<Timetable> m_data;
    std::unique_ptr<InProcessService> m_service;
    std::unique_ptr<Form1> m_form;
    QTemporaryDir m_folder;
    QStringList m_messages;
};

void EverydayTest::initTestCase() {
    QString error;
    m_data = Timetable::loadBuiltIn(&error);
    QVERIFY2(m_data, qPrintable(error));
    m_service = std::make_unique<InProcessService>(*m_data);
    Program::Services.timetable = m_service->base();
    Program::Services.banner = QStringLiteral("about:blank");
    setMessageHandler([this](const QString& text) { m_messages << text; });
}

void EverydayTest::init() {
    m_messages.clear();
    m_form = std::make_unique<Form1>(m_folder.path());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    activate();
    m_form->useStationList(kStations);
    QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[1]")),
                      Qt::LeftButton);
}

void EverydayTest::cleanup() {
    m_form->hide();
    m_form.reset();
}

void EverydayTest::type(QLineEdit* target, const QString& text) {
    target->setFocus();
    target->clear();
    for (const QChar c : text) // Chinese as an input method hands it over: one key a character
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void EverydayTest::queryBetween() {
    type(box("Text1[0]"), QStringLiteral("XA"));
    QTest::keyClick(box("Text1[0]"), Qt::Key_Return);
    type(box("Text1[1]"), QStringLiteral("bjx"));
    QTest::keyClick(box("Text1[1]"), Qt::Key_Return);
    QTest::keyClick(box("Text1[1]"), Qt::Key_Return);
    QTRY_VERIFY(list()->topLevelItemCount() > 1);
}

void EverydayTest::completionPicksEscClosesSecondEnterQueries() {
    QLineEdit* from = box("Text1[0]");
    type(from, QStringLiteral("XA"));
    QCOMPARE(shown(m_form->suggestions(from)), (QStringList{u"西安"_s, u"西安北"_s}));
    QTest::keyClick(from, Qt::Key_Down);
    QTest::keyClick(from, Qt::Key_Down);
    QTest::keyClick(from, Qt::Key_Return); // picks, runs nothing
    QCOMPARE(from->text(), QStringLiteral("西安北"));
    QVERIFY(!m_form->suggestions(from)->isShown());
    QCOMPARE(list()->topLevelItemCount(), 0);

    type(from, QStringLiteral("北京"));
    QCOMPARE(shown(m_form->suggestions(from)), (QStringList{u"北京西"_s, u"北京北"_s}));
    QTest::keyClick(from, Qt::Key_Escape);
    QVERIFY(!m_form->suggestions(from)->isShown());
    QCOMPARE(from->text(), QStringLiteral("北京"));

    queryBetween();
    QCOMPARE(box("Text1[0]")->text(), QStringLiteral("西安"));
    QCOMPARE(box("Text1[1]")->text(), QStringLiteral("北京西"));
    m_form->useStationList("<html>not a list</html>"); // a broken list: completion off
    type(from, QStringLiteral("bj"));
    QVERIFY(!m_form->suggestions(from)->isShown());
    QVERIFY(m_messages.isEmpty());
}

void EverydayTest::filterRowCountsWhatItShows() {
    queryBetween();
    const int total = list()->topLevelItemCount();
    const QString status = QStringLiteral("共查询到：%1").arg(total);
    FilterRow* row = m_form->filterRow();
    QCOMPARE(row->countText(), QStringLiteral("显示 %1 / %1 条").arg(total));
    // Switch off the class of the first train: its rows go, the status panel stays.
    const QString number = list()->topLevelItem(0)->text(1);
    const TrainClass hidden = trainClassOf(number);
    row->classBox(hidden)->setChecked(false);
    int visible = 0;
    for (int i = 0; i < total; ++i) {
        const QTreeWidgetItem* item = list()->topLevelItem(i);
        QCOMPARE(item->isHidden(), trainClassOf(item->text(1)) == hidden);
        visible += !item->isHidden();
    }
    QVERIFY(visible < total);
    QCOMPARE(row->countText(), QStringLiteral("显示 %1 / %2 条").arg(visible).arg(total));
    QCOMPARE(m_form->panelText(1), status);
}

void EverydayTest::copiesAndExportsTheRowsOnView() {
    queryBetween();
    list()->topLevelItem(0)->setSelected(true);
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2); // the header and the selected row
    QCOMPARE(lines[1].section(u'\t', 1, 1), list()->topLevelItem(0)->text(1));

    const QString file = m_folder.filePath(QStringLiteral("out.csv"));
    m_form->askExportFile = [&](const QString& suggested) {
        return suggested.endsWith(QStringLiteral(".csv")) ? file : QString();
    };
    // The list on view is what the filter row leaves.
    m_form->filterRow()->classBox(trainClassOf(lines[1].section(u'\t', 1, 1)))->setChecked(false);
    int visible = 0;
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        visible += !list()->topLevelItem(i)->isHidden();
    m_form->exportAction()->trigger();
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count("\r\n"), visible + 1);

    const QList<QAction*> items = m_form->findChild<QMenu*>(QStringLiteral("menu"))->actions();
    QCOMPARE(items.value(0)->text(), QStringLiteral("查询票价"));
    QCOMPARE(items.value(1)->text(), QStringLiteral("复制"));
    QCOMPARE(items.value(2)->text(), QStringLiteral("导出CSV…"));
}

void EverydayTest::keyboardOpensDetailAndMenu() {
    queryBetween();
    list()->setCurrentItem(list()->topLevelItem(0));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Return);
    QTRY_VERIFY(m_form->detailWindow() && m_form->detailWindow()->isVisible());
    QCOMPARE(m_form->detailWindow()->windowTitle(), list()->topLevelItem(0)->text(1));
    m_form->detailWindow()->close();
    activate();
    auto* menu = m_form->findChild<QMenu*>(QStringLiteral("menu"));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Menu);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
}

void EverydayTest::historyIsOfferedAfterARestart() {
    queryBetween();
    cleanup();
    init(); // a new window reads what the last one kept
    QLineEdit* from = box("Text1[0]");
    from->clear();
    box("Text1[1]")->clear();
    from->setFocus();
    QTest::qWait(50);
    QVERIFY(!m_form->suggestions(from)->isShown()); // the focus alone covers nothing
    QTest::keyClick(from, Qt::Key_Down);
    QTRY_COMPARE(shown(m_form->suggestions(from)), QStringList{u"西安 → 北京西"_s});
    QTest::keyClick(from, Qt::Key_Return);
    QCOMPARE(from->text(), QStringLiteral("西安"));
    QCOMPARE(box("Text1[1]")->text(), QStringLiteral("北京西"));
}

void EverydayTest::tabReachesEveryVisibleControl_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("panel"); // after the five tabs, before the filter row
    QStringList keypad{u"Text3"_s};
    for (const char* key : {"BZCommand1[%1]", "NZCommand1[%1]"})
        for (int i = 0; i < (key[0] == 'B' ? 6 : 10); ++i)
            keypad << QString::fromLatin1(key).arg(i);
    keypad << u"LeftCommand1"_s << u"RightCommand1"_s << u"SZCommand1"_s;
    QTest::newRow("train number") << 0 << keypad;
    QTest::newRow("station to station")
        << 1 << QStringList{u"Text1[0]"_s, u"Text1[1]"_s, u"SZCommand2"_s};
    QTest::newRow("station") << 2 << QStringList{u"Text1[0]"_s, u"SZCommand2"_s};
}

void EverydayTest::tabReachesEveryVisibleControl() {
    QFETCH(int, tab);
    QFETCH(QStringList, panel);
    auto* first = m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[%1]").arg(tab));
    QTest::mouseClick(first, Qt::LeftButton);
    m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[0]"))->setFocus(Qt::TabFocusReason);
    QStringList reached;
    for (int i = 0; i < 60; ++i) {
        QWidget* at = QApplication::focusWidget();
        QVERIFY(at && at->isVisible());
        reached << at->objectName();
        QTest::keyClick(at, Qt::Key_Tab);
        if (QApplication::focusWidget()->objectName() == reached.first())
            break;
    }
    QStringList expected;
    for (int i = 0; i < 5; ++i)
        expected << QStringLiteral("LZCommand1[%1]").arg(i);
    // The day's row, left to right, its date one stop; a day button that cannot step is passed.
    QStringList day;
    for (const char* name : {"DatePrevious", "DateEdit", "DateNext", "DateToday"}) {
        const auto* w = m_form->findChild<QWidget*>(QString::fromLatin1(name));
        if (w->isEnabled())
            day << w->objectName();
    }
    QVERIFY(day.contains(u"DateEdit"_s) && day.contains(u"DateToday"_s));
    expected << panel << day << u"FilterClass0"_s;
    QCOMPARE(reached.mid(0, expected.size()), expected);
    QCOMPARE(reached.last(), QStringLiteral("ListView%1").arg(tab + 1)); // then round again
    QVERIFY(reached.contains(QStringLiteral("FilterTo")));
    // Shift+Tab walks the row back the same way.
    auto* date = m_form->findChild<QWidget*>(QStringLiteral("DateEdit"));
    date->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(),
             expected[expected.indexOf(u"DateEdit"_s) - 1]);

    // Space on a focused button clicks it, as the mouse does.
    auto* trainTab = m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[0]"));
    trainTab->setFocus(Qt::TabFocusReason);
    QTest::keyClick(trainTab, Qt::Key_Space);
    QVERIFY(box("Text3")->isVisible());
}

void EverydayTest::altKeysPickTheQueryTabs_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("focus");
    QTest::newRow("Alt+1") << int(Qt::Key_1) << "ListView1"
                           << "Text3";
    QTest::newRow("Alt+2") << int(Qt::Key_2) << "ListView2"
                           << "Text1[0]";
    QTest::newRow("Alt+3") << int(Qt::Key_3) << "ListView3"
                           << "Text1[0]";
}

void EverydayTest::altKeysPickTheQueryTabs() {
    QFETCH(int, key);
    QFETCH(QString, list);
    QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[0]")),
                      Qt::LeftButton);
    if (key == Qt::Key_1) // start elsewhere
        QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[2]")),
                          Qt::LeftButton);
    QTest::keyClick(m_form.get(), Qt::Key(key), Qt::AltModifier);
    QVERIFY(m_form->findChild<QTreeWidget*>(list)->isVisible());
    QTEST(QApplication::focusWidget()->objectName(), "focus");
    const int index = key - Qt::Key_1;
    QVERIFY(m_form->findChild<SkinButton*>(QStringLiteral("LZCommand1[%1]").arg(index))
                ->toolTip()
                .contains(QStringLiteral("Alt+%1").arg(index + 1)));
}

void EverydayTest::tabbedListSelectsARowThatEnterOpens() {
    queryBetween();
    list()->clearSelection();
    QTest::keyClick(box("Text1[1]"), Qt::Key_Tab); // 查询
    QWidget* at = QApplication::focusWidget();
    while (at != list()) {
        QTest::keyClick(at, Qt::Key_Tab);
        at = QApplication::focusWidget();
    }
    QCOMPARE(list()->selectedItems().size(), 1);
    QTest::keyClick(list(), Qt::Key_Return);
    QTRY_VERIFY(m_form->detailWindow() && m_form->detailWindow()->isVisible());
    QCOMPARE(m_form->detailWindow()->windowTitle(), list()->selectedItems().first()->text(1));
    // Esc closes it, whatever inside it has the keyboard.
    Form2* detail = m_form->detailWindow();
    QApplication::setActiveWindow(detail);
    QTest::keyClick(detail, Qt::Key_Escape);
    QTRY_VERIFY(!m_form->detailWindow());
}

void EverydayTest::stationBoxTakesTheFirstCandidate_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byQuery"); // the query button, or leaving the box with Tab
    QTest::addColumn<QString>("settled");
    QTest::newRow("initials, Tab") << "bjx" << false << "北京西";
    QTest::newRow("initials, 查询") << "bjx" << true << "北京西";
    QTest::newRow("a station stays") << "西安北" << false << "西安北";
    QTest::newRow("nothing completes it") << "qqq" << true << "qqq";
}

void EverydayTest::stationBoxTakesTheFirstCandidate() {
    QFETCH(QString, typed);
    QFETCH(bool, byQuery);
    QLineEdit* to = box("Text1[1]");
    type(box("Text1[0]"), QStringLiteral("西安"));
    type(to, typed);
    if (byQuery)
        QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("SZCommand2")),
                          Qt::LeftButton);
    else
        QTest::keyClick(to, Qt::Key_Tab);
    QTEST(to->text(), "settled");
    if (byQuery && to->text() == QStringLiteral("北京西"))
        QTRY_VERIFY(list()->topLevelItemCount() > 0);
    m_messages.clear();
}

void EverydayTest::popupFitsItsRows() {
    QLineEdit* from = box("Text1[0]");
    type(from, QStringLiteral("x"));
    const SuggestionPopup* popup = m_form->suggestions(from);
    QCOMPARE(shown(popup), (QStringList{u"西安"_s, u"西安北"_s}));
    const QListWidget* rows = popup->list();
    QVERIFY(!rows->verticalScrollBar()->isVisible());
    QVERIFY(!rows->horizontalScrollBar()->isVisible());
    for (int i = 0; i < rows->count(); ++i) {
        const QRect row = rows->visualItemRect(rows->item(i));
        QVERIFY2(rows->viewport()->rect().contains(row), qPrintable(rows->item(i)->text()));
        QVERIFY(rows->fontMetrics().horizontalAdvance(rows->item(i)->text()) <= row.width());
    }
}

void EverydayTest::timeBoxTakesDigitsAfterOneClick_data() {
    QTest::addColumn<bool>("minutes"); // the click lands on the minutes, else on the hours
    QTest::addColumn<QTime>("time");
    QTest::newRow("hours") << false << QTime(18, 0);
    QTest::newRow("minutes") << true << QTime(0, 18);
}

void EverydayTest::timeBoxTakesDigitsAfterOneClick() {
    QFETCH(bool, minutes);
    QTimeEdit* from = m_form->filterRow()->fromEdit();
    auto* text = from->findChild<QLineEdit*>();
    const QFontMetrics metrics(text->font());
    const int x = metrics.horizontalAdvance(minutes ? QStringLiteral("00:0") : QStringLiteral("0"));
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(x + 3, text->height() / 2));
    QTest::qWait(20);
    QTest::keyClicks(text, QStringLiteral("18"));
    QTEST(from->time(), "time");
}

void EverydayTest::qtButtonsSpeakChinese() {
    QVERIFY(Program::useChineseQtTexts());
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Ok)->text().remove(u'&'), QStringLiteral("确定"));
}

void EverydayTest::sourceChosenInTheMenuIsKept() {
    const QList<QAction*> items = m_form->findChild<QMenu*>(QStringLiteral("menu"))->actions();
    QVERIFY(items.contains(m_form->sourceAction()));
    SourceChoice offered;
    m_form->askSource = [&offered](const SourceChoice& current) -> std::optional<SourceChoice> {
        offered = current;
        return SourceChoice{TimetableSource::Live, {}};
    };
    m_form->sourceAction()->trigger();
    QCOMPARE(offered.source, TimetableSource::Sample);
    QCOMPARE(readUserSourceChoice(userSettingsFile()).value_or(SourceChoice{}).source,
             TimetableSource::Live);
    m_form->askSource = [](const SourceChoice&) { return std::nullopt; }; // cancelled
    m_form->sourceAction()->trigger();
    QCOMPARE(Program::Source.source, TimetableSource::Live);
    Program::Source = {};
    QFile::remove(userSettingsFile());
}

void EverydayTest::newAnswerStartsAtTheTopLeft() {
    queryBetween();
    QScrollBar* across = list()->horizontalScrollBar();
    QScrollBar* down = list()->verticalScrollBar();
    QVERIFY(across->maximum() > 0); // the columns are wider than the window
    across->setValue(across->maximum());
    down->setValue(down->maximum());
    QTest::mouseClick(m_form->findChild<SkinButton*>(QStringLiteral("SZCommand2")), Qt::LeftButton);
    QTRY_COMPARE(across->value(), 0);
    QCOMPARE(down->value(), 0);
}

QUILLON_UI_TEST_MAIN(EverydayTest)
#include "tst_everyday.moc"
