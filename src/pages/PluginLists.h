#pragma once
// The lists that the phonebook and settings exports work on, seen through IPluginList: the
// phonebook's seven-column CXListCtrl and a settings category's CEditGrid. The adapters only
// translate; range checks return -1 as the host services promise.
#include "pages/CsvListLoader.h"
#include "pages/CsvReader.h"
#include "plugin/PluginRun.h"

class CXListCtrl;
class CEditGrid;

// The phonebook list. It takes no editor definitions (those calls return -1). A CSV load still
// under way is completed before any call, so a plug-in always sees the whole file.
class CXListPluginList : public IPluginList
{
public:
    explicit CXListPluginList(CXListCtrl* list) : m_pList(list) {}
    virtual ~CXListPluginList() = default;

    int RowCount() const override;
    int ColumnCount() const override;
    QString Text(int row, int column) const override;
    int SetText(int row, int column, const QString& text) override;
    int InsertRow(int row, const QString& text) override;
    int DeleteRow(int row) override;
    int DeleteAllRows() override;
    int AddComboEditor(int row, int column, const QStringList& texts) override;
    int AddEditEditor(int row, int column, const QString& allowed, int minLength, int byteWidth,
                      int maxBytes) override;
    int AddIpEditor(int row, int column) override;
    int ClearEditors() override;

private:
    CXListCtrl* m_pList;
};

// Fills a CXListCtrl from the CSV reader, one row per entry; fields keep their bytes
// (TextFromBytes): UTF-8 shows as text. The list is not redrawn until the sink is destroyed.
class CXListCsvSink : public ICsvSink
{
public:
    explicit CXListCsvSink(CXListCtrl* list);
    ~CXListCsvSink() override;
    CXListCsvSink(const CXListCsvSink&) = delete;
    CXListCsvSink& operator=(const CXListCsvSink&) = delete;

    void InsertRow(int row, QByteArrayView name) override;
    void SetField(int row, int column, QByteArrayView text) override;

private:
    CXListCtrl* m_pList;
};

// A settings category's grid. Editor definitions go to the PARAMETER columns (1 and 2) only.
class CEditGridPluginList : public IPluginList
{
public:
    explicit CEditGridPluginList(CEditGrid* grid) : m_pGrid(grid) {}
    virtual ~CEditGridPluginList() = default;

    int RowCount() const override;
    int ColumnCount() const override;
    QString Text(int row, int column) const override;
    int SetText(int row, int column, const QString& text) override;
    int InsertRow(int row, const QString& text) override;
    int DeleteRow(int row) override;
    int DeleteAllRows() override;
    int AddComboEditor(int row, int column, const QStringList& texts) override;
    int AddEditEditor(int row, int column, const QString& allowed, int minLength, int byteWidth,
                      int maxBytes) override;
    int AddIpEditor(int row, int column) override;
    int ClearEditors() override;

private:
    bool IsCell(int row, int column) const;
    bool IsEditorCell(int row, int column) const;

    CEditGrid* m_pGrid;
};
