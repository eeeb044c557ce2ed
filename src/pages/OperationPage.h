#pragma once
// The part the four operation pages share: the plug-in of their runs, the operation status group
// that the plug-in drives while it works (progress bar, elapsed time, the status, file name and
// address lines) and that shows the result when it is done, the two ends of a run with the common
// part of the run lock, and for the pages with two modes the mode, its radios and Start's faces.
//
//   BeginRun(n) ─ value lines hidden, this page's run lock, the host's part (toolbar, function
//                 list, other pages, link stopped), busy set
//   FinishRun   ─ result shown and logged, ReleaseRs; after the wait (the event loop runs, the
//                 run still locked and busy): unloaded, this page's lock and the host's part
//                 released, result told, busy cleared, link taken up again
#include "controls/PageBase.h"
#include "pages/RunLock.h"
#include "plugin/PluginRun.h"

#include <array>
#include <utility>

class CSkinButton;
class CXListCtrl;
class IPageServices;
class QGroupBox;
class QLabel;
class QProgressBar;
class QRadioButton;

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
    // for those of the other pages. Its own run locks the browse buttons of its path rows, the
    // radio of the mode not chosen and Start (with its running face), and what LockOwnRun adds.
    virtual void ApplyRunLock(int operation);
    virtual void ReleaseRunLock(int operation);
    // True for the operations this page runs.
    bool RunsOperation(int operation) const;
    // The handset is gone: the value lines are emptied, the elapsed time shows its reset text.
    virtual void ResetStatus();
    // The mode chosen on a page with two: 1 Read (Backup), 0 Write (Restore), -1 none.
    virtual int Mode() const { return m_nMode; }
    // A plug-in of this page is loaded (from Start until its run is released).
    bool IsRunning() const { return m_run.IsLoaded(); }
    // The picture shown in every slot of Start while the face is a running one, else 0.
    int RunningFace() const { return m_nRunningFace; }

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
        QString strElapsed;      // the elapsed-time text until the first run
        QString strResetElapsed; // and after ResetStatus
        int nBase = 0;
        int nGroupWidth = 0;
        int nCaptionWidth = 150;
        bool bHideCaptions = false; // the captions hide and show with the value lines
    };
    void CreateStatusGroup(const SStatusGroupLook& look);
    // A list of this page, named name, with grid lines and full-row selection.
    CXListCtrl* CreateList(const QString& name, const QRect& rect, int rowHeight);
    // The bottom of a page with one Start: Start across the page (3, 290, width - 10, 40), named
    // startButton, and under it the status group as wide, its elapsed time 76 pixels before the
    // page's right edge showing elapsed until the first run.
    CSkinButton* CreateWideStartAndStatus(const QString& title, const QString& address,
                                          const QString& elapsed = QString());
    // The title picture along the top of the page (none while picture is 0).
    QLabel* CreateTitle(int picture);
    // A button that starts a run of this page, named name; EnableStart switches it.
    CSkinButton* CreateStartButton(const QString& name);
    // The faces of the page's one start button: mouse-over, normal, checked, disabled; black is
    // transparent.
    void SetStartFaces(const int* faces);
    // The faces of Start for a run of operation n, or null where Start keeps its faces; by
    // default those of the mode chosen.
    virtual const int* StartFacesOf(int operation) const;
    // The radios of the two modes (Mode 1 and 0): a run of this page that follows the direction
    // disables the one not chosen.
    void SetModeRadios(QRadioButton* first, QRadioButton* second);
    // The two mode radios side by side at height y (x 165 and 365, 90 x 20), named after their
    // texts ("Read": readRadio), and Start's faces for each mode.
    std::pair<QRadioButton*, QRadioButton*> CreateModeRadios(const QString& first, const QString& second,
                                                             int y, const int* firstFaces,
                                                             const int* secondFaces);
    // Mode 1 or 0 chosen, with its faces on Start.
    void SetMode(int mode);
    // The browse button of a path row (EPathRow) that the run lock names.
    void SetPathRowButton(EPathRow row, QWidget* browse);
    // What a page's own run locks besides the common part, and gives back at the release.
    virtual void LockOwnRun(const SRunLock& lock);
    virtual void ReleaseOwnRun(const SRunLock& lock);
    QGroupBox* StatusGroup() const { return m_pStatusGroup; }
    static QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& rect,
                             const QString& name = QString());

    IPageServices& Services() const { return m_services; }

    // The status, file name and address lines and the elapsed time of a finished operation.
    void ShowResultTexts(const OperationResult& result);
    // "Download Success!" for a success, else the plug-in's message.
    static QString ResultMessage(const OperationResult& result);
    // The status, file name and address values (and their captions where the look says so):
    // hidden while a run starts, shown with its result.
    void ShowValueLines(bool show);
    // The start of a run of operation n once the user has confirmed it.
    void BeginRun(int operation);
    // The end every run shares: the result shown and logged, the plug-in released; after the
    // wait that follows ReleaseRs, the lock of BeginRun released, the result told, busy cleared,
    // the link taken up again.
    void FinishRun(const OperationResult& result);

    // The plug-in of this page's runs.
    CPluginRun m_run;

private:
    // The value lines of the status group, in the order they stand.
    enum EValueLine : int
    {
        LINE_FILE,
        LINE_ADDRESS,
        LINE_STATUS,
    };

    // This page's lock of its own run, when the row of operation n names this page.
    const SRunLock* OwnLock(int operation) const;
    // The running face: the disabled picture in both slots of the two-picture form.
    void SetRunningFace(int picture);
    CSkinButton* StartButton() const;

    // Created by CreateStatusGroup.
    QGroupBox* m_pStatusGroup = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pElapsed = nullptr;
    std::array<QLabel*, 3> m_valueLines{}; // by EValueLine
    QList<QLabel*> m_hidingCaptions;
    QList<CSkinButton*> m_startButtons;
    // Of the pages with two modes: 1 Read (Backup), 0 Write (Restore), the number the plug-ins
    // take.
    int m_nMode = 1;
    std::array<QRadioButton*, 2> m_modeRadios{};
    std::array<const int*, 2> m_modeFaces{};
    QList<std::pair<EPathRow, QWidget*>> m_pathRowButtons;
    IPageServices& m_services;
    ERunPage m_ePage;
    int m_nRunOperation = 0;
    int m_nRunningFace = 0;
    QString m_strResetElapsed;
};
