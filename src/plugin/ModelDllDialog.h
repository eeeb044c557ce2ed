#pragma once
// The "Select Model DLL" page: the catalogue of the plug-ins found below MODEL/, listed with
// model, version, modification time and location; the user's pick becomes the plug-in in use.
//
// The connection worker reads the paths, model names and selected index from its own thread
// through Selection(), a small locked copy that this page keeps in step with its catalogue.
#include "controls/PageBase.h"

#include <QImage>
#include <QStringList>

#include <memory>

class CModelCatalogue;
class CCatalogueSelection;
class CXListCtrl;
class QLabel;

class CModelDllDialog : public CPageBase
{
    Q_OBJECT
public:
    static constexpr int ROW_HEIGHT = 16;

    CModelDllDialog(QWidget* parent, const QRect& rect);
    ~CModelDllDialog() override;

    // Refills the list from the catalogue and selects the row of the version in use.
    void FillList();
    // Set by the page host: 1 while a COM port is in use, 0 otherwise.
    void SetListEnabled(bool enabled);
    bool IsListEnabled() const { return m_bListEnabled; }
    // True when a row is selected (the hot row).
    bool HasHotRow() const;
    int HotRow() const { return m_nHotRow; }
    // Takes the hot row into the shared state; false when no row is selected.
    bool ApplyModelChoice();
    // Version text of the selected catalogue entry (empty when none).
    QString SelectedVersionText() const;
    // "DLL Version" text of catalogue entry i (empty when out of range).
    QString VersionText(int i) const { return m_versionTexts.value(i); }
    int SelectedIndex() const;
    void SetSelectedIndex(int index);
    CModelCatalogue& Catalogue();
    // The thread-safe copy of paths, model names and selected index (the connection worker's).
    std::shared_ptr<CCatalogueSelection> Selection() const { return m_pSelection; }
    CXListCtrl* List() const { return m_pList; }

    // Where the catalogue was searched ("<install>/MODEL/", or "../MODEL/").
    QString ModelFolder() const { return m_strModelFolder; }

signals:
    // The model picture of the hot or selected plug-in changed (null image: none).
    void modelImageChanged(const QImage& image);

private:
    void OnSelectionChanged();
    // Shows the picture of the plug-in at path when it has one.
    void ShowModelImage(const QString& path);
    void ComputeVersionTexts();

    std::unique_ptr<CModelCatalogue> m_pCatalogue;
    std::shared_ptr<CCatalogueSelection> m_pSelection;
    CXListCtrl* m_pList = nullptr;
    QLabel* m_pTitle = nullptr;
    QStringList m_versionTexts;
    QString m_strModelFolder;
    int m_nHotRow = -1;
    QString m_strHotPath;
    QString m_strHotModel;
    QString m_strHotVersion;
    bool m_bListEnabled = false;
    bool m_bFilling = false;
};
