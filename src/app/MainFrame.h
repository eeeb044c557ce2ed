#pragma once
// The program's one top-level window: the true-colour toolbar, the PORT / MODEL / DLL status
// panes and the "Function List" bar. It turns toolbar clicks into host commands, follows ports
// arriving and leaving, keeps the panes current from WM_FRAME_STATUS and asks before closing.
#include "platform/WindowMessage.h"

#include <QHash>
#include <QMainWindow>
#include <QSet>

#include <memory>

class QAction;
class QLabel;
class QTimer;
class CSkinToolBar;
class CFunctionListBar;
class CPageHost;
class CPortWatcher;
class IDeviceInhibitor;
struct SPortRefusal;

class CMainFrame : public QMainWindow, public IMessageReceiver
{
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // The creation steps: toolbar, panes, bar, port list, first port, version, start-of-run log.
    bool Create();

    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) override;
    void OnFrameStatus(quint32 code, LPARAM arg);

    void AutoSelectPort();
    void SelectPort(int port);
    // A device of the port type arrived or was removed (name like "COM5").
    void OnDeviceChange(bool arrival, const QString& portName);

    void EnableToolbar(bool enable);
    // Shows the Select Model button pressed while a plug-in chosen by hand is in force.
    void UpdateSelectModelButton();
    QString PaneText(int paneId) const;
    QAction* ToolbarAction(int id) const { return m_actions.value(id); }
    CFunctionListBar* FunctionBar() const { return m_pFunctionBar; }
    CPageHost* PageHost() const;
    CSkinToolBar* ToolBar() const { return m_pToolBar; }

    // Places the window without counting it as a move by the user.
    void PlaceWindow(int x, int y);
    // A termination request closes the window without the exit question; while an operation
    // runs it closes the window once the operation has ended.
    void SetCloseWithoutQuestion(bool on) { m_bCloseWithoutQuestion = on; }

    int m_nCurPort = -1;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void CreateToolBar();
    void CreateStatusPanes();
    void OnToolbarCommand(int id);
    void SetPane(int paneId, const QString& text);
    QString DllText(bool withVersion, bool checkSelected) const;
    // Closes the window as soon as no operation runs (logged).
    void CloseWhenIdle();
    // A port the worker could not open: the PORT pane says why, and the user is told (and the
    // program log written) once per port and reason.
    void OnPortRefused(const SPortRefusal& refusal);
    QString NotConnectedPortText() const;
    // A handset that answers only as a downloader: the panes say so and the firmware operations
    // may start with a plug-in chosen by hand. Other news of the link ends the mode.
    void OnDownloadMode(int port);
    void FollowDownloadMode(quint32 code);

    CFunctionListBar* m_pFunctionBar = nullptr;
    CSkinToolBar* m_pToolBar = nullptr;
    CPortWatcher* m_pPortWatcher = nullptr;
    // Keeps ModemManager off the handset while an operation runs.
    std::unique_ptr<IDeviceInhibitor> m_pInhibitor;
    QHash<int, QLabel*> m_panes;
    QHash<int, QAction*> m_actions;
    QString m_strVersion;
    QString m_strRefusedPort; // the PORT pane text of a refused port until another port is chosen or opens
    QSet<qint64> m_toldRefusals;
    bool m_bDownloadMode = false;
    bool m_bPlacing = false;
    bool m_bCloseWithoutQuestion = false;
    QTimer* m_pIdleCloser = nullptr;
};
