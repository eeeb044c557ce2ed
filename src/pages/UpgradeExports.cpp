#include "UpgradeExports.h"

#include "pages/UpgradeOperations.h"
#include "plugin/PluginRun.h"

bool CallUpgradeExport(const CPluginRun& run, int selected, const SUpgradeCall& c)
{
    switch (selected) {
    case SEL_UPGRADE:
        if (auto fn = run.Function<PFN_ModelInterface_Upgrade>(QPX_SYM_UPGRADE)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.bin.constData(), c.scr.constData(),
               c.eri.constData(), c.nNam, c.prl.constData());
            return true;
        }
        break;
    case SEL_BIN:
        if (auto fn = run.Function<PFN_ModelInterface_Bin>(QPX_SYM_BIN)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.bin.constData());
            return true;
        }
        break;
    case SEL_SCRIPT:
        if (auto fn = run.Function<PFN_ModelInterface_Src>(QPX_SYM_SRC)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.scr.constData(), c.eri.constData(), c.nNam,
               c.prl.constData());
            return true;
        }
        break;
    case SEL_PRL:
        if (auto fn = run.Function<PFN_ModelInterface_Prl>(QPX_SYM_PRL)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.nNam, c.file.constData(), c.nDirection);
            return true;
        }
        break;
    case SEL_ERI:
        if (auto fn = run.Function<PFN_ModelInterface_Eri>(QPX_SYM_ERI)) {
            fn(c.pPage, c.nPort, c.rect, c.dll.constData(), c.nNam, c.file.constData(), c.nDirection);
            return true;
        }
        break;
    case SEL_REFURBISH:
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
