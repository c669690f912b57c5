#pragma once

#include <QWidget>

// The detail window: a train's stop page in a silent browser under a banner picture. Modeless
// and owned by the main window, one at a time; it never fetches or parses anything itself.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* owner);

    void navigate(const QUrl& address);
    QWidget* browser() const { return WebBrowser1; }

public Q_SLOTS:
    void LeftCommand1_Click();
    void RightCommand1_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* WebBrowser1 = nullptr;
    bool m_placed = false;
};
