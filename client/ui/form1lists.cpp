// The main window's result lists as everyday use wants them: sorted by a header click,
// narrowed by the filter row, copied and exported, driven from the keyboard.
#include "form1.h"

#include "filterrow.h"
#include "messages.h"
#include "resultlists.h"
#include "rowexport.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTreeWidget>

namespace {

constexpr int kListTop = 3000; // twips: where the design puts the lists

} // namespace

void Form1::buildListTools() {
    m_filterRow = new FilterRow(this);
    connect(m_filterRow, &FilterRow::changed, this, &Form1::refilter);

    // After "查询票价", which stays the menu's first item.
    m_copy = menu->addAction(QStringLiteral("复制"));
    m_copy->setObjectName(QStringLiteral("CopyRows"));
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_copy, &QAction::triggered, this, &Form1::copyRows);
    m_export = menu->addAction(QStringLiteral("导出CSV…"));
    m_export->setObjectName(QStringLiteral("ExportRows"));
    connect(m_export, &QAction::triggered, this, &Form1::exportRows);

    askExportFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("导出CSV"), suggested,
                                            QStringLiteral("CSV (*.csv)"));
    };

    for (QTreeWidget* view : {ListView1, ListView2, ListView3}) {
        view->addAction(m_copy);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSortingEnabled(true);
        view->sortByColumn(0, Qt::AscendingOrder);
        view->installEventFilter(this);
    }
}

TrainList Form1::listOnView() const {
    if (ListView2->isVisibleTo(this))
        return TrainList::ListView2;
    if (ListView3->isVisibleTo(this))
        return TrainList::ListView3;
    return TrainList::ListView1;
}

std::optional<TrainList> Form1::listOf(const QObject* widget) const {
    for (const TrainList list :
         {TrainList::ListView1, TrainList::ListView2, TrainList::ListView3}) {
        if (widget == listView(list) || widget == listView(list)->viewport())
            return list;
    }
    return std::nullopt;
}

void Form1::refilter() {
    const RowFilter filter = m_filterRow->filter();
    for (QTreeWidget* view : {ListView1, ListView2, ListView3}) {
        const qsizetype shown = applyFilter(view, filter);
        if (view == listView(listOnView()))
            m_filterRow->setCount(shown, view->topLevelItemCount());
    }
}

void Form1::placeFilterRow() {
    // The row takes the top of the lists' place; the lists keep their left, width and bottom.
    if (!m_filterRow)
        return;
    const QRect place = ListView1->geometry();
    const int top = px(kListTop);
    const int rowHeight = m_filterRow->sizeHint().height();
    m_filterRow->setGeometry(place.x(), top, place.width(), rowHeight);
    ListView1->setGeometry(place.x(), top + rowHeight, place.width(),
                           std::max(0, place.height() - rowHeight));
}

void Form1::copyRows() {
    const TrainList list = listOnView();
    const QList<QStringList> rows = selectedRows(listView(list));
    if (rows.isEmpty())
        return;
    QApplication::clipboard()->setText(rowsAsText(list, rows));
}

void Form1::exportRows() {
    const TrainList list = listOnView();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString file = askExportFile(QDir(folder).filePath(QStringLiteral("车次列表.csv")));
    if (file.isEmpty())
        return;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(rowsAsCsv(list, rowsOnView(listView(list)))) < 0 || !out.commit())
        showMessage(this, QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(file));
}

void Form1::openMenuAtRow(QTreeWidget* view) {
    QTreeWidgetItem* row = view->currentItem();
    const QRect at = row ? view->visualItemRect(row) : QRect();
    menu->popup(view->viewport()->mapToGlobal(row ? at.bottomLeft() : QPoint(0, 0)));
}

bool Form1::listKeyPressed(QObject* watched, QEvent* event) {
    const std::optional<TrainList> list = listOf(watched);
    if (!list || watched != listView(*list))
        return false;
    QTreeWidget* view = listView(*list);
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        openMenuAtRow(view);
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Menu) {
        openMenuAtRow(view);
        return true;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers() == Qt::NoModifier) {
        // Enter on a row opens it as a double click does.
        listDoubleClicked(*list);
        return true;
    }
    return false;
}
