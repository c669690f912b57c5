#pragma once

#include "localservice.h"
#include "queryhistory.h"
#include "queryrunner.h"
#include "servicedays.h"
#include "stationindex.h"
#include "trainlist.h"
#include "windowtable.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class BundledService;
class DateControl;
class FilterRow;
class Form2;
class StationListDownload;
class SuggestionPopup;
struct Suggestion;
class Main;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QStatusBar;
class QTimer;
class QTreeWidget;
class PageFetcher;
class ResultLists;
class SkinButton;
class webbrowser;

// The main window: three query panels switched by the tabs, the keypad, three result lists in
// one place, the status bar, the banner and the skin. Every decision is the engine's; the
// window puts its answers on screen.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(const QString& programFolder, QWidget* parent = nullptr);
    ~Form1() override;

    // The page buffer: the text of the page being worked on.
    QString RichBox;

    void Visible1(const QString& mode);

    // Opens a train's detail page in the detail window; A_Time is accepted and not used.
    void Show2Search(const QString& Num, const QString& Title, const QString& A_Time);
    // The transfer window's leg query: refills ListView2 and the first status panel.
    void SearchZhongZhuan(const QString& Num);
    Form2* detailWindow() const;

    QTreeWidget* listView(TrainList list) const;
    QString panelText(int panel) const; // status bar panel 1 to 4

    // What tab 4 does to end the program; tests replace it.
    std::function<void()> endProgram;
    // Where "导出CSV…" writes, asked of the user (empty: cancelled); tests replace it.
    std::function<QString(const QString& suggested)> askExportFile;

    // The station list behind completion and the pinyin order of names; empty turns
    // completion off. The bytes are stations.txt as the service sends it.
    void useStationList(const QByteArray& bytes);
    void setCredit(const QString& text);
    const StationIndex& stations() const { return m_stations; }
    FilterRow* filterRow() const { return m_filterRow; }
    DateControl* dateControl() const { return m_date; }
    // The addresses for the day the date control shows, and what to tell the user about it.
    DayBases dayBases() const;
    SuggestionPopup* suggestions(QLineEdit* box) const;
    QAction* exportAction() const { return m_export; }
    QAction* sourceAction() const { return m_source; }

    // The bundled service the client started (or found): its state shows in the status bar,
    // and once it serves, what failed before it came is fetched again.
    void useBundledService(BundledService* service);
    // Asks the user for the timetable source (nullopt: cancelled); tests replace it.
    std::function<std::optional<SourceChoice>(const SourceChoice& current)> askSource;

    // The update hand-over's last steps: unload this window (the portal opens), then the
    // detail window, then end the program.
    void unloadForUpdate();

public Q_SLOTS:
    void SZCommand1_Click();
    void SZCommand2_Click();
    void LZCommand1_Click(int index);
    void BZCommand1_Click(int index);
    void NZCommand1_Click(int index);
    void LeftCommand1_Click();
    void RightCommand1_Click();
    void Text3_Change();
    void Form_Resize();
    void Timer2_Timer();
    void SearchPJ_Click();
    void copyRows();
    void exportRows();
    void chooseSource();
    void ListView1_DblClick();
    void ListView3_DblClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    QSize windowFrame() const; // what the window manager adds around the client area
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tab goes round from the list on view to the first tab, past the banner page.
    bool focusNextPrevChild(bool next) override;

private:
    void Form_Load(const QString& programFolder);
    // Completion, history, sorting, the filter row, copy and export: what everyday use adds.
    void buildBoxes();
    void buildListTools();
    // Tab order through every control, Alt+1 to Alt+3 for the query tabs.
    void buildKeyboard();
    void showServiceState();
    static QString usageHint(); // status panel 3 as designed
    void fetchStationList();
    QList<Suggestion> suggest(QLineEdit* box, const QString& text) const;
    void remember(QueryKind kind);
    // A station box holding no station takes the first completion of its text.
    void settleStationBoxes();
    // The train-number panel is on view with its list; the station panel with the others.
    bool trainPanelOnView() const;
    void refilter();
    void placeFilterRow();
    void openMenuAtRow(QTreeWidget* view);
    bool listKeyPressed(QObject* watched, QEvent* event);
    bool showCutCell(QTreeWidget* view, QEvent* event);
    void buildControls();
    void buildStatusBar();
    // Runs a page load unless one is already in flight: a refused click does nothing else.
    // The cursor shows busy meanwhile.
    std::optional<QueryReport> load(const std::function<QueryReport(PageFetcher&)>& query);
    // True when the query ran to a list or a transfer window, without a message.
    bool runPlanned(const QueryPlan& plan);
    void listDoubleClicked(TrainList list);
    void showReport(const QueryReport& report);
    // The day the answer is for, or why the service had none, in the third status panel.
    void showDayStatus(const QueryReport& report);
    void fillList(TrainList list, const TrainListResult& result);
    void ZhongZhuan(const QList<TransferEntry>& entries, const QString& caption);

    // A control of the window's table, found in the container the table puts it in.
    template <typename Name> QWidget* control(const Name& name) const { return m_controls[name]; }
    template <typename T, typename Name> T* control(const Name& name) const {
        return m_controls.as<T>(name);
    }

    webbrowser* WebBrowser1 = nullptr;
    QWidget* Picture2 = nullptr;
    QLineEdit* Text1[2] = {};
    QLineEdit* Text3 = nullptr;
    SkinButton* SZCommand1 = nullptr;
    SkinButton* SZCommand2 = nullptr;
    std::unique_ptr<ResultLists> m_lists; // ListView1 to ListView3
    QStatusBar* StatusBar1 = nullptr;
    QLabel* m_panels[4] = {};
    Main* Main1 = nullptr;
    QTimer* Timer2 = nullptr;
    QMenu* menu = nullptr;
    QAction* SearchPJ = nullptr;
    QPointer<Form2> m_detail;
    WindowControls m_controls;
    bool m_placed = false;     // centred on the screen at the first show
    QSize m_laidFrame;         // the frame the layout was computed with
    bool m_frameCheck = false; // a look at the frame is queued
    StationIndex m_stations;
    QueryHistory m_history;
    FilterRow* m_filterRow = nullptr;
    DateControl* m_date = nullptr;
    ServiceDays m_serviceDays;
    DayBases m_asking;                     // the day of the query being run
    QList<SuggestionPopup*> m_suggestions; // Text3, Text1(0), Text1(1)
    QPointer<StationListDownload> m_download;
    QAction* m_copy = nullptr;
    QAction* m_export = nullptr;
    QAction* m_source = nullptr;
    QPointer<BundledService> m_bundled;
    bool m_stationListFailed = false; // fetched again once a page loads
};
