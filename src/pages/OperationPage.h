#pragma once
// The part the phonebook, settings and memory transfer pages share: the operation status
// group that the plug-in drives while it works (progress bar, elapsed time, the status, file
// name and address lines) and that shows the result when it is done.
#include "app/PageBase.h"
#include "plugin/PluginRun.h"

class QLabel;
class QProgressBar;

class COperationPage : public CPageBase, public IPluginStatusDisplay
{
    Q_OBJECT
public:
    COperationPage(QWidget* parent, CPageHost* host, const QRect& rect);
    ~COperationPage() override;

    // IPluginStatusDisplay: the plug-in's live display.
    void SetProgress(int percent) override;
    void SetStatusText(const QString& text) override;
    void SetFileName(const QString& text) override;
    void SetAddress(const QString& text) override;
    void SetElapsed(int minutes, float seconds) override;

    // The caption of the pages' message boxes.
    static QString Caption();

protected:
    // The status, file name and address lines and the elapsed time of a finished operation.
    void ShowResultTexts(const OperationResult& result);
    // "Download Success!" for a success, else the plug-in's message.
    static QString ResultMessage(const OperationResult& result);
    // The status, file name and address values: hidden while a run starts, shown with its result.
    void ShowValueLines(bool show);
    // The end every run shares once the page has released its own controls: the result shown
    // and logged, the plug-in released, the result told, busy cleared, the link taken up again.
    void FinishRun(CPluginRun& run, const OperationResult& result);
    static void SetValueLine(QLabel* label, const QString& text);

    // Created by the page's layout code.
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pElapsed = nullptr;
    QLabel* m_pStatusValue = nullptr;
    QLabel* m_pFileValue = nullptr;
    QLabel* m_pAddressValue = nullptr;
};
