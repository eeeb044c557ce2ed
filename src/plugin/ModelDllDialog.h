#pragma once
// The "Select Model DLL" page: the catalogue of the plug-ins found below MODEL/, listed with
// model, version, modification time and location; the user's pick becomes the plug-in in use.
#include "app/PageBase.h"

#include <QImage>

class CModelCatalogue;

class CModelDllDialog : public CPageBase
{
    Q_OBJECT
public:
    CModelDllDialog(QWidget* parent, CPageHost* host, const QRect& rect);
    ~CModelDllDialog() override;

    // Refills the list from the catalogue and selects the row of the version in use.
    void FillList();
    // Set by the page host: 1 while a COM port is in use, 0 otherwise.
    void SetListEnabled(bool enabled);
    // True when a row is selected (the hot row).
    bool HasHotRow() const;
    // Takes the hot row into the shared state; false when no row is selected.
    bool ApplyModelChoice();
    // Version text of the selected catalogue entry (empty when none).
    QString SelectedVersionText() const;
    int SelectedIndex() const;
    void SetSelectedIndex(int index);
    CModelCatalogue& Catalogue();

signals:
    // The model picture of the hot or selected plug-in changed (null image: none).
    void modelImageChanged(const QImage& image);
};
