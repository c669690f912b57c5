#pragma once

#include "rowfilter.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QTimeEdit;

// The row above the result lists: which train classes and which departure times to show, and
// how many of the scraped rows that leaves.
class FilterRow : public QWidget {
    Q_OBJECT
public:
    explicit FilterRow(QWidget* parent = nullptr);

    RowFilter filter() const;
    void setCount(qsizetype shown, qsizetype total);
    QString countText() const;

    QCheckBox* classBox(TrainClass trainClass) const { return m_classes[int(trainClass)]; }
    QTimeEdit* fromEdit() const { return m_from; }

Q_SIGNALS:
    void changed();

private:
    QCheckBox* m_classes[kTrainClassCount] = {};
    QTimeEdit* m_from = nullptr;
    QTimeEdit* m_to = nullptr;
    QLabel* m_count = nullptr;
};
