#pragma once

#include "picturebox.h" // initUiResources

#include <QSize>
#include <QString>
#include <QWidget>

// The six picture buttons of the client: one design, told apart by their look.
enum class SkinLook { LZCommand, BZCommand, NZCommand, SZCommand, LeftCommand, RightCommand };

// A button that shows its normal picture, switches to the hover picture while the pointer is
// over it and prints its caption on top at the look's caption point.
class SkinButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)

public:
    explicit SkinButton(SkinLook look, QWidget* parent = nullptr);

    QString Caption() const;
    void setCaption(const QString& caption);

    // Repaints picture and caption at once.
    void DrawGrid();

    bool isHovered() const { return m_hovered; }
    SkinLook look() const { return m_look; }
    QSize pictureSize() const;
    QSize sizeHint() const override { return pictureSize(); }

Q_SIGNALS:
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Space and Enter click a button that has the keyboard.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isInside(const QPointF& pos) const;
    void setHovered(bool hovered);
    // The hover look follows the pointer: on with the capture, off when it is released.
    void hover(bool inside);

    SkinLook m_look;
    QString m_caption = QStringLiteral("Command");
    bool m_hovered = false;
    bool m_pressed = false;
    bool m_captured = false; // watching every pointer move of the program
};
