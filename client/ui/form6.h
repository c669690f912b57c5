#pragma once

#include "fare.h"

#include <QDialog>

class QLabel;
class QTreeWidget;

// The fare window: sixteen header values over the fare header picture and one row per stop,
// as the fare query scraped them.
class Form6 : public QDialog {
    Q_OBJECT
public:
    Form6(const FareTable& table, QWidget* owner);

private:
    void Form_Load(const FareTable& table);

    QLabel* Label1[16] = {};
    QTreeWidget* ListView1 = nullptr;
};
