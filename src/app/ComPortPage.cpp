#include "ComPortPage.h"

#include "core/AppSettings.h"
#include "res/Pictures.h"
#include "serial/PortDiscovery.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

static_assert(CComPortPage::MAX_PORT == MAX_SELECTABLE_PORT, "discovery numbers only ports the page offers");

namespace {
constexpr int GRID_LIMIT = 50; // COM1..COM50 have fixed places; higher ports are placed when present
}

CComPortPage::CComPortPage(QWidget* parent, const QRect& rect) : CPageBase(parent, rect)
{
    setObjectName(QStringLiteral("comPortPage"));
    SetBackground(QColor(0xDA, 0xFE, 0xBC));
    m_pTitle = new QLabel(this);
    m_pTitle->setPixmap(QPixmap::fromImage(LoadBitmap(Res::IDB_TITLE_SELECT_PORT)));
    m_pTitle->setGeometry(6, 0, 569, 29);

    m_pGroup = new QGroupBox(this);
    m_pGroup->setObjectName(QStringLiteral("portGroup"));
    m_pGroup->setGeometry(5, 45, width() - 10, height() - 180);

    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(11);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const int perRow = std::max(1, width() / 80 - 1);
    m_buttons.reserve(MAX_PORT);
    for (int n = 1; n <= MAX_PORT; ++n) {
        auto* radio = new QRadioButton(QStringLiteral("COM%1").arg(n), this);
        radio->setObjectName(QStringLiteral("comPort%1").arg(20000 + n));
        radio->setFont(font);
        radio->hide();
        group->addButton(radio, 20000 + n);
        m_buttons.append(radio);
        if (n <= GRID_LIMIT) {
            const int i = n - 1;
            radio->setGeometry(15 + (i % perRow) * 95, 65 + (i / perRow) * 37, 80, 30);
            radio->show();
        }
    }
}

CComPortPage::~CComPortPage() = default;

QRadioButton* CComPortPage::PortButton(int n) const
{
    return (n >= 1 && n <= MAX_PORT) ? m_buttons.at(n - 1) : nullptr;
}

void CComPortPage::Refresh()
{
    const int current = theSettings.m_nPortNum;
    CPortList present;
    CollectAllPorts(present);
    // Unchecking an exclusive group member needs the group switched off for a moment.
    if (auto* group = m_buttons.first()->group())
        group->setExclusive(false);
    for (QRadioButton* b : std::as_const(m_buttons)) {
        b->setEnabled(false);
        b->setChecked(false);
    }
    int x = 205, y = 375;
    for (const int n : present.Ports()) {
        QRadioButton* b = PortButton(n);
        if (!b)
            continue;
        b->setEnabled(true);
        if (n > GRID_LIMIT) {
            b->setGeometry(x, y, 80, 30);
            b->show();
            if (x >= 490) {
                x = 15;
                y += 40;
            } else {
                x += 95;
            }
        }
        if (n == current)
            b->setChecked(true);
    }
    if (auto* group = m_buttons.first()->group())
        group->setExclusive(true);
}

int CComPortPage::CheckedPort() const
{
    for (int n = 1; n <= MAX_PORT; ++n) {
        if (m_buttons.at(n - 1)->isChecked())
            return n;
    }
    return -1;
}
