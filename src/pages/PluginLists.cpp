#include "PluginLists.h"

#include "controls/RowList.h"
#include "controls/XListCtrl.h"
#include "plugin/ByteText.h"

// ---- lists handed to plug-ins --------------------------------------------------------------------

bool CPluginList::IsCell(int row, int column) const
{
    return row >= 0 && row < m_pList->GetItemCount() && column >= 0 && column < m_pList->GetColumnCount();
}

bool CPluginList::IsEditorCell(int row, int column) const
{
    return IsCell(row, column) && m_editorColumns.contains(column);
}

void CPluginList::Settle() const
{
    if (m_settle)
        m_settle();
}

int CPluginList::RowCount() const
{
    Settle();
    return m_pList->GetItemCount();
}

int CPluginList::ColumnCount() const
{
    Settle();
    return m_pList->GetColumnCount();
}

QString CPluginList::Text(int row, int column) const
{
    Settle();
    return m_pList->GetItemText(row, column);
}

int CPluginList::SetText(int row, int column, const QString& text)
{
    Settle();
    return m_pList->SetItemText(row, column, text) ? 1 : -1;
}

int CPluginList::InsertRow(int row, const QString& text)
{
    Settle();
    const int count = m_pList->GetItemCount();
    if (row == -1)
        row = count;
    if (row < 0 || row > count)
        return -1;
    return m_pList->InsertItem(row, text);
}

int CPluginList::DeleteRow(int row)
{
    Settle();
    if (!IsCell(row, 0))
        return -1;
    return m_pList->DeleteItem(row) ? 1 : -1; // the row's editor definitions go with it
}

int CPluginList::DeleteAllRows()
{
    Settle();
    m_pList->DeleteAllItems();
    m_pList->ClearEditorDefs();
    return 1;
}

int CPluginList::AddComboEditor(int row, int column, const QStringList& texts)
{
    if (!IsEditorCell(row, column))
        return -1;
    return m_pList->AddComboDef(row, column, texts) ? 1 : -1;
}

int CPluginList::AddEditEditor(int row, int column, const QString& allowed, int minLength, int byteWidth,
                               int maxBytes)
{
    if (!IsEditorCell(row, column) || minLength < 0 || byteWidth < 0 || byteWidth > 4 || maxBytes < 0)
        return -1;
    return m_pList->AddEditDef(row, column, allowed, minLength, byteWidth, maxBytes) ? 1 : -1;
}

int CPluginList::AddIpEditor(int row, int column)
{
    if (!IsEditorCell(row, column))
        return -1;
    return m_pList->AddIpDef(row, column) ? 1 : -1;
}

int CPluginList::ClearEditors()
{
    if (m_editorColumns.isEmpty())
        return -1;
    m_pList->ClearEditorDefs();
    return 1;
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
