// The main window's result lists as everyday use wants them: sorted by a header click,
// narrowed by the filter row, copied and exported, driven from the keyboard.
#include "form1.h"

#include "datecontrol.h"
#include "filterrow.h"
#include "messages.h"
#include "resultlists.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFocusEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QToolTip>
#include <QHelpEvent>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTreeWidget>

namespace {

constexpr int kListTop = 3000; // twips: where the design puts the lists

} // namespace

bool Form1::showCutCell(QTreeWidget* view, QEvent* event) {
    // A cell cut off with "…" shows its whole text as a tooltip.
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = view->indexAt(help->pos());
    if (!index.isValid())
        return false;
    const QString text = index.data().toString();
    const QRect cell = view->visualRect(index);
    const int room =
        cell.width() - 2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) - 2;
    if (view->fontMetrics().horizontalAdvance(text) <= room) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(help->globalPos(), text, view->viewport(), cell);
    return true;
}

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

    for (QTreeWidget* view : m_lists->views()) {
        view->addAction(m_copy);
        view->installEventFilter(this);
    }
}

void Form1::refilter() {
    const qsizetype shown = m_lists->applyFilter(m_filterRow->filter());
    m_filterRow->setCount(shown, m_lists->view(m_lists->onView())->topLevelItemCount());
}

void Form1::placeFilterRow() {
    // The row takes the top of the lists' place; the lists keep their left, width and bottom.
    if (!m_filterRow)
        return;
    QTreeWidget* first = listView(TrainList::ListView1);
    const QRect place = first->geometry();
    const int top = px(kListTop);
    // The day above the filter row, both above the lists.
    const int dateHeight = m_date ? m_date->sizeHint().height() : 0;
    if (m_date)
        m_date->setGeometry(place.x(), top, place.width(), dateHeight);
    const int rowHeight = m_filterRow->sizeHint().height();
    m_filterRow->setGeometry(place.x(), top + dateHeight, place.width(), rowHeight);
    first->setGeometry(place.x(), top + dateHeight + rowHeight, place.width(),
                       std::max(0, place.height() - rowHeight - dateHeight));
}

void Form1::copyRows() {
    const QString text = m_lists->selectionAsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void Form1::exportRows() {
    // The documents folder may not exist yet for a new user: the dialog would start elsewhere.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir().mkpath(folder))
        folder = QDir::homePath();
    const QString file = askExportFile(QDir(folder).filePath(QStringLiteral("车次列表.csv")));
    if (file.isEmpty())
        return;
    qsizetype rows = 0;
    const QByteArray csv = m_lists->onViewAsCsv(&rows);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(csv) < 0 || !out.commit()) {
        showMessage(this, QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(file));
        return;
    }
    const QString done =
        QStringLiteral("已导出%1行：%2").arg(rows).arg(QDir::toNativeSeparators(file));
    m_panels[2]->setText(done);
    m_panels[2]->setToolTip(done);
}

void Form1::openMenuAtRow(QTreeWidget* view) {
    QTreeWidgetItem* row = view->currentItem();
    const QRect at = row ? view->visualItemRect(row) : QRect();
    menu->popup(view->viewport()->mapToGlobal(row ? at.bottomLeft() : QPoint(0, 0)));
}

bool Form1::listKeyPressed(QObject* watched, QEvent* event) {
    const std::optional<TrainList> list = m_lists->listOf(watched);
    if (!list || watched != listView(*list))
        return false;
    QTreeWidget* view = listView(*list);
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        openMenuAtRow(view);
        return true;
    }
    if (event->type() == QEvent::FocusIn) {
        // Reached with the keyboard, the list selects a row, so Enter and the menu act on one.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) &&
            view->selectedItems().isEmpty()) {
            QTreeWidgetItem* row = view->currentItem();
            for (int i = 0; !row || row->isHidden(); ++i) {
                row = view->topLevelItem(i);
                if (!row)
                    return false;
            }
            view->setCurrentItem(row);
            row->setSelected(true);
        }
        return false;
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
