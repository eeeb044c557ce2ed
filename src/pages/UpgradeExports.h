#pragma once
// The calls of the upgrade page's six plug-in exports with their arguments.
//
//   Upgrade    page, port, rect, dll, bin, scr, eri, nam, prl
//   Bin        page, port, rect, dll, bin
//   Src        page, port, rect, dll, scr, eri, nam, prl
//   Prl / Eri  page, port, rect, dll, nam, file, direction
//   Refurbish  page, port, rect, dll, bin, scr
#include "qpx_plugin.h"

#include <QByteArray>

class CPluginRun;

// What the exports take. Paths are in the plug-ins' encoding (COperationPage::PluginPath).
struct SUpgradeCall
{
    QpxWindow* pPage = nullptr;
    int32_t nPort = -1;
    QpxRect rect{};
    QByteArray dll, bin, scr, prl, eri;
    QByteArray file; // PRL and ERI: the file read or written
    int32_t nNam = 0;
    int32_t nDirection = 0;
};

// Calls the export of operation n (EOperation) of the loaded plug-in; false when the plug-in
// lacks it.
bool CallUpgradeExport(const CPluginRun& run, int operation, const SUpgradeCall& call);
