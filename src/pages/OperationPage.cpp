#include "OperationPage.h"

#include "core/AppSettings.h"
#include "pages/OperationLog.h"
#include "pages/PageServices.h"
#include "platform/Dialogs.h"
#include "platform/HostCommands.h"

#include <QLabel>
#include <QProgressBar>

#include <cstring>

namespace {

// A text field of the result record, cut at its NUL or at the end of its array.
template <size_t N> QString FieldText(const char (&field)[N])
{
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, N)));
}

} // namespace

COperationPage::COperationPage(QWidget* parent, IPageServices& services, ERunPage page, const QRect& rect)
    : CPageBase(parent, rect), m_services(services), m_ePage(page)
{
}

COperationPage::~COperationPage() = default;

void COperationPage::SetProgress(int percent)
{
    m_pProgress->setValue(qBound(0, percent, 100));
}

// The value lines are one line wide; a longer text can still be read in full as a tool tip.
void COperationPage::SetValueLine(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setToolTip(text);
}

void COperationPage::SetStatusText(const QString& text)
{
    SetValueLine(m_pStatusValue, text);
}

void COperationPage::SetFileName(const QString& text)
{
    SetValueLine(m_pFileValue, text);
}

void COperationPage::SetAddress(const QString& text)
{
    SetValueLine(m_pAddressValue, text);
}

void COperationPage::SetElapsed(int minutes, float seconds)
{
    m_pElapsed->setText(ElapsedTimeText(minutes, seconds));
}

void COperationPage::ShowResultTexts(const OperationResult& result)
{
    SetValueLine(m_pStatusValue, FieldText(result.szStatus));
    SetValueLine(m_pFileValue, FieldText(result.szFileName));
    SetValueLine(m_pAddressValue, FieldText(result.szAddress));
    m_pElapsed->setText(ElapsedTimeText(result.nMinutes, result.fSeconds));
}

QString COperationPage::Caption()
{
    return QString::fromLatin1(APP_TITLE);
}

void COperationPage::ShowValueLines(bool show)
{
    m_pStatusValue->setVisible(show);
    m_pFileValue->setVisible(show);
    m_pAddressValue->setVisible(show);
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

void COperationPage::BeginRun(int operation)
{
    m_nRunOperation = operation;
    ShowValueLines(false);
    ApplyRunLock(operation);
    m_services.BeginRun(operation);
    theSettings.m_bBusy = 1;
}

void COperationPage::FinishRun(CPluginRun& run, const OperationResult& result)
{
    ShowValueLines(true);
    ReleaseRunLock(m_nRunOperation);
    m_services.EndRun(m_nRunOperation);
    ShowResultTexts(result);
    m_services.WriteOperationLog(result);
    run.ReleaseAndUnload();
    Dialogs::MessageBox(this, ResultMessage(result), Caption(), MB_OK);
    theSettings.m_bBusy = 0;
    m_services.Reconnect();
}

QString COperationPage::ResultMessage(const OperationResult& result)
{
    return result.nResult < 0 ? QStringLiteral("Download Success!") : FieldText(result.szMessage);
}
