#pragma once
// The "Select Comport" page: one radio button per COM number 1..254; the ports present are
// enabled, the one in use is checked.
#include "controls/PageBase.h"

#include <QVector>

class QGroupBox;
class QLabel;
class QRadioButton;

class CComPortPage : public CPageBase
{
    Q_OBJECT
public:
    static constexpr int MAX_PORT = 254;

    CComPortPage(QWidget* parent, const QRect& rect);
    ~CComPortPage() override;

    void Refresh();
    // The first checked port, COM1 upwards, or -1.
    int CheckedPort() const;
    QRadioButton* PortButton(int n) const;

private:
    QVector<QRadioButton*> m_buttons; // index n - 1
    QGroupBox* m_pGroup = nullptr;
    QLabel* m_pTitle = nullptr;
};
