#pragma once
// The Information page: the eleven-row status list (ESN, numbers, radio values) filled from
// every status response of the connection worker.
#include "app/PageBase.h"

class CInfoPage : public CPageBase
{
    Q_OBJECT
public:
    CInfoPage(QWidget* parent, CPageHost* host, const QRect& rect);
    ~CInfoPage() override;

    // Deletes every row and inserts the eleven labels with their colours, values empty.
    void ResetList();
    // Fills column 1 from a status response (a copy owned by the caller).
    void FillFromStatus(const QByteArray& response);
    // The value text of a row (tests, the operation log).
    QString ValueText(int row) const;
};
