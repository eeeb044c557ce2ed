#pragma once
// The folder chooser of a PRL or ERI read: a tree of the file system's folders with an edit box
// above it, so a folder can also be typed. A typed folder is checked (PathRules) and, after the
// user agrees, created level by level.
//
//   tree selection changes -> path into the edit box and the status line; OK enabled when the
//                             item has an absolute path
//   edit text changes      -> OK enabled when the text is not empty
//   OK                     -> bad syntax, too long or a file: message, stay | folder exists: accept |
//                             missing: "create?" No: stay, Yes: create, failed: message, stay
#include <QDialog>
#include <QString>

struct SFolderDialogRequest;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

class CFolderChooser : public QDialog
{
    Q_OBJECT
public:
    CFolderChooser(QWidget* parent, const SFolderDialogRequest& request);
    ~CFolderChooser() override;

    // The modal chooser as Dialogs::ChooseFolder shows it. False on cancel.
    static bool Choose(QWidget* parent, const SFolderDialogRequest& request, QString* folder);

    // The accepted folder.
    QString Folder() const { return m_strFolder; }
    // Selects folder in the tree (as a click would).
    void SelectFolder(const QString& folder);
    // The OK command: true when the folder was accepted (the dialog then closes).
    bool OnOk();

    QLineEdit* Edit() const { return m_pEdit; }
    QTreeView* Tree() const { return m_pTree; }
    QPushButton* OkButton() const { return m_pOk; }
    QString StatusText() const;
    QString PromptText() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnCurrentChanged();
    void OnTextChanged(const QString& text);
    void KeepSelectionInView();
    void LayOut();

    QFileSystemModel* m_pModel = nullptr;
    QLabel* m_pPrompt = nullptr;
    QLabel* m_pStatus = nullptr;
    QLineEdit* m_pEdit = nullptr;
    QTreeView* m_pTree = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
    QString m_strFolder;
    QString m_strShown; // the folder SelectFolder brought into view, while it is kept there
};
