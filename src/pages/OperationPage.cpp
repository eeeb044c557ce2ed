#include "OperationPage.h"

#include "controls/SkinButton.h"
#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "pages/OperationLog.h"
#include "pages/PageServices.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"
#include "res/Pictures.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

// A text field of the result record, cut at its NUL or at the end of its array.
template <size_t N> QString FieldText(const char (&field)[N])
{
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, N)));
}

// The value lines are one line wide; a longer text can still be read in full as a tool tip.
void SetValueLine(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setToolTip(text);
}

} // namespace

COperationPage::COperationPage(QWidget* parent, IPageServices& services, ERunPage page, const QRect& rect,
                               const QString& name)
    : CPageBase(parent, rect), m_run(this, this), m_services(services), m_ePage(page)
{
    setObjectName(name);
}

void COperationPage::EnableStart(bool enable)
{
    for (CSkinButton* button : std::as_const(m_startButtons))
        button->setEnabled(enable);
}

bool COperationPage::IsStartEnabled() const
{
    return std::all_of(m_startButtons.cbegin(), m_startButtons.cend(),
                       [](const CSkinButton* button) { return button->isEnabled(); });
}

QLabel* COperationPage::CreateTitle(int picture)
{
    auto* title = new QLabel(this);
    title->setObjectName(QStringLiteral("titleLabel"));
    if (picture != 0)
        title->setPixmap(QPixmap::fromImage(LoadBitmap(picture)));
    title->setGeometry(6, 0, 569, 29);
    return title;
}

CSkinButton* COperationPage::CreateStartButton(const QString& name)
{
    auto* button = new CSkinButton(this);
    button->setObjectName(name);
    m_startButtons.append(button);
    return button;
}

CSkinButton* COperationPage::StartButton() const
{
    return m_startButtons.constFirst();
}

void COperationPage::SetStartFaces(const int* faces)
{
    StartButton()->SetBitmaps(faces[0], 0, faces[1], 0, faces[2], 0, faces[3], 0);
    m_nRunningFace = 0;
}

void COperationPage::SetRunningFace(int picture)
{
    StartButton()->SetBitmaps(picture, 0, picture, 0);
    m_nRunningFace = picture;
}

const int* COperationPage::StartFacesOf(int) const
{
    return m_modeFaces[m_nMode == 1 ? 0 : 1];
}

void COperationPage::SetModeRadios(QRadioButton* first, QRadioButton* second)
{
    m_modeRadios = {first, second};
}

std::pair<QRadioButton*, QRadioButton*> COperationPage::CreateModeRadios(const QString& first,
                                                                         const QString& second, int y,
                                                                         const int* firstFaces,
                                                                         const int* secondFaces)
{
    const auto radio = [this, y](const QString& text, int x) {
        auto* r = new QRadioButton(text, this);
        r->setObjectName(text.toLower() + QStringLiteral("Radio"));
        r->setGeometry(x, y, 90, 20);
        return r;
    };
    SetModeRadios(radio(first, 165), radio(second, 365));
    m_modeFaces = {firstFaces, secondFaces};
    return {m_modeRadios[0], m_modeRadios[1]};
}

void COperationPage::SetMode(int mode)
{
    m_nMode = mode;
    if (const int* faces = m_modeFaces[m_nMode == 1 ? 0 : 1])
        SetStartFaces(faces);
}

void COperationPage::SetPathRowButton(EPathRow row, QWidget* browse)
{
    m_pathRowButtons.append({row, browse});
}

void COperationPage::LockOwnRun(const SRunLock&) {}

void COperationPage::ReleaseOwnRun(const SRunLock&) {}

COperationPage::~COperationPage() = default;

QLabel* COperationPage::MakeLabel(QWidget* parent, const QString& text, const QRect& rect,
                                  const QString& name)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(rect);
    if (!name.isEmpty())
        l->setObjectName(name);
    return l;
}

void COperationPage::CreateStatusGroup(const SStatusGroupLook& look)
{
    m_strResetElapsed = look.strResetElapsed;
    m_pStatusGroup = new QGroupBox(look.strTitle, this);
    m_pStatusGroup->setObjectName(QStringLiteral("statusGroup"));
    m_pStatusGroup->setGeometry(5, 340, look.nGroupWidth, 130);
    // Drawn under the controls it frames.
    m_pStatusGroup->lower();

    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName(QStringLiteral("progressBar"));
    m_pProgress->setGeometry(15, 360, look.nBase - 95, 30);
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pProgress->setTextVisible(false);
    m_pElapsed =
        MakeLabel(this, look.strElapsed, QRect(look.nBase - 76, 360, 64, 30), QStringLiteral("elapsedLabel"));

    const int valueWidth = look.nGroupWidth - 110;
    // By EValueLine.
    const struct
    {
        QString strCaption;
        const char* name;
        int y;
        int h;
    } lines[] = {
        {QStringLiteral("File name "), "fileName", 400, 20},
        {look.strAddress, "address", 425, 20},
        {QStringLiteral("Status "), "status", 450, 18},
    };
    static_assert(std::extent_v<decltype(lines)> == std::tuple_size_v<decltype(m_valueLines)>);
    for (size_t i = 0; i < m_valueLines.size(); ++i) {
        const auto& line = lines[i];
        const QString base = QString::fromLatin1(line.name);
        QLabel* caption = MakeLabel(this, line.strCaption, QRect(15, line.y, look.nCaptionWidth, line.h),
                                    base + QStringLiteral("Label"));
        if (look.bHideCaptions)
            m_hidingCaptions.append(caption);
        m_valueLines[i] =
            MakeLabel(this, QString(), QRect(95, line.y, valueWidth, line.h), base + QStringLiteral("Value"));
    }
}

CXListCtrl* COperationPage::CreateList(const QString& name, const QRect& rect, int rowHeight)
{
    auto* list = new CXListCtrl(this);
    list->setObjectName(name);
    list->setGeometry(rect);
    list->SetGridLines(true);
    list->SetFullRowSelect(true);
    list->SetRowHeight(rowHeight);
    return list;
}

CSkinButton* COperationPage::CreateWideStartAndStatus(const QString& title, const QString& address,
                                                      const QString& elapsed)
{
    CSkinButton* start = CreateStartButton(QStringLiteral("startButton"));
    start->setGeometry(3, 290, width() - 10, 40);

    SStatusGroupLook look;
    look.strTitle = title;
    look.strAddress = address;
    look.strElapsed = elapsed;
    look.nBase = width();
    look.nGroupWidth = width() - 10;
    CreateStatusGroup(look);
    return start;
}

void COperationPage::ResetStatus()
{
    for (QLabel* line : m_valueLines)
        line->clear();
    m_pElapsed->setText(m_strResetElapsed);
}

LRESULT COperationPage::OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam)
{
    // A completion that comes once the release has begun (repeated, or posted before ReleaseRs
    // ended the plug-in's thread) has no run left to end.
    if (msg == WM_PLUGIN_NOTIFY_MSG && !m_run.IsReleasing())
        OnPluginNotify(wParam, lParam);
    return 0;
}

QByteArray COperationPage::PluginPath(const QString& path)
{
    return QFile::encodeName(path);
}

void COperationPage::SetProgress(int percent)
{
    m_pProgress->setValue(qBound(0, percent, 100));
}

void COperationPage::SetStatusText(const QString& text)
{
    SetValueLine(m_valueLines[LINE_STATUS], text);
}

void COperationPage::SetFileName(const QString& text)
{
    SetValueLine(m_valueLines[LINE_FILE], text);
}

void COperationPage::SetAddress(const QString& text)
{
    SetValueLine(m_valueLines[LINE_ADDRESS], text);
}

void COperationPage::SetElapsed(int minutes, float seconds)
{
    m_pElapsed->setText(ElapsedTimeText(minutes, seconds));
}

void COperationPage::ShowResultTexts(const OperationResult& result)
{
    SetValueLine(m_valueLines[LINE_STATUS], FieldText(result.szStatus));
    SetValueLine(m_valueLines[LINE_FILE], FieldText(result.szFileName));
    SetValueLine(m_valueLines[LINE_ADDRESS], FieldText(result.szAddress));
    m_pElapsed->setText(ElapsedTimeText(result.nMinutes, result.fSeconds));
}

QString COperationPage::Caption()
{
    return QString::fromLatin1(APP_TITLE);
}

void COperationPage::ShowValueLines(bool show)
{
    for (QLabel* caption : std::as_const(m_hidingCaptions))
        caption->setVisible(show);
    for (QLabel* line : m_valueLines)
        line->setVisible(show);
}

bool COperationPage::RunsOperation(int operation) const
{
    return OwnLock(operation) != nullptr;
}

const SRunLock* COperationPage::OwnLock(int operation) const
{
    const SRunLock* lock = RunLockOf(operation);
    return lock != nullptr && lock->ePage == m_ePage ? lock : nullptr;
}

void COperationPage::ApplyRunLock(int operation)
{
    const SRunLock* lock = OwnLock(operation);
    if (lock == nullptr)
        return;
    for (const auto& [row, browse] : std::as_const(m_pathRowButtons)) {
        if (lock->nPathRows & row)
            browse->setEnabled(false);
    }
    LockOwnRun(*lock);
    if (lock->bLockDirection && m_modeRadios[0] != nullptr) {
        if (Mode() == 1)
            m_modeRadios[1]->setEnabled(false);
        else if (Mode() == 0)
            m_modeRadios[0]->setEnabled(false);
    }
    if (const int* faces = StartFacesOf(operation))
        SetRunningFace(faces[3]);
    COperationPage::EnableStart(false);
}

void COperationPage::ReleaseRunLock(int operation)
{
    const SRunLock* lock = OwnLock(operation);
    if (lock == nullptr)
        return;
    if (const int* faces = StartFacesOf(operation))
        SetStartFaces(faces);
    COperationPage::EnableStart(lock->bStartAfter);
    if (PathRowReleased(*lock, Mode() == 0)) {
        for (const auto& [row, browse] : std::as_const(m_pathRowButtons)) {
            if (lock->nPathRows & row)
                browse->setEnabled(true);
        }
    }
    ReleaseOwnRun(*lock);
    if (lock->bLockDirection && m_modeRadios[0] != nullptr) {
        for (QRadioButton* radio : m_modeRadios)
            radio->setEnabled(true);
    }
}

void COperationPage::BeginRun(int operation)
{
    m_nRunOperation = operation;
    ShowValueLines(false);
    ApplyRunLock(operation);
    m_services.BeginRun(operation);
    theSettings.m_bBusy = 1;
}

void COperationPage::FinishRun(const OperationResult& result)
{
    ShowValueLines(true);
    ShowResultTexts(result);
    m_services.WriteOperationLog(result);
    // The window keeps answering during the wait after ReleaseRs, and nothing can start then:
    // the run keeps its lock, the host's part and busy until the plug-in is unloaded.
    m_run.ReleaseThen([this, result] {
        ReleaseRunLock(m_nRunOperation);
        m_services.EndRun(m_nRunOperation);
        Dialogs::MessageBox(this, ResultMessage(result), Caption(), MB_OK);
        theSettings.m_bBusy = 0;
        m_services.Reconnect();
    });
}

QString COperationPage::ResultMessage(const OperationResult& result)
{
    return result.nResult < 0 ? QStringLiteral("Download Success!") : FieldText(result.szMessage);
}
