#pragma once

#include <QSvgRenderer>
#include <QWidget>

// Registers the pictures of assets/ui.qrc. Built into a static library they would otherwise be
// dropped by the linker, since nothing refers to them by name. Safe to call any number of times.
void initUiResources();

// A picture control: draws its picture at the top left at the picture's own size (cut off
// when the control is smaller), or stretched over the whole control.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(const QString& resource, bool stretched, QWidget* parent = nullptr);

    QSize pictureSize() const { return m_renderer.defaultSize(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer m_renderer;
    bool m_stretched;
};
