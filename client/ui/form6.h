#pragma once

#include <QDialog>

class QLabel;
class QTreeWidget;

// The fare window: sixteen header values over the fare header picture and one row per stop,
// scraped from the page buffer the fare query left.
class Form6 : public QDialog {
    Q_OBJECT
public:
    Form6(const QString& pageBuffer, QWidget* owner);

private:
    void Form_Load(const QString& pageBuffer);

    QLabel* Label1[16] = {};
    QTreeWidget* ListView1 = nullptr;
};
