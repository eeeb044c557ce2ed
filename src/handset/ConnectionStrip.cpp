#include "ConnectionStrip.h"

#include "ConnectionWorker.h"
#include "HandsetFormat.h"

#include "controls/XListCtrl.h"
#include "core/AppSettings.h"
#include "platform/HostCommands.h"
#include "plugin/CatalogueSelection.h"
#include "res/Pictures.h"
#include "serial/DiagPort.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QPalette>
#include <QPixmap>

#include <cstdio>

namespace {
Q_LOGGING_CATEGORY(lcStrip, "qpx.link")

const QColor LABEL_DARK(192, 192, 192);
const QColor LABEL_LIGHT(227, 227, 227);
const QColor STRIP_BACKGROUND(227, 227, 227);

// The five animation frames, by m_nLinkFrame mod 5.
constexpr int LINK_FRAMES[5] = {171, 140, 142, 143, 144};
} // namespace

CConnectionStrip::CConnectionStrip(QWidget* parent, QObject* frameTarget, QObject* hostTarget,
                                   std::shared_ptr<CCatalogueSelection> catalogue, const QRect& rect)
    : QWidget(parent), m_pFrameTarget(frameTarget), m_pHostTarget(hostTarget),
      m_pDiag(std::make_shared<CDiagPort>()), m_pCatalogue(std::move(catalogue))
{
    setObjectName(QStringLiteral("connectionStrip"));
    setGeometry(rect);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, STRIP_BACKGROUND);
    setPalette(pal);
    setAutoFillBackground(true);

    m_pVersionList = new CXListCtrl(this);
    m_pVersionList->setObjectName(QStringLiteral("versionList"));
    m_pVersionList->setGeometry(0, 0, rect.width() - 5, rect.height() - 31);
    m_pVersionList->SetGridLines(true);
    // Five rows and the header fit the list's 94 pixels without scroll bars.
    m_pVersionList->SetRowHeight(14);
    m_pVersionList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pVersionList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int client = m_pVersionList->width() - 2 * m_pVersionList->frameWidth();
    const char* headings[4] = {"Item", "Value", "Item", "Value"};
    for (int c = 0; c < 4; ++c)
        m_pVersionList->InsertColumn(c, QString::fromLatin1(headings[c]), Qt::AlignHCenter, client / 4);

    m_pLinkPicture = new QLabel(this);
    m_pLinkPicture->setObjectName(QStringLiteral("linkPicture"));
    m_pLinkPicture->setGeometry(rect.width() / 2 - 117, rect.height() - LINK_HEIGHT, LINK_WIDTH, LINK_HEIGHT);

    ResetVersionList(true);
}

CConnectionStrip::~CConnectionStrip()
{
    // Normally stopped by the page host already; the worker must not outlive its receivers.
    StopWorker(0, STOP_WAIT_CLOSING_MS);
}

int CConnectionStrip::LinkPort() const
{
    return m_pWorker ? m_pWorker->LinkPort() : m_nLinkPort;
}

void CConnectionStrip::customEvent(QEvent* event)
{
    if (event->type() == CMessageEvent::EventType()) {
        auto* msg = static_cast<CMessageEvent*>(event);
        if (msg->Message() == WM_LINK_UPDATE) {
            // Payload messages need their length, which OnMessage does not see.
            m_pPayload = &msg->Payload();
            DispatchMessageEvent(this, event);
            m_pPayload = nullptr;
            return;
        }
    }
    if (!DispatchMessageEvent(this, event))
        QWidget::customEvent(event);
}

bool CConnectionStrip::FromCurrentWorker(WPARAM wParam) const
{
    return m_pWorker && m_pWorker->Generation() == LinkGeneration(wParam);
}

bool CConnectionStrip::IsFromReplacedWorker(WPARAM wParam) const
{
    return LinkGeneration(wParam) != 0 && !FromCurrentWorker(wParam);
}

LRESULT CConnectionStrip::OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_LINK_UPDATE) {
        // Updates of a worker that has been stopped meanwhile are dropped.
        if (FromCurrentWorker(wParam) && m_pWorker->IsRunning())
            OnLinkUpdate(LoWord(wParam), lParam, m_pPayload ? *m_pPayload : QByteArray());
        return 0;
    }
    if (msg != WM_LINK_COMMAND)
        return 0;
    const quint32 code = LoWord(wParam);
    // The worker tags its own LC_STOP / LC_GIVE_UP; one from a worker already replaced is stale.
    if ((code == LC_STOP || code == LC_GIVE_UP) && IsFromReplacedWorker(wParam))
        return 0;
    switch (code) {
    case LC_START:
        m_nLinkPort = static_cast<int>(lParam);
        StartWorker();
        break;
    case LC_STOP:
        StopWorker(Res::IDB_LINK_IDLE, STOP_WAIT_MS);
        ResetVersionList(false);
        PostMessage(m_pHostTarget, WM_HOST_COMMAND, HC_DISCONNECTED, 0);
        break;
    case LC_GIVE_UP:
        ResetVersionList(true);
        StopWorker(Res::IDB_LINK_IDLE, STOP_WAIT_MS);
        ResetVersionList(false);
        PostMessage(m_pHostTarget, WM_HOST_COMMAND, HC_DISCONNECTED, 0);
        PostMessage(m_pFrameTarget, WM_FRAME_STATUS, FS_PORT_CLEARED, 0);
        break;
    default:
        break;
    }
    return 0;
}

void CConnectionStrip::StartWorker()
{
    // One worker per port object: a worker still there is stopped first.
    const int port = m_nLinkPort;
    if (m_pWorker)
        StopWorker(0, STOP_WAIT_MS);
    m_nLinkPort = port;
    m_nGeneration = m_nGeneration % 0xFFFF + 1;
    // A new connection: nothing of the previous handset stays in view, in the texts kept for the
    // operation log or in the MODEL pane (the model check names the model again).
    ResetVersionList(false);
    m_version = SVersionStrings();
    theSettings.Set(&CAppSettings::m_strModelName, QString());
    SLinkTargets targets;
    targets.pFrame = m_pFrameTarget;
    targets.pHost = m_pHostTarget;
    targets.pStrip = this;
    m_pWorker =
        std::make_unique<CConnectionWorker>(targets, m_pDiag, m_pCatalogue, m_nLinkPort, m_nGeneration);
    m_pWorker->Start();
}

bool CConnectionStrip::StopWorker(int pictureId, int waitMs)
{
    if (!m_pWorker)
        return false;
    m_pWorker->RequestStop();
    m_nLinkFrame = 1;
    if (pictureId != 0)
        ShowLinkPicture(pictureId);
    bool ended = m_pWorker->Wait(waitMs);
    if (!ended)
        std::fprintf(stderr, "qpx: connection worker did not end within %d ms\n", waitMs);
    // Never killed, and never waited for without end: outside plug-in code it ends within
    // milliseconds; inside (a query that blocks) it is let go, touching nothing of the program
    // when it comes back, so the windows and settings may go away under it.
    bool letGo = false;
    while (!ended && !(letGo = m_pWorker->Detach()))
        ended = m_pWorker->Wait(20);
    m_nLinkPort = m_pWorker->LinkPort();
    m_pDiag->Close();
    if (letGo)
        m_pDiag = std::make_shared<CDiagPort>(); // later workers get a port object of their own
    m_pWorker.reset();
    return true;
}

void CConnectionStrip::StopLink(ELinkStop mode)
{
    if (!m_pWorker) {
        return;
    }
    const int picture = mode == LINK_STOP_OPERATION ? Res::IDB_LINK_OPERATION : Res::IDB_LINK_IDLE;
    const int waitMs = mode == LINK_STOP_CLOSING ? STOP_WAIT_CLOSING_MS : STOP_WAIT_MS;
    StopWorker(picture, waitMs);
    qCDebug(lcStrip) << "link stopped, mode" << mode;
}

bool CConnectionStrip::IsLinkRunning() const
{
    return m_pWorker && m_pWorker->IsRunning() && !m_pWorker->IsFinished();
}

SVersionStrings CConnectionStrip::VersionStrings() const
{
    return m_version;
}

void CConnectionStrip::ResetVersionList(bool showIdle)
{
    m_pVersionList->DeleteAllItems();
    const QColor black(0, 0, 0);
    for (int row = 0; row < 5; ++row) {
        const bool dark = row % 2 == 0;
        m_pVersionList->InsertItem(row, QString::fromLatin1(VERSION_COL0_LABELS[row]));
        m_pVersionList->SetItemText(row, 0, QString::fromLatin1(VERSION_COL0_LABELS[row]), black,
                                    dark ? LABEL_DARK : LABEL_LIGHT);
        m_pVersionList->SetItemText(row, 2, QString::fromLatin1(VERSION_COL2_LABELS[row]), black,
                                    dark ? LABEL_LIGHT : LABEL_DARK);
    }
    if (showIdle)
        ShowLinkPicture(Res::IDB_LINK_IDLE);
}

void CConnectionStrip::ShowLinkPicture(int resourceId)
{
    m_nLinkPictureId = resourceId;
    m_pLinkPicture->setPixmap(QPixmap::fromImage(LoadBitmap(resourceId)));
}

void CConnectionStrip::AdvanceLinkPicture()
{
    if (m_nLinkFrame == 11)
        m_nLinkFrame = 1;
    ShowLinkPicture(LINK_FRAMES[m_nLinkFrame % 5]);
    ++m_nLinkFrame;
}

void CConnectionStrip::OnLinkUpdate(quint32 code, LPARAM lParam, const QByteArray& payload)
{
    switch (code) {
    case LU_ADVANCE_PICTURE:
        AdvanceLinkPicture();
        break;
    case LU_VERSION:
        FillVersionRows(payload);
        break;
    case LU_PRL:
        m_version.strPrlVersion = PrlVersionText(static_cast<quint16>(lParam & 0xFFFF),
                                                 static_cast<quint16>((lParam >> 16) & 0xFFFF));
        m_pVersionList->SetItemText(4, 1, m_version.strPrlVersion);
        break;
    case LU_ERI:
        m_version.strEriVersion = EriVersionText(static_cast<quint16>(lParam & 0xFFFF));
        m_pVersionList->SetItemText(4, 3, m_version.strEriVersion);
        break;
    default:
        break;
    }
}

void CConnectionStrip::FillVersionRows(const QByteArray& response)
{
    const auto* data = reinterpret_cast<const quint8*>(response.constData());
    const SVersionTexts v = VersionTexts(data, static_cast<int>(response.size()));
    m_version.strCompileDate = v.strCompileDate;
    m_pVersionList->SetItemText(0, 1, v.strCompileDate);
    m_pVersionList->SetItemText(0, 3, v.strCompileTime);
    m_version.strReleaseDate = v.strReleaseDate;
    m_pVersionList->SetItemText(1, 1, v.strReleaseDate);
    m_pVersionList->SetItemText(1, 3, v.strReleaseTime);
    m_version.strSwVersion = v.strSwVersion;
    m_pVersionList->SetItemText(2, 1, v.strSwVersion);
    m_pVersionList->SetItemText(2, 3, v.strMobileModel);
    m_version.strSlotCycle = v.strSlotCycle;
    m_pVersionList->SetItemText(3, 1, v.strSlotCycle);
    m_version.strMsmVersion = v.strMsmVersion;
    m_pVersionList->SetItemText(3, 3, v.strMsmVersion);
}
