#include "Dialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QQueue>
#include <QTimer>

#include <cstdio>

namespace {

struct SState
{
    bool bTest = false;
    QQueue<QPair<int, std::function<void()>>> answers;
    QQueue<QPair<QString, int>> files;
    QQueue<QString> folders;
    QList<SMessageBoxRecord> shown;
    QList<SFileDialogRequest> fileRequests;
    QList<SFolderDialogRequest> folderRequests;
    std::function<bool(QWidget*, const SFolderDialogRequest&, QString*)> folderChooser;
};

SState& State()
{
    // QPX_AUTO_DIALOGS=1 (end-to-end tests, scripted runs): dialogs take their default answer
    // and every message box text is written to stderr instead of waiting for a user.
    static SState s = [] {
        SState init;
        init.bTest = qEnvironmentVariableIntValue("QPX_AUTO_DIALOGS") == 1;
        return init;
    }();
    return s;
}

// The program's filters name every file "*.*", as users know it; to Qt's chooser (as to the file
// system) that pattern means only names with a full stop. The chooser gets "*" in its place.
QString ChooserFilter(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    if (open < 0 || !filter.endsWith(QLatin1Char(')')))
        return filter;
    QStringList patterns = filter.mid(open + 1, filter.size() - open - 2).split(QLatin1Char(' '));
    for (QString& p : patterns) {
        if (p == QLatin1String("*.*"))
            p = QStringLiteral("*");
    }
    return filter.left(open + 1) + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// Qt's own chooser shows the filters it was given in its filter box: put the program's texts
// back, so "All Files (*.*)" reads as the program says.
void ShowProgramFilterTexts(QFileDialog& dlg, const QStringList& given, const QStringList& texts)
{
    for (QComboBox* box : dlg.findChildren<QComboBox*>()) {
        if (box->count() != given.size())
            continue;
        bool same = true;
        for (int i = 0; i < given.size() && same; ++i)
            same = box->itemText(i) == given.at(i);
        for (int i = 0; same && i < texts.size(); ++i)
            box->setItemText(i, texts.at(i));
    }
}

} // namespace

namespace Dialogs {

int MessageBox(QWidget* parent, const QString& text, const QString& caption, int buttons, int icon)
{
    SState& s = State();
    SMessageBoxRecord rec{text, caption, buttons, icon, IDOK};
    if (!s.answers.isEmpty()) {
        const auto next = s.answers.dequeue();
        if (next.second)
            next.second();
        rec.nResult = next.first;
    } else if (s.bTest) {
        rec.nResult = buttons == MB_YESNO ? IDYES : IDOK;
    } else {
        QMessageBox box(parent);
        box.setWindowTitle(caption);
        box.setText(text);
        switch (icon) {
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
        }
        if (buttons == MB_YESNO) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            rec.nResult = box.exec() == QMessageBox::Yes ? IDYES : IDNO;
        } else {
            box.setStandardButtons(QMessageBox::Ok);
            box.exec();
            rec.nResult = IDOK;
        }
    }
    if (s.bTest && qEnvironmentVariableIntValue("QPX_AUTO_DIALOGS") == 1)
        fprintf(stderr, "qpx: message box: %s\n", qPrintable(text));
    s.shown.append(rec);
    return rec.nResult;
}

bool ChooseFile(QWidget* parent, const SFileDialogRequest& request, QString* path, int* filterIndex)
{
    SState& s = State();
    s.fileRequests.append(request);
    QString chosen;
    int index = 0;
    if (!s.files.isEmpty()) {
        const auto next = s.files.dequeue();
        chosen = next.first;
        index = next.second;
    } else if (!s.bTest) {
        QStringList given;
        for (const QString& f : request.filters)
            given << ChooserFilter(f);
        QFileDialog dlg(parent, request.strTitle, request.strInitialFolder, given.join(QStringLiteral(";;")));
        dlg.setAcceptMode(request.bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(request.bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !request.bConfirmOverwrite);
        if (!request.strInitialName.isEmpty() && !request.strInitialName.contains(QLatin1Char('*')))
            dlg.selectFile(request.strInitialName);
        // The filter box may be built only when the chooser opens.
        ShowProgramFilterTexts(dlg, given, request.filters);
        QTimer::singleShot(0, &dlg, [&] { ShowProgramFilterTexts(dlg, given, request.filters); });
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) {
            chosen = dlg.selectedFiles().constFirst();
            const QString filter = dlg.selectedNameFilter();
            const qsizetype at = request.filters.indexOf(filter);
            index = std::max(0, static_cast<int>(at >= 0 ? at : given.indexOf(filter)));
        }
    }
    if (chosen.isEmpty())
        return false;
    if (path)
        *path = chosen;
    if (filterIndex)
        *filterIndex = index;
    return true;
}

bool ChooseFolder(QWidget* parent, const SFolderDialogRequest& request, QString* folder)
{
    SState& s = State();
    s.folderRequests.append(request);
    QString chosen;
    if (!s.folders.isEmpty()) {
        chosen = s.folders.dequeue();
    } else if (!s.bTest) {
        if (s.folderChooser)
            return s.folderChooser(parent, request, folder);
        chosen = QFileDialog::getExistingDirectory(parent, request.strTitle, request.strInitialFolder);
    }
    if (chosen.isEmpty())
        return false;
    if (folder)
        *folder = chosen;
    return true;
}

void SetFolderChooser(std::function<bool(QWidget*, const SFolderDialogRequest&, QString*)> chooser)
{
    State().folderChooser = std::move(chooser);
}

void SetTestMode(bool on)
{
    State().bTest = on;
}
bool TestMode()
{
    return State().bTest;
}
void SetNextAnswer(int answer)
{
    State().answers.enqueue({answer, {}});
}
void SetNextAnswer(int answer, std::function<void()> whileShown)
{
    State().answers.enqueue({answer, std::move(whileShown)});
}
void SetNextFile(const QString& path, int filterIndex)
{
    State().files.enqueue({path, filterIndex});
}
void SetNextFolder(const QString& folder)
{
    State().folders.enqueue(folder);
}
const QList<SMessageBoxRecord>& Shown()
{
    return State().shown;
}
QList<SFileDialogRequest> FileRequests()
{
    return State().fileRequests;
}
QList<SFolderDialogRequest> FolderRequests()
{
    return State().folderRequests;
}

void ClearRecords()
{
    SState& s = State();
    s.answers.clear();
    s.files.clear();
    s.folders.clear();
    s.shown.clear();
    s.fileRequests.clear();
    s.folderRequests.clear();
}

} // namespace Dialogs
