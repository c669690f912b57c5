#pragma once

#include "queryrunner.h"
#include "trainlist.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class Main;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QStatusBar;
class QTimer;
class QTreeWidget;
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

    // Fill their list from the page buffer.
    void Search();
    void SearchZhanZhan();
    void ZhanZhanView();

    QTreeWidget* listView(TrainList list) const;
    QString panelText(int panel) const; // status bar panel 1 to 4

    // What tab 4 does to end the program; tests replace it.
    std::function<void()> endProgram;

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

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load(const QString& programFolder);
    void buildControls();
    void buildLists();
    void buildStatusBar();
    // Runs a planned query unless a page load is already in flight; false when refused.
    bool runPlanned(const QueryPlan& plan);
    void showReport(const QueryReport& report);
    void fillList(TrainList list, const TrainListResult& result);
    void ZhongZhuan(const QList<TransferEntry>& entries, const QString& caption);

    QWidget* control(const char* name) const;

    webbrowser* WebBrowser1 = nullptr;
    QWidget* Picture2 = nullptr;
    QLineEdit* Text1[2] = {};
    QLineEdit* Text3 = nullptr;
    SkinButton* SZCommand1 = nullptr;
    SkinButton* SZCommand2 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QTreeWidget* ListView2 = nullptr;
    QTreeWidget* ListView3 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* m_panels[4] = {};
    Main* Main1 = nullptr;
    QTimer* Timer2 = nullptr;
    QMenu* menu = nullptr;
    QAction* SearchPJ = nullptr;
};
