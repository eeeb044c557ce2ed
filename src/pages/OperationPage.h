#pragma once
// The part the four operation pages share: the operation status group that the plug-in drives
// while it works (progress bar, elapsed time, the status, file name and address lines) and that
// shows the result when it is done, and the two ends of a run.
//
//   BeginRun(n) ─ value lines hidden, this page's run lock, the host's part (toolbar, function
//                 list, other pages, link stopped), busy set
//   FinishRun   ─ this page's lock and the host's part released, result shown and logged,
//                 plug-in released, result told, busy cleared, link taken up again
#include "controls/PageBase.h"
#include "pages/RunLock.h"
#include "plugin/PluginRun.h"

class CSkinButton;
class IPageServices;
class QGroupBox;
class QLabel;
class QProgressBar;

class COperationPage : public CPageBase, public IPluginStatusDisplay
{
    Q_OBJECT
public:
    // name is the page's object name.
    COperationPage(QWidget* parent, IPageServices& services, ERunPage page, const QRect& rect,
                   const QString& name);
    ~COperationPage() override;

    // Start of this page: the buttons that start its runs, switched together (the settings page
    // has two, Read and Write). Enabled when all of them are.
    virtual void EnableStart(bool enable);
    bool IsStartEnabled() const;

    // IPluginStatusDisplay: the plug-in's live display.
    void SetProgress(int percent) override;
    void SetStatusText(const QString& text) override;
    void SetFileName(const QString& text) override;
    void SetAddress(const QString& text) override;
    void SetElapsed(int minutes, float seconds) override;

    // This page's part of the run lock of operation n (RunLock.h), for its own operations and
    // for those of the other pages.
    virtual void ApplyRunLock(int operation) = 0;
    virtual void ReleaseRunLock(int operation) = 0;
    // True for the operations this page runs.
    bool RunsOperation(int operation) const;

    // WM_PLUGIN_NOTIFY goes to OnPluginNotify; other messages are ignored.
    LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) final;

    // The caption of the pages' message boxes.
    static QString Caption();
    // A path as the plug-ins take it: the local 8-bit encoding of the file name.
    static QByteArray PluginPath(const QString& path);

protected:
    // The plug-in's message: only PLUGIN_DONE of a run of this page in progress is acted on.
    virtual void OnPluginNotify(WPARAM wParam, LPARAM lParam) = 0;

    // How a page draws its status group; the widgets and their names are the same on every page.
    //   group box (5, 340, nGroupWidth x 130), titled strTitle
    //   progress bar from x 15 to nBase - 80, elapsed time from nBase - 76, 64 wide (y 360, 30 high)
    //   the captions "File name ", strAddress and "Status " at x 15, nCaptionWidth wide, and
    //   their value lines from x 95 to 20 pixels before the group's right edge (y 400, 425, 450)
    struct SStatusGroupLook
    {
        QString strTitle;
        QString strAddress;
        QString strElapsed; // the elapsed-time text until the first run
        int nBase = 0;
        int nGroupWidth = 0;
        int nCaptionWidth = 150;
        bool bHideCaptions = false; // the captions hide and show with the value lines
    };
    void CreateStatusGroup(const SStatusGroupLook& look);
    // The title picture along the top of the page (none while picture is 0).
    QLabel* CreateTitle(int picture);
    // A button that starts a run of this page, named name; EnableStart switches it.
    CSkinButton* CreateStartButton(const QString& name);
    // A start button's faces: mouse-over, normal, checked, disabled; black is transparent.
    static void SetFaces(CSkinButton* button, const int* faces);
    // The face of a running start button: the disabled picture in both slots of the two-picture
    // form.
    static void SetRunningFace(CSkinButton* button, int picture);
    QGroupBox* StatusGroup() const { return m_pStatusGroup; }
    // The value lines emptied and the elapsed time set to elapsed.
    void ClearStatus(const QString& elapsed);
    static QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& rect,
                             const QString& name = QString());

    IPageServices& Services() const { return m_services; }
    // This page's lock of its own run, when the row of operation n names this page.
    const SRunLock* OwnLock(int operation) const;

    // The status, file name and address lines and the elapsed time of a finished operation.
    void ShowResultTexts(const OperationResult& result);
    // "Download Success!" for a success, else the plug-in's message.
    static QString ResultMessage(const OperationResult& result);
    // The status, file name and address values (and their captions where the look says so):
    // hidden while a run starts, shown with its result.
    void ShowValueLines(bool show);
    // The start of a run of operation n once the user has confirmed it.
    void BeginRun(int operation);
    // The end every run shares: the lock of BeginRun released, the result shown and logged, the
    // plug-in released, the result told, busy cleared, the link taken up again.
    void FinishRun(CPluginRun& run, const OperationResult& result);
    static void SetValueLine(QLabel* label, const QString& text);

    // Created by CreateStatusGroup.
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pElapsed = nullptr;
    QLabel* m_pStatusValue = nullptr;
    QLabel* m_pFileValue = nullptr;
    QLabel* m_pAddressValue = nullptr;

private:
    QGroupBox* m_pStatusGroup = nullptr;
    QList<QLabel*> m_hidingCaptions;
    QList<CSkinButton*> m_startButtons;
    IPageServices& m_services;
    ERunPage m_ePage;
    int m_nRunOperation = 0;
};
