#include "FunctionListPanel.h"

#include "controls/SkinButton.h"
#include "core/AppSettings.h"
#include "res/Pictures.h"

#include <QLabel>

namespace {

struct SPanelButton
{
    int nId;
    int nOver, nNormal, nChecked, nDisabled;
};

constexpr SPanelButton PANEL_BUTTONS[] = {
    {CFunctionListPanel::ID_INFO, 1026, 1027, 1028, 1025},
    {CFunctionListPanel::ID_UPGRADE, 1032, 1033, 1030, 1031},
    {CFunctionListPanel::ID_BIN, 1036, 1037, 1034, 1035},
    {CFunctionListPanel::ID_SCRIPT, 1056, 1057, 1058, 1055},
    {CFunctionListPanel::ID_PRL, 1048, 1049, 1042, 1047},
    {CFunctionListPanel::ID_ERI, 1040, 1041, 1038, 1039},
    {CFunctionListPanel::ID_SETTING, 1060, 1061, 1050, 1059},
    {CFunctionListPanel::ID_PHONEBOOK, 1044, 1045, 1046, 1043},
    {CFunctionListPanel::ID_TRANSFER, 1052, 1053, 1054, 1051},
    {CFunctionListPanel::ID_OK, 1062, 1064, 1062, 0},
    {CFunctionListPanel::ID_CANCEL, 1065, 1067, 1065, 0},
};

constexpr QRgb BLACK = 0xFF000000;

} // namespace

const QList<int>& CFunctionListPanel::MainButtonIds()
{
    static const QList<int> ids = {ID_INFO, ID_UPGRADE, ID_BIN,       ID_SCRIPT,  ID_PRL,
                                   ID_ERI,  ID_SETTING, ID_PHONEBOOK, ID_TRANSFER};
    return ids;
}

CFunctionListPanel::CFunctionListPanel(QWidget* parent, const QRect& rect) : CPageBase(parent, rect)
{
    setObjectName(QStringLiteral("functionListPanel"));
    SetBackground(Qt::white);
    for (const SPanelButton& b : PANEL_BUTTONS) {
        // The panel's buttons are push-like radio buttons: they keep no checked state.
        auto* button = new CSkinButton(this, CSkinButton::BS_AUTORADIOBUTTON);
        button->setObjectName(QStringLiteral("panelButton%1").arg(b.nId));
        button->SetBitmaps(b.nOver, BLACK, b.nNormal, BLACK, b.nChecked, BLACK, b.nDisabled, BLACK);
        connect(button, &QAbstractButton::clicked, this, [this, id = b.nId] { emit buttonClicked(id); });
        m_buttons.insert(b.nId, button);
    }
    m_buttons.value(ID_INFO)->SetTooltipText(QStringLiteral("Info Dialog"));

    auto* picture = new CSkinButton(this);
    picture->setObjectName(QStringLiteral("panelModelPicture"));
    picture->setEnabled(false);
    picture->setAccessibleName(QStringLiteral("Model picture"));
    m_buttons.insert(ID_MODEL_PICTURE, picture);

    m_pStatic1015 = new QLabel(this);
    m_pStatic1015->setPixmap(QPixmap::fromImage(LoadBitmap(1015)));
    m_pStatic1014 = new QLabel(this);
    m_pStatic1014->setPixmap(QPixmap::fromImage(LoadBitmap(1014)));
    Layout();
    SetPanelState(PANEL_MAIN);
}

CFunctionListPanel::~CFunctionListPanel() = default;

void CFunctionListPanel::Layout()
{
    const int cw = width();
    const QList<int>& ids = MainButtonIds();
    for (int i = 0; i < ids.size(); ++i)
        m_buttons.value(ids.at(i))->setGeometry(5, 5 + 50 * i, cw - 10, 45);
    m_buttons.value(ID_MODEL_PICTURE)->setGeometry(cw / 2 - 77, 5, 155, 303);
    // The two static pictures sit centred near the bottom edge, 134 x 59 each.
    m_pStatic1015->setGeometry((cw - 134) / 2, height() - 140, 134, 59);
    m_pStatic1014->setGeometry((cw - 134) / 2, height() - 80, 134, 59);
}

void CFunctionListPanel::SetPanelState(int state)
{
    theSettings.m_bSelectingModelDll = 0;
    m_nState = state;
    const int cw = width();
    const bool main = state == PANEL_MAIN;
    const bool selection = state == PANEL_SELECT_PORT || state == PANEL_SELECT_DLL;
    for (const int id : MainButtonIds())
        m_buttons.value(id)->setVisible(main);
    CSkinButton* ok = m_buttons.value(ID_OK);
    CSkinButton* cancel = m_buttons.value(ID_CANCEL);
    ok->setVisible(selection);
    cancel->setVisible(selection);
    m_buttons.value(ID_MODEL_PICTURE)->setVisible(state == PANEL_SELECT_DLL);
    if (state == PANEL_SELECT_PORT) {
        ok->setGeometry(5, 5, cw - 10, 45);
        cancel->setGeometry(5, 60, cw - 10, 45);
    } else if (state == PANEL_SELECT_DLL) {
        ok->setGeometry(5, 310, cw - 10, 45);
        cancel->setGeometry(5, 365, cw - 10, 45);
        theSettings.m_bSelectingModelDll = 1;
    }
}

void CFunctionListPanel::MarkCurrent(int id)
{
    SetPanelState(PANEL_MAIN);
    for (const int b : MainButtonIds())
        m_buttons.value(b)->SetCheck(b == id);
}

void CFunctionListPanel::EnableMainButtons(bool enable)
{
    for (const int id : MainButtonIds())
        m_buttons.value(id)->setEnabled(enable);
}

void CFunctionListPanel::SetModelImage(const QImage& image)
{
    CSkinButton* picture = m_buttons.value(ID_MODEL_PICTURE);
    if (image.isNull())
        picture->FreeBitmaps();
    else
        picture->SetBitmaps(image, CSkinButton::NO_TRANSPARENCY, image, CSkinButton::NO_TRANSPARENCY);
    update();
}
