#include "suggestionpopup.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

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
    const int rows = int(std::min<qsizetype>(m_shown.size(), kRowsShown));
    const int height = rows * m_list->sizeHintForRow(0) + 2 * m_list->frameWidth();
    const QPoint below = m_box->mapTo(m_list->parentWidget(), QPoint(0, m_box->height()));
    m_list->setGeometry(below.x(), below.y(), m_box->width(), height);
    m_list->raise();
    m_list->show();
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
    case QEvent::FocusIn:
        if (m_box->text().isEmpty())
            refresh();
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
