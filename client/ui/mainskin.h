#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include <array>

class QLabel;
class PictureBox;

// The skin behind the main window: a band of pictures across the top with three labels, and a
// picture frame that stays closed around any size.
class Main : public QWidget {
    Q_OBJECT

public:
    explicit Main(QWidget* parent = nullptr);

    // The portal brand and address shown in the band (Label2).
    void setPortalBrand(const QString& text);
    QString portalBrand() const;

    // Lays the frame out for the current size; runs on every resize.
    void UserControl_Resize();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    enum Piece {
        Image1,
        Image2,
        Image3,
        Image4,
        Image5,
        Image6,
        Image7,
        Image8,
        Image9,
        Image10,
        Image11,
        Image12,
        PictureCount
    };

    void place(Piece piece);

    std::array<PictureBox*, PictureCount> m_pictures{};
    std::array<QRect, PictureCount> m_twips{}; // where each picture is, in twips
    QLabel* m_brand = nullptr;
};
