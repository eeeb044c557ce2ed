#pragma once
// A docking bar whose size the user changes by dragging its free edge. It docks at any edge of
// the frame, floats in a small window, and shares a docking row with other bars (Qt's dock
// layout provides the rows and the draggable separators; the bar supplies its sizes and
// minimums to it). The bar keeps one size per orientation:
//   horizontal size - docked at the top or bottom (width = length along the row)
//   vertical size   - docked at the left or right (height = length along the row)
//   floating size
// and never goes below 33 x 32 docked or 37 x 32 floating. Close requests are ignored and no
// caption or close button is shown; a slim handle along the top lets the user move the bar.
// Sizes are not stored between runs.
#include <QDockWidget>
#include <QSize>

class QMainWindow;

class CSizingControlBar : public QDockWidget
{
    Q_OBJECT
public:
    // Bar style bits (recomputed edge bits plus the two option bits).
    enum EStyle : quint32
    {
        SCBS_EDGELEFT = 0x1,
        SCBS_EDGERIGHT = 0x2,
        SCBS_EDGETOP = 0x4,
        SCBS_EDGEBOTTOM = 0x8,
        SCBS_EDGEALL = 0xF,
        SCBS_SHOWEDGES = 0x10,
        SCBS_SIZECHILD = 0x20
    };
    enum EDockSide
    {
        DOCK_NONE,
        DOCK_LEFT,
        DOCK_RIGHT,
        DOCK_TOP,
        DOCK_BOTTOM,
        DOCK_FLOATING
    };

    static constexpr QSize MIN_HORZ{33, 32};
    static constexpr QSize MIN_VERT{33, 32};
    static constexpr QSize MIN_FLOAT{37, 32};
    static constexpr int EDGE_WIDTH = 5;

    explicit CSizingControlBar(QWidget* parent = nullptr);
    ~CSizingControlBar() override;

    // Sets all three sizes to `defaultSize`, the title, the object name "bar<id>" and the
    // docking rules; the bar is not docked yet (DockAt does that).
    virtual bool Create(const QString& title, QMainWindow* frame, const QSize& defaultSize, bool hasGripper,
                        int id, quint32 style = 0);
    // Docks the bar in the frame at the given edge and gives it its size for that edge.
    void DockAt(QMainWindow* frame, Qt::DockWidgetArea area);

    int BarId() const { return m_nId; }
    quint32 SizingStyle() const { return m_dwSCBStyle; }
    void SetSizingStyle(quint32 style) { m_dwSCBStyle = style; }

    QSize HorzSize() const { return m_szHorz; }
    QSize VertSize() const { return m_szVert; }
    QSize FloatSize() const { return m_szFloat; }
    // The minimum for the current state (floating or docked).
    QSize CurrentMinimum() const;
    EDockSide DockSide() const { return m_nDockSide; }
    bool IsHorzDocked() const { return m_nDockSide == DOCK_TOP || m_nDockSide == DOCK_BOTTOM; }
    bool IsVertDocked() const { return m_nDockSide == DOCK_LEFT || m_nDockSide == DOCK_RIGHT; }

    // Size the docking layout asks for. Stretched: the full row length; otherwise the size of
    // that orientation raised to its minimum.
    QSize CalcFixedLayout(bool stretch, bool horz) const;
    // Floating size for a new length in one direction (vertical: the height), kept above the
    // floating minimum.
    QSize CalcFloatingLayout(int length, bool lengthIsHeight);

    // This family shows no gripper, caption or close button.
    virtual bool HasGripper() const { return false; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnTopLevelChanged(bool floating);
    void OnLocationChanged(Qt::DockWidgetArea area);
    void ApplyMinimum();

    QSize m_szHorz{200, 200};
    QSize m_szVert{200, 200};
    QSize m_szFloat{200, 200};
    quint32 m_dwSCBStyle = 0;
    EDockSide m_nDockSide = DOCK_NONE;
    bool m_bFloating = false;
    int m_nId = 0;
};

// The bar with a gripper band and a close button. HasGripper answers no, so neither is shown or
// given space; the close-button switch only records whether the button would be enabled.
class CSizingControlBarG : public CSizingControlBar
{
    Q_OBJECT
public:
    explicit CSizingControlBarG(QWidget* parent = nullptr);

    void EnableCloseButton(bool enable);
    bool IsCloseButtonEnabled() const { return m_bCloseEnabled; }
    bool HasGripper() const override { return false; }

private:
    bool m_bCloseEnabled = true;
};

// Caption style: the band would be drawn as a caption in "Tahoma" (or "Arial" where that is
// missing) and follow whether the focus lies inside the bar.
class CSizingControlBarCF : public CSizingControlBarG
{
    Q_OBJECT
public:
    explicit CSizingControlBarCF(QWidget* parent = nullptr);
    ~CSizingControlBarCF() override;

    QString CaptionFontFace() const { return m_strFontFace; }
    // True while a widget inside the bar has the keyboard focus.
    bool IsActive() const { return m_bActive; }

private:
    void OnFocusChanged(QWidget* old, QWidget* now);

    QString m_strFontFace;
    bool m_bActive = false;
};
