#include "ModelDllDialog.h"

#include "plugin/ModelCatalogue.h"

namespace {
CModelCatalogue& StubCatalogue()
{
    static CModelCatalogue c;
    return c;
}
} // namespace

CModelDllDialog::CModelDllDialog(QWidget* parent, CPageHost* host, const QRect& rect)
    : CPageBase(parent, host, rect)
{
    setObjectName(QStringLiteral("modelDllPage"));
}

CModelDllDialog::~CModelDllDialog() = default;

void CModelDllDialog::FillList() {}

void CModelDllDialog::SetListEnabled(bool) {}

bool CModelDllDialog::HasHotRow() const
{
    return false;
}

bool CModelDllDialog::ApplyModelChoice()
{
    return false;
}

QString CModelDllDialog::SelectedVersionText() const
{
    return {};
}

int CModelDllDialog::SelectedIndex() const
{
    return 0;
}

void CModelDllDialog::SetSelectedIndex(int) {}

CModelCatalogue& CModelDllDialog::Catalogue()
{
    return StubCatalogue();
}
