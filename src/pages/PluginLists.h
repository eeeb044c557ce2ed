#pragma once
// The lists that the phonebook and settings exports work on, seen through IPluginList: the
// phonebook's seven-column CXListCtrl and a settings category's CEditGrid, both IRowList. The
// adapter only translates; range checks return -1 as the host services promise.
#include "pages/CsvReader.h"
#include "plugin/PluginRun.h"

#include <QList>

#include <functional>

class CXListCtrl;
class IRowList;

// A list handed to a plug-in. Editor definitions go to the given columns only; a list without
// such columns (the phonebook's) takes none (those calls return -1). settle runs before every
// call on the rows (the phonebook's completes a CSV load still under way, so a plug-in always
// sees the whole file).
class CPluginList : public IPluginList
{
public:
    explicit CPluginList(IRowList* list, QList<int> editorColumns = {}, std::function<void()> settle = {})
        : m_pList(list), m_editorColumns(std::move(editorColumns)), m_settle(std::move(settle))
    {
    }
    virtual ~CPluginList() = default;

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
    void Settle() const;

    IRowList* m_pList;
    QList<int> m_editorColumns;
    std::function<void()> m_settle;
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
