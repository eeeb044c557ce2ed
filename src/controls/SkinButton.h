#pragma once
// A push button that shows one of four pictures according to its state, in slot order
//   0 mouse-over, 1 normal, 2 checked, 3 disabled.
// Which picture is shown:
//   mouse-over flag set        -> slot 0
//   else checked               -> slot 2
//   else disabled              -> slot 3 if it has a picture, else slot 0
//   else                       -> slot 1 if it has a picture, else slot 0
// Pixels of a slot's transparent colour are left out, so the parent's background shows through
// them (and around a picture smaller than the button). The picture is centred in the button.
#include <QImage>
#include <QPixmap>
#include <QPushButton>

class CSkinButton : public QPushButton
{
    Q_OBJECT
public:
    enum ESlot
    {
        SLOT_MOUSEOVER = 0,
        SLOT_NORMAL = 1,
        SLOT_CHECKED = 2,
        SLOT_DISABLED = 3,
        SLOT_COUNT = 4
    };

    // Button types (the BS_* style numbers). Bit 0x2 turns on checkbox mode; type 1 is a
    // default push button. The panel's push-like radio buttons (type 9) keep no checked state.
    enum EButtonType
    {
        BS_PUSHBUTTON = 0,
        BS_DEFPUSHBUTTON = 1,
        BS_CHECKBOX = 2,
        BS_AUTOCHECKBOX = 3,
        BS_RADIOBUTTON = 4,
        BS_AUTORADIOBUTTON = 9
    };

    // Transparent colour meaning "no pixel is transparent".
    static constexpr QRgb NO_TRANSPARENCY = 0x01000000;

    explicit CSkinButton(QWidget* parent = nullptr, int buttonType = BS_PUSHBUTTON);
    ~CSkinButton() override;

    // Applies the button-type rules above (checkbox mode, default-button mode).
    void SetButtonType(int type);
    int ButtonType() const { return m_nButtonType; }
    bool IsCheckBoxMode() const { return m_bCheckBox; }
    bool IsDefaultMode() const { return m_bDefault; }

    // Four pairs of bitmap resource number and transparent colour, in slot order; number 0
    // leaves a slot empty. Frees the previous set first. False when a number is unknown (its
    // slot stays empty). The caption drawn in the normal picture, if any, becomes the button's
    // accessible name.
    bool SetBitmaps(int idOver, QRgb keyOver, int idNormal, QRgb keyNormal, int idChecked, QRgb keyChecked,
                    int idDisabled, QRgb keyDisabled);
    // Two-picture form: mouse-over and normal; the checked and disabled slots stay empty.
    bool SetBitmaps(int idOver, QRgb keyOver, int idNormal, QRgb keyNormal);
    // Two-picture form with images (the model picture a plug-in hands over). A null image
    // leaves its slot empty.
    bool SetBitmaps(const QImage& over, QRgb keyOver, const QImage& normal, QRgb keyNormal);
    void FreeBitmaps(bool repaint = true);

    // Sets the checked flag in checkbox mode only; does nothing otherwise.
    void SetCheck(bool checked, bool repaint = true);
    bool GetCheck() const { return isChecked(); }

    void SetTooltipText(const QString& text, bool activate = true);

    bool IsMouseOver() const { return m_bMouseOver; }
    bool HasPicture(int slot) const;
    // The slot the next paint shows, or -1 when that slot has no picture.
    int CurrentSlot() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct SSlot
    {
        QImage image;   // picture with the transparent colour turned into alpha 0
        QPixmap pixmap; // the same, ready for the screen
    };
    void SetSlot(int slot, const QImage& picture, QRgb key);
    void ClearMouseOver();

    SSlot m_slots[SLOT_COUNT];
    int m_nButtonType = BS_PUSHBUTTON;
    bool m_bCheckBox = false;
    bool m_bDefault = false;
    bool m_bMouseOver = false;
};
