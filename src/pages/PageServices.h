#pragma once
// What an operation page needs from the host it lives in. A page starts and ends its runs here;
// the host keeps the toolbar, the function list, the other pages' part of the run lock, the link
// to the handset and the operation log. The host outlives its pages; everything runs on the
// user-interface thread.
#include <QString>

struct OperationResult;

class IPageServices
{
public:
    // Operation (EOperation) begins: the toolbar and the function list are disabled, the other
    // pages apply their part of its run lock, the link stops (showing the operation picture) so
    // the port is free, and the operation number is kept for the operation log.
    virtual void BeginRun(int operation) = 0;
    // The operation has ended: toolbar, function list and the other pages are released.
    virtual void EndRun(int operation) = 0;
    // Appends the finished operation's block to the day's operation log.
    virtual void WriteOperationLog(const OperationResult& result) = 0;
    // Takes the link up again on the selected port (m_nPortNum).
    virtual void Reconnect() = 0;
    // The handset's software version as the version list shows it (empty when none).
    virtual QString HandsetSoftwareVersion() const = 0;

protected:
    ~IPageServices() = default;
};
