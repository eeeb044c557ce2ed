#pragma once
// A host for an operation page measured without the main frame: the benchmarks ask nothing of it.
#include "pages/PageServices.h"

#include <QString>

class CNoPageHost : public IPageServices
{
public:
    virtual ~CNoPageHost() = default;
    void BeginRun(int) override {}
    void EndRun(int) override {}
    void WriteOperationLog(const OperationResult&) override {}
    void Reconnect() override {}
    QString HandsetSoftwareVersion() const override { return {}; }
};
