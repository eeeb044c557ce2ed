#pragma once
// The six operations of the upgrade page, one row each by operation number (EOperation): what
// the page shows for it (title, Start faces, which path rows are on, off or hidden), which inputs
// Start checks and in what order and the plug-in export it calls. And the checks of the inputs,
// which return the message for the page to show.
//
//   operation    export                     rows BIN SCR NAM+PRL ERI  inputs checked
//   1 Upgrade    ModelInterface_Upgrade     on   on  on      on   BIN SCR NAM PRL ERI
//   2 Bin        ModelInterface_Bin         on   off off     off  BIN
//   3 Script     ModelInterface_Src         off  on  on      on   SCR NAM PRL ERI
//   4 PRL        ModelInterface_Prl         --   --  on      off  direction NAM (PRL: Write)
//   5 ERI        ModelInterface_Eri         --   --  off     on   direction (ERI: Write)
//   9 Refurbish  ModelInterface_Refurbish   on   on  off     off  BIN SCR
//
// PRL and ERI load the plug-in before their checks; their PRL and ERI rows follow the direction.
#include "core/AppSettings.h"

#include <QString>

#include <array>

// How an operation shows a path row.
enum EUpgradeRow : int
{
    ROW_ENABLED,
    ROW_DISABLED,
    ROW_HIDDEN
};

// The inputs Start checks.
enum EUpgradeInput : int
{
    INPUT_NONE = 0, // ends an operation's list of inputs
    INPUT_BIN = 1,
    INPUT_SCRIPT = 2,
    INPUT_PRL = 3,
    INPUT_ERI = 4,
    INPUT_NAM = 5,
    INPUT_DIRECTION = 6,
};

struct SUpgradeOperation
{
    int nOperation; // EOperation
    const char* exportName;
    int nTitle;
    std::array<int, 4> faces; // Start: mouse-over, normal, checked, disabled (the running face)
    EUpgradeRow bin, scr, namPrl, eri;
    std::array<EUpgradeInput, 5> inputs; // in checking order, INPUT_NONE after the last
    bool bLastInputForWrite;             // the last input is checked only for Write
    bool bReadFirst;                     // the plug-in is loaded before the inputs are checked
    bool bRowsFollowDirection;           // the PRL and ERI rows follow the direction radios
    bool bFirmware;                      // writes the handset's firmware (possible in download mode)
};

// The row of operation n (EOperation), or null for one the upgrade page does not run.
const SUpgradeOperation* UpgradeOperationOf(int operation);

// The file inputs: their file dialog, messages and remembered path.
struct SUpgradeFile
{
    const char* title;
    const char* initialName;
    const char* filter;
    const char* empty;
    const char* invalid;
    QString CAppSettings::*field;
};
// The file input of kind INPUT_BIN..INPUT_ERI, or null.
const SUpgradeFile* UpgradeFileOf(int kind);

// What the page's inputs hold when they are checked.
struct SUpgradeInputs
{
    std::array<QString, 4> paths;      // BIN, SCR, PRL, ERI
    std::array<bool, 4> pathEnabled{}; // the path box takes input
    int nNam = -1;                     // the NAM radio checked (0..2), -1 for none
    int nDirection = -1;               // 1 Read, 0 Write, -1 for none
};

// Empty when the input of kind is good, else the message for the user: an enabled path box that
// is empty, a file that cannot be read (readable is enough, the content is the plug-in's
// business), no NAM or no direction chosen. Other kinds are not checked here.
QString UpgradeInputProblem(int kind, const SUpgradeInputs& inputs);
