#pragma once
// A host for an operation page under test without the main frame: it records what the page
// asks of it.
#include "pages/PageServices.h"

#include "qpx_plugin.h"

#include <QList>
#include <QString>

namespace qpxtest {

class CFakePageServices : public IPageServices
{
public:
    virtual ~CFakePageServices() = default;

    void BeginRun(int operation) override { begun.append(operation); }
    void EndRun(int operation) override { ended.append(operation); }
    void WriteOperationLog(const OperationResult& result) override { logged.append(result); }
    void Reconnect() override { ++reconnects; }
    QString HandsetSoftwareVersion() const override { return softwareVersion; }

    QList<int> begun;
    QList<int> ended;
    QList<OperationResult> logged;
    int reconnects = 0;
    QString softwareVersion;
};

} // namespace qpxtest
