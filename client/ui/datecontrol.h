#pragma once

#include <QDate>
#include <QWidget>

struct ServiceDays;
class QDateEdit;
class QLabel;
class QToolButton;

// The day the queries ask for: "日期" with a calendar pop-up, the previous and next day,
// and "今天". Offers only the days the service can answer once its station list names them.
class DateControl : public QWidget {
    Q_OBJECT
public:
    explicit DateControl(QWidget* parent = nullptr);

    QDate day() const;
    void setDay(QDate day);
    // The days the service answers; today stays the day when it is among them.
    void setServiceDays(const ServiceDays& days, QDate today);

    QDateEdit* edit() const { return m_edit; }
    QToolButton* previousButton() const { return m_previous; }
    QToolButton* nextButton() const { return m_next; }
    // The row's controls in the order Tab visits them: as they stand, left to right.
    QList<QWidget*> tabOrder() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int days);
    void updateButtons();

    QDateEdit* m_edit = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_today = nullptr;
    QLabel* m_range = nullptr;
};
