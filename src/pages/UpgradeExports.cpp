#include "UpgradeExports.h"

#include "pages/RunLock.h"
#include "plugin/PluginRun.h"

bool CallUpgradeExport(const CPluginRun& run, int operation, const SUpgradeCall& c)
{
    switch (operation) {
    case OP_UPGRADE:
        if (auto fn = run.Function<PFN_ModelInterface_Upgrade>(QPX_SYM_UPGRADE)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.bin.constData(), c.scr.constData(),
               c.eri.constData(), c.nNam, c.prl.constData());
            return true;
        }
        break;
    case OP_BIN:
        if (auto fn = run.Function<PFN_ModelInterface_Bin>(QPX_SYM_BIN)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.bin.constData());
            return true;
        }
        break;
    case OP_SCRIPT:
        if (auto fn = run.Function<PFN_ModelInterface_Src>(QPX_SYM_SRC)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.scr.constData(), c.eri.constData(), c.nNam,
               c.prl.constData());
            return true;
        }
        break;
    case OP_PRL:
        if (auto fn = run.Function<PFN_ModelInterface_Prl>(QPX_SYM_PRL)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.nNam, c.file.constData(), c.nDirection);
            return true;
        }
        break;
    case OP_ERI:
        if (auto fn = run.Function<PFN_ModelInterface_Eri>(QPX_SYM_ERI)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.nNam, c.file.constData(), c.nDirection);
            return true;
        }
        break;
    case OP_REFURBISH:
        if (auto fn = run.Function<PFN_ModelInterface_Refurbish>(QPX_SYM_REFURBISH)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.bin.constData(), c.scr.constData());
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}
