#pragma once

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

// The confirmation window: the version on offer and the files to fetch, "升级" or "关闭".
class Form2 : public QWidget {
    Q_OBJECT
public:
    // `commandText` is the program's arguments joined with one blank.
    explicit Form2(const QString& commandText, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

signals:
    void upgradeChosen();
    void closeChosen();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_upgrading = false;
    void Form_Load(const QString& commandText);
    void Command1_Click();
    void Command2_Click();
};
