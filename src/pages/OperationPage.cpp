#include "OperationPage.h"

#include "pages/OperationLog.h"

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

COperationPage::COperationPage(QWidget* parent, CPageHost* host, const QRect& rect)
    : CPageBase(parent, host, rect)
{
}

COperationPage::~COperationPage() = default;

void COperationPage::SetProgress(int percent)
{
    m_pProgress->setValue(qBound(0, percent, 100));
}

void COperationPage::SetStatusText(const QString& text)
{
    m_pStatusValue->setText(text);
}

void COperationPage::SetFileName(const QString& text)
{
    m_pFileValue->setText(text);
}

void COperationPage::SetAddress(const QString& text)
{
    m_pAddressValue->setText(text);
}

void COperationPage::SetElapsed(int minutes, float seconds)
{
    m_pElapsed->setText(ElapsedTimeText(minutes, seconds));
}

void COperationPage::ShowResultTexts(const OperationResult& result)
{
    m_pStatusValue->setText(FieldText(result.szStatus));
    m_pFileValue->setText(FieldText(result.szFileName));
    m_pAddressValue->setText(FieldText(result.szAddress));
    m_pElapsed->setText(ElapsedTimeText(result.nMinutes, result.fSeconds));
}

QString COperationPage::ResultMessage(const OperationResult& result)
{
    return result.nResult < 0 ? QStringLiteral("Download Success!") : FieldText(result.szMessage);
}
