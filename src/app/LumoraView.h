#pragma once
// The empty form view of the main window, painted light grey.
#include <QWidget>

class CLumoraView : public QWidget
{
    Q_OBJECT
public:
    explicit CLumoraView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
