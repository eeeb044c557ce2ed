#pragma once
// The column of picture buttons on the left of the page host: nine function buttons, and the
// OK / CANCEL pair with the model picture while a port or plug-in is being chosen.
#include "controls/PageBase.h"

#include <QHash>
#include <QImage>

class CSkinButton;
class QLabel;

enum EPanelState : int
{
    PANEL_MAIN = 256,
    PANEL_UPGRADE = 257,
    PANEL_SELECT_PORT = 258,
    PANEL_SELECT_DLL = 259,
};

class CFunctionListPanel : public CPageBase
{
    Q_OBJECT
public:
    // Control ids of the buttons.
    enum EControl : int
    {
        ID_INFO = 1003,
        ID_UPGRADE = 1013,
        ID_BIN = 1016,
        ID_SCRIPT = 1017,
        ID_PRL = 1008,
        ID_ERI = 1009,
        ID_SETTING = 1010,
        ID_PHONEBOOK = 1012,
        ID_TRANSFER = 1011,
        ID_OK = 1023,
        ID_CANCEL = 1024,
        ID_MODEL_PICTURE = 1026,
    };
    static const QList<int>& MainButtonIds();

    CFunctionListPanel(QWidget* parent, const QRect& rect);
    ~CFunctionListPanel() override;

    void SetPanelState(int state);
    int PanelState() const { return m_nState; }
    // PANEL_MAIN, then the button with this id checked and the others not.
    void MarkCurrent(int id);
    // The nine function buttons (the run lock disables them).
    void EnableMainButtons(bool enable);
    void SetModelImage(const QImage& image);

    CSkinButton* Button(int id) const { return m_buttons.value(id); }

signals:
    void buttonClicked(int id);

private:
    void Layout();

    QHash<int, CSkinButton*> m_buttons;
    QLabel* m_pStatic1014 = nullptr;
    QLabel* m_pStatic1015 = nullptr;
    int m_nState = PANEL_MAIN;
};
