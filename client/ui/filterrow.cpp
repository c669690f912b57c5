#include "filterrow.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTimeEdit>

namespace {

// A click into a time box selects the hour or minute under it, so typed digits replace it
// (otherwise they would be inserted beside the old ones and refused).
class SectionOnClick : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* edit = static_cast<QTimeEdit*>(parent());
            QTimer::singleShot(0, edit,
                               [edit] { edit->setSelectedSection(edit->currentSection()); });
        }
        return QObject::eventFilter(watched, event);
    }
};

QTimeEdit* timeEdit(QTime time, const char* name, QWidget* parent) {
    auto* edit = new QTimeEdit(time, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDisplayFormat(QStringLiteral("HH:mm"));
    edit->findChild<QLineEdit*>()->installEventFilter(new SectionOnClick(edit));
    return edit;
}

} // namespace

FilterRow::FilterRow(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("FilterRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    layout->addWidget(new QLabel(QStringLiteral("车型："), this));
    for (int c = 0; c < kTrainClassCount; ++c) {
        auto* box = new QCheckBox(trainClassLabel(TrainClass(c)), this);
        box->setObjectName(QStringLiteral("FilterClass%1").arg(c));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, &FilterRow::changed);
        layout->addWidget(box);
        m_classes[c] = box;
    }
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("发车："), this));
    m_from = timeEdit(QTime(0, 0), "FilterFrom", this);
    m_to = timeEdit(QTime(23, 59), "FilterTo", this);
    layout->addWidget(m_from);
    layout->addWidget(new QLabel(QStringLiteral("至"), this));
    layout->addWidget(m_to);
    for (QTimeEdit* edit : {m_from, m_to})
        connect(edit, &QTimeEdit::timeChanged, this, &FilterRow::changed);
    layout->addStretch(1);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("FilterCount"));
    layout->addWidget(m_count);
}

RowFilter FilterRow::filter() const {
    RowFilter filter;
    for (int c = 0; c < kTrainClassCount; ++c)
        filter.allow(TrainClass(c), m_classes[c]->isChecked());
    filter.fromMinute = m_from->time().msecsSinceStartOfDay() / 60000;
    filter.toMinute = m_to->time().msecsSinceStartOfDay() / 60000;
    return filter;
}

void FilterRow::setCount(qsizetype shown, qsizetype total) {
    m_count->setText(filterSummary(shown, total));
}

QString FilterRow::countText() const {
    return m_count->text();
}
