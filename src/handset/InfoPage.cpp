#include "InfoPage.h"

#include "HandsetFormat.h"

#include "controls/XListCtrl.h"
#include "res/Pictures.h"

#include <QLabel>
#include <QPixmap>

CInfoPage::CInfoPage(QWidget* parent, const QRect& rect) : CPageBase(parent, rect)
{
    setObjectName(QStringLiteral("infoPage"));
    SetBackground(PageBackground());

    m_pHeader = new QLabel(this);
    m_pHeader->setObjectName(QStringLiteral("headerPicture"));
    m_pHeader->setGeometry(6, 0, 569, 29);
    m_pHeader->setPixmap(QPixmap::fromImage(LoadBitmap(Res::IDB_TITLE_INFORMATION)));

    m_pList = new CXListCtrl(this);
    m_pList->setObjectName(QStringLiteral("statusList"));
    m_pList->SetGridLines(true);
    m_pList->SetFullRowSelect(true);
    // Tall enough for the eleven rows below the header; the columns fill the width exactly.
    m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int listHeight = ROW_COUNT * m_pList->GetRowHeight() +
                           m_pList->GetHeaderCtrl()->sizeHint().height() + 2 * m_pList->frameWidth() + 24;
    m_pList->setGeometry(5, 50, rect.width() - 10, listHeight);
    const int client = m_pList->width() - 2 * m_pList->frameWidth();
    m_pList->InsertColumn(0, QStringLiteral("Item"), Qt::AlignHCenter, client * 30 / 100 - 1);
    m_pList->InsertColumn(1, QStringLiteral("Information"), Qt::AlignHCenter, client * 70 / 100 - 1);

    ResetList();
}

CInfoPage::~CInfoPage() = default;

void CInfoPage::ResetList()
{
    m_pList->DeleteAllItems();
    const QColor black(0, 0, 0);
    for (int row = 0; row < ROW_COUNT; ++row) {
        const QString label = QString::fromLatin1(STATUS_ROW_LABELS[row]);
        m_pList->InsertItem(row, label);
        if (row % 2 == 0) {
            m_pList->SetItemText(row, 0, label, black, LabelColour());
            m_pList->SetItemText(row, 1, QString(), black, ValueColour());
        }
    }
}

void CInfoPage::FillFromStatus(const QByteArray& response)
{
    const QStringList values = StatusValueTexts(reinterpret_cast<const quint8*>(response.constData()),
                                                static_cast<int>(response.size()));
    const QColor black(0, 0, 0);
    for (int row = 0; row < ROW_COUNT && row < values.size(); ++row) {
        if (row % 2 == 0)
            m_pList->SetItemText(row, 1, values.at(row), black, ValueColour());
        else
            m_pList->SetItemText(row, 1, values.at(row));
    }
}

QString CInfoPage::ValueText(int row) const
{
    return m_pList->GetItemText(row, 1);
}
