#include "UpgradeOperations.h"

#include "pages/RunLock.h"

#include "qpx_plugin.h"

#include <QFile>

namespace {

constexpr SUpgradeOperation OPERATIONS[] = {
    {OP_UPGRADE,
     QPX_SYM_UPGRADE,
     148,
     {1089, 1088, 1089, 158},
     ROW_ENABLED,
     ROW_ENABLED,
     ROW_ENABLED,
     ROW_ENABLED,
     {INPUT_BIN, INPUT_SCRIPT, INPUT_NAM, INPUT_PRL, INPUT_ERI},
     false,
     false,
     false,
     true},
    {OP_BIN,
     QPX_SYM_BIN,
     1075,
     {1081, 1080, 1081, 152},
     ROW_ENABLED,
     ROW_DISABLED,
     ROW_DISABLED,
     ROW_DISABLED,
     {INPUT_BIN},
     false,
     false,
     true,
     true},
    {OP_SCRIPT,
     QPX_SYM_SRC,
     1074,
     {1083, 1082, 1083, 156},
     ROW_DISABLED,
     ROW_ENABLED,
     ROW_ENABLED,
     ROW_ENABLED,
     {INPUT_SCRIPT, INPUT_NAM, INPUT_PRL, INPUT_ERI},
     false,
     false,
     false,
     false},
    {OP_PRL,
     QPX_SYM_PRL,
     1077,
     {1084, 1085, 1084, 155},
     ROW_HIDDEN,
     ROW_HIDDEN,
     ROW_ENABLED,
     ROW_DISABLED,
     {INPUT_DIRECTION, INPUT_NAM, INPUT_PRL},
     true,
     true,
     true,
     false},
    {OP_ERI,
     QPX_SYM_ERI,
     1076,
     {1086, 1087, 1086, 153},
     ROW_HIDDEN,
     ROW_HIDDEN,
     ROW_DISABLED,
     ROW_ENABLED,
     {INPUT_DIRECTION, INPUT_ERI},
     true,
     true,
     true,
     false},
    {OP_REFURBISH,
     QPX_SYM_REFURBISH,
     179,
     {178, 176, 178, 177},
     ROW_ENABLED,
     ROW_ENABLED,
     ROW_DISABLED,
     ROW_DISABLED,
     {INPUT_BIN, INPUT_SCRIPT},
     false,
     false,
     true,
     true},
};

const SUpgradeFile FILES[4] = {
    {"Select binary file", "*.bin", "BIN Files (*.bin)", "Select .BIN file and proceed!",
     "Invalid BIN File! Select another one!", &CAppSettings::m_strLastBinFile},
    {"Select script file", "*.scr", "SCR Files (*.scr)", "Select .Script file and proceed!",
     "Invalid SCRIPT File! Select another one!", &CAppSettings::m_strLastScrFile},
    {"Select prl file", "*.prl", "PRL Files (*.prl)", "Select .PRL file and proceed!",
     "Invalid PRL File! Select another one!", &CAppSettings::m_strLastPrlFile},
    {"Select eri file", "*.bin", "ERI Files (*.bin)", "Select .ERI file and proceed!",
     "Invalid ERI File! Select another one!", &CAppSettings::m_strLastEriFile},
};

} // namespace

const SUpgradeOperation* UpgradeOperationOf(int operation)
{
    return OperationRowOf(OPERATIONS, operation);
}

const SUpgradeFile* UpgradeFileOf(int kind)
{
    return kind >= INPUT_BIN && kind <= INPUT_ERI ? &FILES[kind - INPUT_BIN] : nullptr;
}

QString UpgradeInputProblem(int kind, const SUpgradeInputs& inputs)
{
    if (const SUpgradeFile* file = UpgradeFileOf(kind)) {
        const int i = kind - INPUT_BIN;
        const QString& path = inputs.paths[i];
        if (path.isEmpty() && inputs.pathEnabled[i])
            return QString::fromUtf8(file->empty);
        // An empty name fails here too.
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QString::fromUtf8(file->invalid);
        return {};
    }
    switch (kind) {
    case INPUT_NAM:
        return inputs.nNam >= 0 && inputs.nNam <= 2 ? QString() : QStringLiteral("Select PRL NAM!");
    case INPUT_DIRECTION:
        return inputs.nDirection == 0 || inputs.nDirection == 1
                   ? QString()
                   : QStringLiteral("Select READ or WRITE mode First!");
    default:
        return {};
    }
}
