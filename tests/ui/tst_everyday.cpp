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
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTreeWidget>

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

private:
    QLineEdit* box(const char* name) { return m_form->findChild<QLineEdit*>(name); }
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
    QCOMPARE(shown(m_form->suggestions(from)), (QStringList{"西安", "西安北"}));
    QTest::keyClick(from, Qt::Key_Down);
    QTest::keyClick(from, Qt::Key_Down);
    QTest::keyClick(from, Qt::Key_Return); // picks, runs nothing
    QCOMPARE(from->text(), QStringLiteral("西安北"));
    QVERIFY(!m_form->suggestions(from)->isShown());
    QCOMPARE(list()->topLevelItemCount(), 0);

    type(from, QStringLiteral("北京"));
    QCOMPARE(shown(m_form->suggestions(from)), (QStringList{"北京西", "北京北"}));
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
    QTRY_COMPARE(shown(m_form->suggestions(from)), QStringList{"西安 → 北京西"});
    QTest::keyClick(from, Qt::Key_Return);
    QCOMPARE(from->text(), QStringLiteral("西安"));
    QCOMPARE(box("Text1[1]")->text(), QStringLiteral("北京西"));
}

QUILLON_UI_TEST_MAIN(EverydayTest)
#include "tst_everyday.moc"
