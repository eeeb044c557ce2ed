#pragma once
// The true-colour toolbar: one picture of 47-pixel images side by side is filtered into the
// normal, hot and disabled forms; pixels of the transparent colour stay transparent in all
// three. The toolbar paints its background with RGB(0xC6, 0xC0, 0xC6).
#include <QImage>
#include <QList>
#include <QToolBar>

class QAction;

// Per-pixel filters (pixels equal to `transparent` are left as they are).
QImage FilterDisabledImage(const QImage& source, QRgb transparent);
QImage FilterHotImage(const QImage& source, QRgb transparent);
// One pixel through the hot filter: lightness + 0.04 (capped at 1.0) in the HLS model.
QRgb HotPixel(QRgb rgb);
// One pixel through the disabled filter: grey (3R + 6G + B) / 10.
QRgb DisabledPixel(QRgb rgb);

class CSkinToolBar : public QToolBar
{
    Q_OBJECT
public:
    static constexpr int IMAGE_WIDTH = 47;
    static constexpr int IMAGE_HEIGHT = 35;

    explicit CSkinToolBar(QWidget* parent = nullptr);

    // Builds the three image sets from `bitmap` and gives them to the toolbar's actions in
    // order; separators[i] tells whether action i is a separator (it takes no image).
    void LoadTrueColorImages(const QImage& bitmap, QRgb transparent, const QList<bool>& separators);

    // The images of the non-separator button at `index` (tests, screenshots).
    QImage NormalImage(int index) const { return m_normal.value(index); }
    QImage HotImage(int index) const { return m_hot.value(index); }
    QImage DisabledImage(int index) const { return m_disabled.value(index); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<int> m_offsets; // x offset of each non-separator image in the source picture
    QList<QImage> m_normal, m_hot, m_disabled;
};
