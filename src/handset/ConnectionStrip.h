#pragma once
// The connection strip along the top of the page host: the version list, the link picture and
// the connection worker that opens the chosen port, polls the handset and checks the selected
// plug-in against its software. Driven by WM_LINK_COMMAND (LC_START, LC_STOP, LC_GIVE_UP).
//
// The worker never writes to the widgets: it posts copies of what it read (WM_LINK_UPDATE) and
// this strip fills the version list and moves the link picture on the user-interface thread.
#include "platform/WindowMessage.h"

#include <QString>
#include <QWidget>

#include <memory>

class CXListCtrl;
class QLabel;
class CDiagPort;
class CConnectionWorker;
class CCatalogueSelection;

// Why the link stops; it sets the picture StopLink shows and how long it waits for the worker.
enum ELinkStop : int
{
    LINK_STOP_IDLE = 0,      // a port changes or goes: the idle picture, up to 3000 ms
    LINK_STOP_OPERATION = 1, // an operation takes the port: the operation picture, up to 3000 ms
    LINK_STOP_CLOSING = 2,   // the program closes: the idle picture, up to 1000 ms
};

// The texts of the last version list fill, kept for the operation log.
struct SVersionStrings
{
    QString strCompileDate;
    QString strReleaseDate;
    QString strSwVersion;
    QString strSlotCycle;
    QString strMsmVersion;
    QString strPrlVersion;
    QString strEriVersion;
};

class CConnectionStrip : public QWidget, public IMessageReceiver
{
    Q_OBJECT
public:
    static constexpr int LINK_WIDTH = 229;
    static constexpr int LINK_HEIGHT = 34;
    // Waits for the worker in StopLink (LINK_STOP_CLOSING: the program closes).
    static constexpr int STOP_WAIT_MS = 3000;
    static constexpr int STOP_WAIT_CLOSING_MS = 1000;

    // The worker reports to frameTarget (WM_FRAME_STATUS) and hostTarget (WM_HOST_COMMAND) and
    // checks the plug-ins of catalogue against the handset.
    CConnectionStrip(QWidget* parent, QObject* frameTarget, QObject* hostTarget,
                     std::shared_ptr<CCatalogueSelection> catalogue, const QRect& rect);
    ~CConnectionStrip() override;

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;

    // Stops the worker, showing the picture of mode and waiting as long as mode says (ELinkStop).
    // A worker still held up in plug-in code after that is left behind (it touches nothing on
    // return).
    void StopLink(ELinkStop mode);
    // Resets the version list to its labels; with showIdle the idle link picture is shown.
    void ResetVersionList(bool showIdle);
    SVersionStrings VersionStrings() const;
    bool IsLinkRunning() const;

    CXListCtrl* VersionList() const { return m_pVersionList; }
    // The bitmap number the link picture shows now (147, 140, 142, 143, 144, 171 or 188).
    int LinkPictureId() const { return m_nLinkPictureId; }
    int LinkFrame() const { return m_nLinkFrame; }
    // The port the worker opens next (-1 for none).
    int LinkPort() const;
    // Generation of the current worker (tags its messages); 0 before the first start.
    quint32 WorkerGeneration() const { return m_nGeneration; }
    // True for a message tagged by a worker that is no longer the current one (stopped or
    // replaced): what it had queued describes another link and is dropped. Untagged: false.
    bool IsFromReplacedWorker(WPARAM wParam) const;

protected:
    void customEvent(QEvent* event) override;

private:
    void StartWorker();
    // Clears the run flag, shows the picture, waits for the worker and lets it go. Returns false
    // when no worker was there.
    bool StopWorker(int pictureId, int waitMs);
    void ShowLinkPicture(int resourceId);
    void AdvanceLinkPicture();
    void OnLinkUpdate(quint32 code, LPARAM lParam, const QByteArray& payload);
    void FillVersionRows(const QByteArray& response);
    bool FromCurrentWorker(WPARAM wParam) const;

    QObject* m_pFrameTarget;
    QObject* m_pHostTarget;
    CXListCtrl* m_pVersionList = nullptr;
    QLabel* m_pLinkPicture = nullptr;
    int m_nLinkPictureId = 0;
    int m_nLinkFrame = 1;
    int m_nLinkPort = -1;
    quint32 m_nGeneration = 0;
    SVersionStrings m_version;
    std::shared_ptr<CDiagPort> m_pDiag;
    std::unique_ptr<CConnectionWorker> m_pWorker;
    std::shared_ptr<CCatalogueSelection> m_pCatalogue;
    // The payload of the update being handled (set by customEvent for OnLinkUpdate).
    const QByteArray* m_pPayload = nullptr;
};
