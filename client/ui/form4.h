#pragma once

#include <QDialog>

class QLabel;

// The about window: the installed version, the edition line, the portal address and the
// contact line over a background picture; a click on any Label1 opens the portal.
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    void Label1_Click(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();

    QLabel* Label1[4] = {};
};
