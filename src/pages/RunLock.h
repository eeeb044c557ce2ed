#pragma once
// The operation numbers and what each operation locks while it runs, in one table. Every
// operation page applies its own part: the page that runs the operation locks its inputs and
// Start; the upgrade page also hides its value lines whatever runs; the host disables the
// toolbar and the function list.
//
//   n  operation   page       browse rows locked  NAM  direction  Start after the release
//   1  Upgrade     upgrade    BIN SCR PRL ERI      x                enabled
//   2  Bin         upgrade    BIN                                   enabled
//   3  Script      upgrade    SCR PRL ERI          x                enabled
//   4  PRL         upgrade    PRL                  x    x           enabled
//   5  ERI         upgrade    ERI                       x           with the reconnection
//   6  Settings    settings                                         enabled
//   7  Phonebook   phonebook  CSV                       x           with the reconnection
//   8  Transfer    transfer                             x           enabled
//   9  Refurbish   upgrade    BIN SCR                               with the reconnection
//
// "direction": the radio of the direction or mode not chosen is disabled, and a locked browse
// button comes back only for Write. Start shows its running face (the disabled picture in both
// slots) while it runs.
#include <QtGlobal>

enum EOperation : int
{
    OP_UPGRADE = 1,
    OP_BIN = 2,
    OP_SCRIPT = 3,
    OP_PRL = 4,
    OP_ERI = 5,
    OP_SETTINGS = 6,
    OP_PHONEBOOK = 7,
    OP_TRANSFER = 8,
    OP_REFURBISH = 9,
};

// The pages that run operations.
enum ERunPage : int
{
    RUN_PAGE_UPGRADE,
    RUN_PAGE_SETTINGS,
    RUN_PAGE_PHONEBOOK,
    RUN_PAGE_TRANSFER,
};

// Browse buttons of the path rows (the upgrade page's four, the phonebook page's CSV file).
enum EPathRow : quint8
{
    PATH_BIN = 1,
    PATH_SCR = 2,
    PATH_PRL = 4,
    PATH_ERI = 8,
    PATH_CSV = 16,
};

struct SRunLock
{
    int nOperation;
    ERunPage ePage;
    quint8 nPathRows;    // EPathRow bits whose browse buttons are disabled
    bool bLockNam;       // the NAM radios not chosen are disabled
    bool bLockDirection; // the direction (mode) radio not chosen is disabled
    bool bStartAfter;    // Start is enabled at the release; else the reconnection brings it back
};

// The row of operation n, or null for a number that is none.
const SRunLock* RunLockOf(int operation);

// The row of operation n in a table of rows keyed by their nOperation, or null.
template <typename Row, std::size_t N> const Row* OperationRowOf(const Row (&table)[N], int operation)
{
    for (const Row& row : table) {
        if (row.nOperation == operation)
            return &row;
    }
    return nullptr;
}

// A locked browse button comes back at the release unless its operation follows the direction
// and the direction is Read.
bool PathRowReleased(const SRunLock& lock, bool write);
