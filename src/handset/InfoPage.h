#pragma once
// The Information page: the eleven-row status list (ESN, numbers, radio values) filled from
// every status response of the connection worker.
#include "controls/PageBase.h"

class CXListCtrl;
class QLabel;

class CInfoPage : public CPageBase
{
    Q_OBJECT
public:
    static constexpr int ROW_COUNT = 11;

    CInfoPage(QWidget* parent, const QRect& rect);
    ~CInfoPage() override;

    // Deletes every row and inserts the eleven labels with their colours, values empty.
    void ResetList();
    // Fills column 1 from a status response (a copy owned by the caller).
    void FillFromStatus(const QByteArray& response);
    // The value text of a row (tests, the operation log).
    QString ValueText(int row) const;

    CXListCtrl* StatusList() const { return m_pList; }

    // Colours of the even rows: label cell and value cell.
    static QColor LabelColour() { return QColor(223, 244, 188); }
    static QColor ValueColour() { return QColor(176, 214, 127); }

private:
    CXListCtrl* m_pList = nullptr;
    QLabel* m_pHeader = nullptr;
};
