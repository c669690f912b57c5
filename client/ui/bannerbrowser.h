#pragma once

#include <QUrl>
#include <QWidget>

// The banner control: a silent web browser that overhangs the control by 30 twips on every
// side, so its own border lies outside the visible area, and that loads the banner page each
// time the control is shown. The browser itself is created once the control has first been
// painted, so the window reaches the screen before the web engine starts.
class webbrowser : public QWidget {
    Q_OBJECT
public:
    explicit webbrowser(QWidget* parent = nullptr);

    void setAddress(const QUrl& address) { m_address = address; }
    QWidget* browser() const { return WebBrowser1; }

    void UserControl_Resize();
    void UserControl_Show();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createBrowser();

    QUrl m_address;
    QWidget* WebBrowser1 = nullptr;
};
