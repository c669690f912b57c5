#include "datecontrol.h"

#include "servicedays.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {

QToolButton* button(const QString& text, const QString& tip, const char* name, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
}

} // namespace

DateControl::DateControl(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("DateControl"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    auto* label = new QLabel(QStringLiteral("日期："), this);
    m_edit = new QDateEdit(QDate::currentDate(), this);
    m_edit->setObjectName(QStringLiteral("DateEdit"));
    m_edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_edit->setCalendarPopup(true);
    // The calendar speaks the window's language whatever the system's locale.
    m_edit->calendarWidget()->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    m_edit->calendarWidget()->setFirstDayOfWeek(Qt::Monday);
    label->setBuddy(m_edit);
    // Tab would walk the year, month and day first; ← and → already do that, so Tab leaves.
    m_edit->installEventFilter(this);
    if (auto* text = m_edit->findChild<QLineEdit*>())
        text->installEventFilter(this);
    m_previous =
        button(QStringLiteral("◀"), QStringLiteral("前一天 (Alt+←)"), "DatePrevious", this);
    m_next = button(QStringLiteral("▶"), QStringLiteral("后一天 (Alt+→)"), "DateNext", this);
    m_today = button(QStringLiteral("今天"), QStringLiteral("回到今天"), "DateToday", this);
    m_previous->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    m_next->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    m_range = new QLabel(this);
    m_range->setObjectName(QStringLiteral("DateRange"));
    m_range->setStyleSheet(QStringLiteral("color:#777"));
    layout->addWidget(label);
    layout->addWidget(m_previous);
    layout->addWidget(m_edit);
    layout->addWidget(m_next);
    layout->addWidget(m_today);
    layout->addSpacing(8);
    layout->addWidget(m_range);
    layout->addStretch(1);
    connect(m_previous, &QToolButton::clicked, this, [this] { step(-1); });
    connect(m_next, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_today, &QToolButton::clicked, this, [this] { setDay(QDate::currentDate()); });
    connect(m_edit, &QDateEdit::dateChanged, this, &DateControl::updateButtons);
    updateButtons();
}

QList<QWidget*> DateControl::tabOrder() const {
    return {m_previous, m_edit, m_next, m_today};
}

bool DateControl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab))
            return focusNextPrevChild(key->key() == Qt::Key_Tab &&
                                      !(key->modifiers() & Qt::ShiftModifier));
    }
    return QWidget::eventFilter(watched, event);
}

QDate DateControl::day() const {
    return m_edit->date();
}

void DateControl::setDay(QDate day) {
    m_edit->setDate(day); // kept within the days offered
}

void DateControl::setServiceDays(const ServiceDays& days, QDate today) {
    const QDate shown = m_edit->date();
    if (days.known) {
        m_edit->setDateRange(days.first, days.last);
        m_range->setText(
            QStringLiteral("可查 %1 至 %2")
                .arg(days.first.toString(Qt::ISODate), days.last.toString(Qt::ISODate)));
    } else {
        m_edit->clearMinimumDate();
        m_edit->clearMaximumDate();
        m_range->clear();
    }
    m_edit->setDate(shown.isValid() ? shown : today);
    m_today->setEnabled(!days.known || days.contains(today));
    updateButtons();
}

void DateControl::step(int days) {
    m_edit->setDate(m_edit->date().addDays(days));
}

void DateControl::updateButtons() {
    const QDate d = m_edit->date();
    m_previous->setEnabled(d > m_edit->minimumDate());
    m_next->setEnabled(d < m_edit->maximumDate());
}
