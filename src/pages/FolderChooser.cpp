#include "FolderChooser.h"

#include "pages/PathRules.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>

namespace {

// The texts say: the folder is not valid, enter it again / does not exist, create it? / cannot
// be created. "%s" stands for the typed folder.
const char* const TEXT_NOT_VALID = "폴더:\n\n%s\n\n유효하지 않습니다. 다시 입력하세요.";
const char* const TEXT_CREATE = "폴더:\n\n%s\n\n존재하지 않습니다. 폴더를 생성하시겠습니까?";
const char* const TEXT_CANNOT_CREATE = "폴더r:\n\n%s\n\n생성할 수 없습니다.";

QString WithPath(const char* text, const QString& path)
{
    QString s = QString::fromUtf8(text);
    const qsizetype at = s.indexOf(QLatin1String("%s"));
    return s.left(at) + path + s.mid(at + 2);
}

constexpr int ID_FOLDER_EDIT = 14148;
// Longest folder text taken from the edit box; a longer one is refused.
constexpr int MAX_PATH_TEXT = 260;

constexpr int MARGIN = 10;
constexpr int EDIT_HEIGHT = 23;
constexpr int EDIT_GAP = 4; // between the edit box's bottom edge and the tree's top
constexpr int BUTTON_WIDTH = 80;
constexpr int BUTTON_HEIGHT = 25;

} // namespace

CFolderChooser::CFolderChooser(QWidget* parent, const SFolderDialogRequest& request) : QDialog(parent)
{
    setObjectName(QStringLiteral("folderChooser"));
    setWindowTitle(request.strTitle);

    m_pPrompt = new QLabel(request.strPrompt, this);
    m_pPrompt->setObjectName(QStringLiteral("promptLabel"));
    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("folderStatusLabel"));
    m_pEdit = new QLineEdit(this);
    m_pEdit->setObjectName(QStringLiteral("folderEdit"));
    m_pEdit->setProperty("controlId", ID_FOLDER_EDIT);

    // Folders of the file system only.
    m_pModel = new QFileSystemModel(this);
    m_pModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_pModel->setReadOnly(true);
    m_pModel->setRootPath(QDir::rootPath());

    m_pTree = new QTreeView(this);
    m_pTree->setObjectName(QStringLiteral("folderTree"));
    m_pTree->setModel(m_pModel);
    m_pTree->setHeaderHidden(true);
    for (int c = 1; c < m_pModel->columnCount(); ++c)
        m_pTree->hideColumn(c);

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("okButton"));
    m_pOk->setDefault(true);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("cancelButton"));

    connect(m_pOk, &QPushButton::clicked, this, &CFolderChooser::OnOk);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pEdit, &QLineEdit::textChanged, this, &CFolderChooser::OnTextChanged);
    connect(m_pTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CFolderChooser::OnCurrentChanged);
    connect(m_pModel, &QFileSystemModel::directoryLoaded, this, &CFolderChooser::KeepSelectionInView);
    connect(m_pModel, &QFileSystemModel::rowsInserted, this, &CFolderChooser::KeepSelectionInView);
    connect(m_pModel, &QFileSystemModel::layoutChanged, this, &CFolderChooser::KeepSelectionInView);
    connect(m_pTree->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { m_strShown.clear(); });

    resize(380, 420);
    LayOut();
    m_pOk->setEnabled(false);
    SelectFolder(request.strInitialFolder.isEmpty() ? QDir::currentPath() : request.strInitialFolder);
}

CFolderChooser::~CFolderChooser() = default;

bool CFolderChooser::Choose(QWidget* parent, const SFolderDialogRequest& request, QString* folder)
{
    CFolderChooser dlg(parent, request);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    if (folder)
        *folder = dlg.Folder();
    return true;
}

void CFolderChooser::LayOut()
{
    const int w = width() - 2 * MARGIN;
    m_pPrompt->setGeometry(MARGIN, MARGIN, w, 18);
    m_pStatus->setGeometry(MARGIN, MARGIN + 20, w, 18);
    const int editTop = MARGIN + 42;
    const int treeTop = editTop + EDIT_HEIGHT + EDIT_GAP;
    const int buttonTop = height() - MARGIN - BUTTON_HEIGHT;
    m_pEdit->setGeometry(MARGIN, editTop, w, EDIT_HEIGHT);
    m_pTree->setGeometry(MARGIN, treeTop, w, std::max(40, buttonTop - MARGIN - treeTop));
    m_pCancel->setGeometry(width() - MARGIN - BUTTON_WIDTH, buttonTop, BUTTON_WIDTH, BUTTON_HEIGHT);
    m_pOk->setGeometry(width() - 2 * MARGIN - 2 * BUTTON_WIDTH, buttonTop, BUTTON_WIDTH, BUTTON_HEIGHT);
}

void CFolderChooser::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayOut();
}

void CFolderChooser::SelectFolder(const QString& folder)
{
    const QModelIndex index = m_pModel->index(folder);
    if (!index.isValid())
        return;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        m_pTree->expand(p);
    m_pTree->setCurrentIndex(index);
    m_pTree->scrollTo(index);
    m_strShown = m_pModel->filePath(index);
}

// The model reads folders in the background, so rows keep arriving above and around the selected
// folder: keep it in view until the user scrolls or selects something else.
void CFolderChooser::KeepSelectionInView()
{
    if (m_strShown.isEmpty())
        return;
    const QModelIndex index = m_pTree->currentIndex();
    if (index.isValid() && m_pModel->filePath(index) == m_strShown)
        m_pTree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void CFolderChooser::OnCurrentChanged()
{
    const QModelIndex index = m_pTree->currentIndex();
    const QString path = index.isValid() ? m_pModel->filePath(index) : QString();
    if (path != m_strShown)
        m_strShown.clear();
    m_pEdit->setText(path);
    m_pStatus->setText(path);
    // Only items that stand for a real folder can be chosen.
    m_pOk->setEnabled(path.startsWith(QLatin1Char('/')));
}

void CFolderChooser::OnTextChanged(const QString& text)
{
    m_pOk->setEnabled(!text.isEmpty());
}

QString CFolderChooser::StatusText() const
{
    return m_pStatus->text();
}

QString CFolderChooser::PromptText() const
{
    return m_pPrompt->text();
}

bool CFolderChooser::OnOk()
{
    // A text too long to take whole, or a file, is no folder: never cut or taken silently.
    const QString path = m_pEdit->text();
    const QFileInfo info(path);
    const QString caption = QString::fromLatin1(APP_TITLE);
    bool accepted = false;
    if (path.size() > MAX_PATH_TEXT || !IsValidFolderPath(path) || (info.exists() && !info.isDir())) {
        Dialogs::MessageBox(this, WithPath(TEXT_NOT_VALID, path), caption, MB_OK, MB_ICONEXCLAMATION);
    } else if (info.isDir()) {
        accepted = true;
    } else if (Dialogs::MessageBox(this, WithPath(TEXT_CREATE, path), caption, MB_YESNO, MB_ICONQUESTION) ==
               IDYES) {
        if (CreateFolderLevels(path))
            accepted = true;
        else
            Dialogs::MessageBox(this, WithPath(TEXT_CANNOT_CREATE, path), caption, MB_OK, MB_ICONEXCLAMATION);
    }
    if (!accepted) {
        m_pEdit->setFocus();
        return false;
    }
    m_strFolder = path;
    accept();
    return true;
}
