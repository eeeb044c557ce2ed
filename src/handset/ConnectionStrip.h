#pragma once
// The connection strip along the top of the page host: the version list, the link picture and
// the connection worker that opens the chosen port, polls the handset and checks the selected
// plug-in against its software. Driven by WM_LINK_COMMAND (LC_START, LC_STOP, LC_GIVE_UP).
#include "platform/WindowMessage.h"

#include <QString>
#include <QWidget>

class CPageHost;
class CMainFrame;

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
    CConnectionStrip(QWidget* parent, CPageHost* host, CMainFrame* frame, const QRect& rect);
    ~CConnectionStrip() override;

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;

    // Stops the worker: mode 1 shows the operation picture (an operation takes the port),
    // modes 0 and 2 the idle one; mode 2 waits at most 1000 ms, the others 3000 ms.
    void StopLink(int mode);
    // Resets the version list to its labels; with showIdle the idle link picture is shown.
    void ResetVersionList(bool showIdle);
    SVersionStrings VersionStrings() const;
    bool IsLinkRunning() const;

protected:
    void customEvent(QEvent* event) override;

private:
    CPageHost* m_pHost;
    CMainFrame* m_pFrame;
};
