#pragma once
// The one seam for message boxes and file/folder choosers. Tests queue answers (the "next
// answer" hooks) and read back what was shown; in test mode an unanswered dialog takes its
// default answer instead of blocking.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

enum EMsgButtons
{
    MB_OK = 0,
    MB_YESNO = 4
};
enum EMsgIcon
{
    MB_ICONNONE = 0,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30
};
enum EMsgResult
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7
};

struct SMessageBoxRecord
{
    QString strText;
    QString strCaption;
    int nButtons = MB_OK;
    int nIcon = MB_ICONNONE;
    int nResult = IDOK;
};

struct SFileDialogRequest
{
    bool bSave = false;
    QString strTitle;
    QString strInitialFolder;
    QString strInitialName;
    QStringList filters; // "CSV Files (*.csv)", "All Files (*.*)"
    // A save dialog asks before an existing file is chosen; off when the caller completes the
    // name first and asks itself.
    bool bConfirmOverwrite = true;
};

struct SFolderDialogRequest
{
    QString strTitle;
    QString strPrompt;
    QString strInitialFolder;
};

namespace Dialogs {

// Message box with the given caption; Yes is the default button of a Yes/No box.
int MessageBox(QWidget* parent, const QString& text, const QString& caption, int buttons = MB_OK,
               int icon = MB_ICONNONE);

// File chooser. Returns false on cancel; *filterIndex receives the filter in force (0-based).
bool ChooseFile(QWidget* parent, const SFileDialogRequest& request, QString* path,
                int* filterIndex = nullptr);

// Folder chooser. Returns false on cancel.
bool ChooseFolder(QWidget* parent, const SFolderDialogRequest& request, QString* folder);
// The widget layer installs its own folder chooser here; without one a plain one is used.
void SetFolderChooser(std::function<bool(QWidget*, const SFolderDialogRequest&, QString*)> chooser);

// ---- test hooks ----
void SetTestMode(bool on);
bool TestMode();
void SetNextAnswer(int answer); // next message box answer
// Next message box answer, given after `whileShown` has run: what happens while a real box is up
// and its event loop runs (timers, messages from threads, a disconnection).
void SetNextAnswer(int answer, std::function<void()> whileShown);
void SetNextFile(const QString& path, int filterIndex = 0); // empty path = cancel
void SetNextFolder(const QString& folder);                  // empty = cancel
const QList<SMessageBoxRecord>& Shown();                    // every message box so far
QList<SFileDialogRequest> FileRequests();
QList<SFolderDialogRequest> FolderRequests();
void ClearRecords();

} // namespace Dialogs
