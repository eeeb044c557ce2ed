#include "PluginLists.h"

#include "controls/EditGrid.h"
#include "controls/XListCtrl.h"
#include "plugin/ByteText.h"

// ---- phonebook list ------------------------------------------------------------------------------

int CXListPluginList::RowCount() const
{
    CompletePendingCsvLoad(m_pList);
    return m_pList->GetItemCount();
}

int CXListPluginList::ColumnCount() const
{
    CompletePendingCsvLoad(m_pList);
    return m_pList->GetColumns();
}

QString CXListPluginList::Text(int row, int column) const
{
    CompletePendingCsvLoad(m_pList);
    return m_pList->GetItemText(row, column);
}

int CXListPluginList::SetText(int row, int column, const QString& text)
{
    CompletePendingCsvLoad(m_pList);
    return m_pList->SetItemText(row, column, text) ? 1 : -1;
}

int CXListPluginList::InsertRow(int row, const QString& text)
{
    CompletePendingCsvLoad(m_pList);
    const int count = m_pList->GetItemCount();
    if (row == -1)
        row = count;
    if (row < 0 || row > count)
        return -1;
    return m_pList->InsertItem(row, text);
}

int CXListPluginList::DeleteRow(int row)
{
    CompletePendingCsvLoad(m_pList);
    return m_pList->DeleteItem(row) ? 1 : -1;
}

int CXListPluginList::DeleteAllRows()
{
    CompletePendingCsvLoad(m_pList);
    m_pList->DeleteAllItems();
    return 1;
}

int CXListPluginList::AddComboEditor(int, int, const QStringList&)
{
    return -1;
}

int CXListPluginList::AddEditEditor(int, int, const QString&, int, int, int)
{
    return -1;
}

int CXListPluginList::AddIpEditor(int, int)
{
    return -1;
}

int CXListPluginList::ClearEditors()
{
    return -1;
}

// ---- CSV into the phonebook list ---------------------------------------------------------------

CXListCsvSink::CXListCsvSink(CXListCtrl* list) : m_pList(list)
{
    m_pList->SetRedraw(false);
}

CXListCsvSink::~CXListCsvSink()
{
    m_pList->SetRedraw(true);
}

void CXListCsvSink::InsertRow(int row, QByteArrayView name)
{
    m_pList->InsertItem(row, TextFromBytes(name));
}

void CXListCsvSink::SetField(int row, int column, QByteArrayView text)
{
    m_pList->SetItemText(row, column, TextFromBytes(text));
}

// ---- settings grid -------------------------------------------------------------------------------

bool CEditGridPluginList::IsCell(int row, int column) const
{
    return row >= 0 && row < m_pGrid->GetItemCount() && column >= 0 && column < m_pGrid->GetColumnCount();
}

// Only the two PARAMETER columns take editors; "Item Name" stays read-only.
bool CEditGridPluginList::IsEditorCell(int row, int column) const
{
    return IsCell(row, column) && (column == 1 || column == 2);
}

int CEditGridPluginList::RowCount() const
{
    return m_pGrid->GetItemCount();
}

int CEditGridPluginList::ColumnCount() const
{
    return m_pGrid->GetColumnCount();
}

QString CEditGridPluginList::Text(int row, int column) const
{
    return m_pGrid->GetItemText(row, column);
}

int CEditGridPluginList::SetText(int row, int column, const QString& text)
{
    return m_pGrid->SetItemText(row, column, text) ? 1 : -1;
}

int CEditGridPluginList::InsertRow(int row, const QString& text)
{
    const int count = m_pGrid->GetItemCount();
    if (row == -1)
        row = count;
    if (row < 0 || row > count)
        return -1;
    return m_pGrid->InsertItem(row, text);
}

int CEditGridPluginList::DeleteRow(int row)
{
    if (!IsCell(row, 0))
        return -1;
    return m_pGrid->DeleteItem(row) ? 1 : -1; // the row's editor definitions go with it
}

int CEditGridPluginList::DeleteAllRows()
{
    m_pGrid->DeleteAllItems();
    m_pGrid->ClearEditorDefs();
    return 1;
}

int CEditGridPluginList::AddComboEditor(int row, int column, const QStringList& texts)
{
    if (!IsEditorCell(row, column))
        return -1;
    return m_pGrid->AddComboDef(row, column, texts) ? 1 : -1;
}

int CEditGridPluginList::AddEditEditor(int row, int column, const QString& allowed, int minLength,
                                       int byteWidth, int maxBytes)
{
    if (!IsEditorCell(row, column) || minLength < 0 || byteWidth < 0 || byteWidth > 4 || maxBytes < 0)
        return -1;
    return m_pGrid->AddEditDef(row, column, allowed, minLength, byteWidth, maxBytes) ? 1 : -1;
}

int CEditGridPluginList::AddIpEditor(int row, int column)
{
    if (!IsEditorCell(row, column))
        return -1;
    return m_pGrid->AddIpDef(row, column) ? 1 : -1;
}

int CEditGridPluginList::ClearEditors()
{
    m_pGrid->ClearEditorDefs();
    return 1;
}
