#include "RunLock.h"

namespace {

constexpr SRunLock RUN_LOCKS[] = {
    {OP_UPGRADE, RUN_PAGE_UPGRADE, PATH_BIN | PATH_SCR | PATH_PRL | PATH_ERI, true, false, true},
    {OP_BIN, RUN_PAGE_UPGRADE, PATH_BIN, false, false, true},
    {OP_SCRIPT, RUN_PAGE_UPGRADE, PATH_SCR | PATH_PRL | PATH_ERI, true, false, true},
    {OP_PRL, RUN_PAGE_UPGRADE, PATH_PRL, true, true, true},
    {OP_ERI, RUN_PAGE_UPGRADE, PATH_ERI, false, true, false},
    {OP_SETTINGS, RUN_PAGE_SETTINGS, 0, false, false, true},
    {OP_PHONEBOOK, RUN_PAGE_PHONEBOOK, PATH_CSV, false, true, false},
    {OP_TRANSFER, RUN_PAGE_TRANSFER, 0, false, true, true},
    {OP_REFURBISH, RUN_PAGE_UPGRADE, PATH_BIN | PATH_SCR, false, false, false},
};

} // namespace

const SRunLock* RunLockOf(int operation)
{
    return OperationRowOf(RUN_LOCKS, operation);
}

bool PathRowReleased(const SRunLock& lock, bool write)
{
    return !lock.bLockDirection || write;
}
