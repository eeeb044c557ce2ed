#pragma once
// What the extended list and the editable grid share for whoever fills them row by row (a
// plug-in, through its page): rows of cell texts, and for a grid with in-place editors the
// editors' definitions. Rows and columns count from 0; out-of-range calls do nothing and return
// false or -1. A list without in-place editors refuses every definition.
#include <QString>
#include <QStringList>

class IRowList
{
public:
    virtual int GetItemCount() const = 0;
    virtual int GetColumnCount() const = 0;
    virtual QString GetItemText(int row, int col) const = 0;
    virtual bool SetItemText(int row, int col, const QString& text) = 0;
    // Inserts a row with the text of column 0; returns its index or -1.
    virtual int InsertItem(int row, const QString& text) = 0;
    virtual bool DeleteItem(int row) = 0;
    virtual bool DeleteAllItems() = 0;

    virtual bool AddComboDef(int, int, const QStringList&) { return false; }
    virtual bool AddEditDef(int, int, const QString&, int, int, int) { return false; }
    virtual bool AddIpDef(int, int) { return false; }
    virtual void ClearEditorDefs() {}

protected:
    ~IRowList() = default;
};
