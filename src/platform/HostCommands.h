#pragma once
// Command codes of the program's window messages (the low 16 bits of wParam).
#include <QtGlobal>

// WM_HOST_COMMAND, handled by the page host.
enum EHostCommand : quint32
{
    HC_SELECT_MODEL_DLL = 0x1000,
    HC_SELECT_PORT = 0x1001,
    HC_UPGRADE = 0x2000,
    HC_BIN = 0x2001,
    HC_SCRIPT = 0x2002,
    HC_PRL = 0x2003,
    HC_ERI = 0x2004,
    HC_SETTINGS = 0x2005,
    HC_TRANSFER = 0x2006,
    HC_INFORMATION = 0x2007,
    HC_PHONEBOOK = 0x2008,
    HC_PORT_RESULT = 0x2009,
    HC_PHONE_STATUS = 0x200A,
    HC_DISCONNECTED = 0x200B,
    HC_PORTS_CHANGED = 0x200C,
    HC_PORT_REMOVED = 0x200D,
    HC_REFURBISH = 0x200E,
    HC_PORT_SELECTED = 0x200F,
};

// WM_LINK_COMMAND, handled by the connection strip.
enum ELinkCommand : quint32
{
    LC_START = 0x2100,
    LC_STOP = 0x2101,
    LC_GIVE_UP = 0x2102,
};

// WM_FRAME_STATUS, handled by the main frame.
enum EFrameStatus : quint32
{
    FS_MODEL_READY = 0x2103,
    FS_RESET = 0x2104,
    FS_TRYING_PORT = 0x2105,
    FS_CONNECTING = 0x2106,
    FS_PORT_CLEARED = 0x2107,
    FS_CONNECT_FAILED = 0x2109,
    // A port could not be opened because it is busy or not permitted; the payload is an
    // SPortRefusal (handset/PortRefusal.h).
    FS_PORT_REFUSED = 0x210A,
    // The handset on the port (lParam) answers only as a downloader (left in download mode).
    FS_DOWNLOAD_MODE = 0x210B,
};

// Toolbar button ids.
enum EToolbarId : int
{
    ID_SELECT_MODEL = 32775,
    ID_SELECT_PORT = 32774,
    ID_INFO = 32784,
    ID_UPGRADE = 32776,
    ID_BIN = 32777,
    ID_SCRIPT = 32778,
    ID_PRL = 32779,
    ID_ERI = 32780,
    ID_SETTING = 32781,
    ID_PHONEBOOK = 32785,
    ID_TRANSFER = 32782,
    ID_REFURBISH = 32787,
    ID_HELP = 32783,
};

// Status bar pane ids.
enum EPaneId : int
{
    ID_PANE_PORT = 61204,
    ID_PANE_DLL = 61205,
    ID_PANE_MODEL = 61206
};

inline constexpr const char* PROGRAM_VERSION = "V1.0.6";
inline constexpr const char* APP_TITLE = "KOVA QPX";
