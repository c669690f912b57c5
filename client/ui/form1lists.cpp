// The main window's result lists as everyday use wants them: sorted by a header click,
// narrowed by the filter row, copied and exported, driven from the keyboard.
#include "form1.h"

#include "datecontrol.h"
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

TrainList listOf(const Form1& form, const QTreeWidget* view) {
    for (const TrainList list : {TrainList::ListView1, TrainList::ListView2})
        if (form.listView(list) == view)
            return list;
    return TrainList::ListView3;
}

} // namespace

void Form1::buildListTools() {
    m_filterRow = new FilterRow(this);
    connect(m_filterRow, &FilterRow::changed, this, &Form1::refilter);
    m_date = new DateControl(this);

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

QTreeWidget* Form1::listOnView() const {
    if (ListView2->isVisibleTo(this))
        return ListView2;
    if (ListView3->isVisibleTo(this))
        return ListView3;
    return ListView1;
}

void Form1::refilter() {
    const RowFilter filter = m_filterRow->filter();
    for (QTreeWidget* view : {ListView1, ListView2, ListView3}) {
        const qsizetype shown = applyFilter(view, filter);
        if (view == listOnView())
            m_filterRow->setCount(shown, view->topLevelItemCount());
    }
}

void Form1::placeFilterRow() {
    // The row takes the top of the lists' place; the lists keep their left, width and bottom.
    if (!m_filterRow)
        return;
    const QRect place = ListView1->geometry();
    const int top = px(kListTop);
    // The day above the filter row, both above the lists.
    const int dateHeight = m_date ? m_date->sizeHint().height() : 0;
    if (m_date)
        m_date->setGeometry(place.x(), top, place.width(), dateHeight);
    const int rowHeight = m_filterRow->sizeHint().height();
    m_filterRow->setGeometry(place.x(), top + dateHeight, place.width(), rowHeight);
    ListView1->setGeometry(place.x(), top + dateHeight + rowHeight, place.width(),
                           std::max(0, place.height() - rowHeight - dateHeight));
}

void Form1::copyRows() {
    QTreeWidget* view = listOnView();
    const QList<QStringList> rows = selectedRows(view);
    if (rows.isEmpty())
        return;
    const TrainList list = listOf(*this, view);
    QApplication::clipboard()->setText(rowsAsText(list, rows));
}

void Form1::exportRows() {
    QTreeWidget* view = listOnView();
    const TrainList list = listOf(*this, view);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString file = askExportFile(QDir(folder).filePath(QStringLiteral("车次列表.csv")));
    if (file.isEmpty())
        return;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(rowsAsCsv(list, rowsOnView(view))) < 0 ||
        !out.commit())
        showMessage(this, QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(file));
}

void Form1::openMenuAtRow(QTreeWidget* view) {
    QTreeWidgetItem* row = view->currentItem();
    const QRect at = row ? view->visualItemRect(row) : QRect();
    menu->popup(view->viewport()->mapToGlobal(row ? at.bottomLeft() : QPoint(0, 0)));
}

bool Form1::listKeyPressed(QObject* watched, QEvent* event) {
    QTreeWidget* view = nullptr;
    for (QTreeWidget* v : {ListView1, ListView2, ListView3}) {
        if (watched == v)
            view = v;
    }
    if (!view)
        return false;
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
        if (view == ListView1)
            ListView1_DblClick();
        else if (view == ListView2)
            ListView2_DblClick();
        else
            ListView3_DblClick();
        return true;
    }
    return false;
}
