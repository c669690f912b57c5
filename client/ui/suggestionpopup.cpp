#include "suggestionpopup.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

SuggestionPopup::SuggestionPopup(QLineEdit* box, Provider provider)
    : QObject(box)
    , m_box(box)
    , m_provider(std::move(provider)) {
    // A child of the window, not a pop-up window: the box keeps the keyboard and the focus.
    m_list = new QListWidget(box->window());
    m_list->setObjectName(box->objectName() + QStringLiteral("_suggestions"));
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setFont(box->font());
    m_list->hide();
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { pick(m_list->row(item)); });
    connect(box, &QLineEdit::textEdited, this, &SuggestionPopup::refresh);
    // Text set by the program (the keypad, a pick) makes what is offered stale.
    connect(box, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_offeredFor)
            hide();
    });
    box->installEventFilter(this);
}

QListWidget* SuggestionPopup::list() const {
    return m_list;
}

bool SuggestionPopup::isShown() const {
    return m_list && m_list->isVisible();
}

void SuggestionPopup::refresh() {
    if (!m_list)
        return;
    m_offeredFor = m_box->text();
    m_shown = m_provider(m_offeredFor);
    if (m_shown.isEmpty() || !m_box->isVisible()) {
        hide();
        return;
    }
    m_list->clear();
    for (const Suggestion& s : m_shown)
        m_list->addItem(s.label);
    m_list->setCurrentRow(-1);
    place();
    m_list->raise();
    m_list->show();
}

void SuggestionPopup::place() {
    // Every row and the longest label show without a scroll bar (beyond kRowsShown rows the
    // vertical one comes), within the window.
    m_list->ensurePolished();
    const int rows = int(std::min<qsizetype>(m_shown.size(), kRowsShown));
    const int rowHeight = std::max(m_list->sizeHintForRow(0), m_list->fontMetrics().height());
    const int frame = 2 * m_list->frameWidth();
    const int labelWidth = m_list->sizeHintForColumn(0); // the widest of all rows
    const int scrollBar =
        m_shown.size() > kRowsShown ? m_list->verticalScrollBar()->sizeHint().width() : 0;
    QWidget* window = m_list->parentWidget();
    const QPoint below = m_box->mapTo(window, QPoint(0, m_box->height()));
    const int width = std::min(std::max(m_box->width(), labelWidth + frame + scrollBar + 8),
                               window->width() - below.x());
    const int height = std::min(rows * rowHeight + frame, window->height() - below.y());
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setGeometry(below.x(), below.y(), width, height);
}

void SuggestionPopup::hide() {
    if (m_list)
        m_list->hide();
}

void SuggestionPopup::pick(int row) {
    if (row < 0 || row >= m_shown.size())
        return;
    const QStringList texts = m_shown[row].texts;
    hide();
    m_box->setText(texts.value(0));
    Q_EMIT picked(texts);
}

bool SuggestionPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_box)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // A click into an empty box offers the recent queries; the focus alone does not, so
        // nothing covers the window at start.
        if (m_box->text().isEmpty() && !isShown())
            QTimer::singleShot(0, this, &SuggestionPopup::refresh);
        break;
    case QEvent::FocusOut:
    case QEvent::Hide:
        hide();
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (!isShown()) {
            if (key == Qt::Key_Down) {
                refresh();
                return isShown();
            }
            break;
        }
        const int row = m_list->currentRow();
        switch (key) {
        case Qt::Key_Down:
            m_list->setCurrentRow(std::min(row + 1, m_list->count() - 1));
            return true;
        case Qt::Key_Up:
            m_list->setCurrentRow(std::max(row - 1, 0));
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            pick(row < 0 ? 0 : row);
            return true;
        case Qt::Key_Escape:
            hide();
            return true;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
    return false;
}
