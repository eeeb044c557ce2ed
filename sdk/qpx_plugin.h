/*
 * qpx_plugin.h - the contract between KOVA QPX and its model plug-ins.
 *
 * A model plug-in is a shared library (*.so) in the MODEL folder of the installation. The host
 * loads it by full path for one use (dlopen RTLD_NOW | RTLD_LOCAL), looks up the exports below by
 * name, calls them on its user-interface thread and unloads it again. This header is the only one a
 * plug-in needs; it is plain C and compiles as C11 and as C++20.
 *
 * Flow of one operation:
 *
 *   host (UI thread)                         plug-in
 *   ----------------                         -------
 *   ModelInterface_Xxx(page, port, ...) ---> start own work thread, return at once
 *                                            work thread: open the port (GetPortDevice), talk to
 *                                            the handset, draw progress through the host
 *                                            services, fill an OperationResult it owns, then
 *                                            PostPageMessage(page, WM_PLUGIN_NOTIFY, PLUGIN_DONE,
 *                                                            (intptr_t)&result)
 *   handler copies *result, shows and logs it
 *   ReleaseRs(page) ------------------------> join the work thread, free everything
 *   waits 1000 ms, unloads the library
 *
 * Every export is optional for the host except GetModelKind and GetSupportBINVersion, which a
 * library must export to be listed as a plug-in at all. An operation export that is missing makes
 * the host report the operation as not supported.
 *
 * Texts crossing the boundary are NUL-terminated 8-bit strings. Texts handed to a plug-in are
 * valid only during the call that hands them; texts a plug-in returns are copied by the host at
 * once. Paths are in the encoding of file names (UTF-8 on Linux); list cell texts are bytes that
 * the host keeps as they are (see the list services).
 */
#ifndef QPX_PLUGIN_H
#define QPX_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Marks a plug-in's exports. Build plug-ins with -fvisibility=hidden so only these are visible. */
#if defined(__GNUC__) || defined(__clang__)
#define QPX_EXPORT __attribute__((visibility("default")))
#else
#define QPX_EXPORT
#endif

/* ---------------------------------------------------------------------------------------------
 * Messages
 * ------------------------------------------------------------------------------------------- */

/* The completion message an operation page acts on: wParam PLUGIN_DONE, lParam the address of an
 * OperationResult. Pages ignore every other wParam. */
#define WM_PLUGIN_NOTIFY (0x0400 + 0x7001)
#define PLUGIN_DONE 0xF001

/* ---------------------------------------------------------------------------------------------
 * Plain records
 * ------------------------------------------------------------------------------------------- */

/* The status rectangle of the page, in page client coordinates: left 10, top 355,
 * right page width - 10, bottom 460. Passed by value. */
typedef struct QpxRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} QpxRect;

/* The outcome of one operation, 1780 bytes, no padding. Texts are NUL-terminated within their
 * arrays. nResult negative (bit 31 set) means success; otherwise the host shows szMessage. */
typedef struct OperationResult {
    int32_t nResult;       /* @0    negative = success */
    int32_t nMinutes;      /* @4    elapsed minutes */
    float fSeconds;        /* @8    elapsed seconds */
    char szMessage[1000];  /* @12   shown when nResult is not negative */
    char szStatus[256];    /* @1012 status text */
    char szFileName[256];  /* @1268 name of the file processed last */
    char szAddress[256];   /* @1524 address text */
} OperationResult;

#ifdef __cplusplus
#define QPX_STATIC_ASSERT(cond, text) static_assert(cond, text)
#else
#define QPX_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

QPX_STATIC_ASSERT(sizeof(float) == 4, "float must be 32 bits");
QPX_STATIC_ASSERT(sizeof(OperationResult) == 1780, "OperationResult must be 1780 bytes");
QPX_STATIC_ASSERT(offsetof(OperationResult, nResult) == 0, "nResult @0");
QPX_STATIC_ASSERT(offsetof(OperationResult, nMinutes) == 4, "nMinutes @4");
QPX_STATIC_ASSERT(offsetof(OperationResult, fSeconds) == 8, "fSeconds @8");
QPX_STATIC_ASSERT(offsetof(OperationResult, szMessage) == 12, "szMessage @12");
QPX_STATIC_ASSERT(offsetof(OperationResult, szStatus) == 1012, "szStatus @1012");
QPX_STATIC_ASSERT(offsetof(OperationResult, szFileName) == 1268, "szFileName @1268");
QPX_STATIC_ASSERT(offsetof(OperationResult, szAddress) == 1524, "szAddress @1524");
QPX_STATIC_ASSERT(sizeof(QpxRect) == 16, "QpxRect is four int32");

/* The model picture returned by GetModelImage. pixels holds height rows of width pixels, each
 * pixel 32 bits 0xAARRGGBB in native byte order; stride is the distance between rows in bytes
 * (at least 4 * width). The record and its pixels belong to the plug-in and must stay valid until
 * the library is unloaded; the host copies them before it returns from its GetModelImage call. */
typedef struct QpxImage {
    int32_t width;
    int32_t height;
    int32_t stride;
    const uint32_t* pixels;
} QpxImage;

/* The list control handed to ModelInterface_PhoneBook and ModelInterface_Settings. Opaque: it is
 * only ever passed back to the list services below. Valid until ReleaseRs returns. */
typedef struct QpxList QpxList;

struct QpxHostServices;

/* The page object every operation export receives first. Its first member points to the host
 * services; the rest is private to the host. Valid until ReleaseRs returns (the pages live for the
 * whole run of the program, but a plug-in must not keep the pointer beyond ReleaseRs). */
typedef struct QpxWindow {
    const struct QpxHostServices* host;
} QpxWindow;

/* ---------------------------------------------------------------------------------------------
 * Host services
 *
 * Threads: every service may be called from any thread. The host carries each one out on its
 * user-interface thread. Display services (progress, texts, elapsed time) and PostPageMessage
 * copy their arguments and return at once; the change shows a moment later. Port and list
 * services wait until the user-interface thread has done the work (called on the user-interface
 * thread itself, inside an export, they run at once).
 *
 * Once a plug-in has posted PLUGIN_DONE the host soon calls ReleaseRs and blocks its
 * user-interface thread there until the plug-in has joined its threads. A waiting service called
 * from a work thread in that window gives up and returns -1 instead of blocking for ever, so a
 * plug-in must do all its list work before it posts PLUGIN_DONE.
 *
 * Growth: the table only grows at its end. size is sizeof(QpxHostServices) as the host was built;
 * a plug-in built against a newer header checks with QPX_HAS_SERVICE before it calls a member that
 * an older host may not have.
 * ------------------------------------------------------------------------------------------- */

#define QPX_HOST_SERVICES_VERSION 2u

typedef struct QpxHostServices {
    uint32_t size;    /* sizeof(QpxHostServices) of the host */
    uint32_t version; /* QPX_HOST_SERVICES_VERSION of the host */

    /* -- Messages ------------------------------------------------------------------------- */

    /* Posts msg/wParam/lParam to the page; it is handled later on the user-interface thread.
     * Completion: PostPageMessage(page, WM_PLUGIN_NOTIFY, PLUGIN_DONE, (intptr_t)&result).
     * Ownership: the OperationResult stays the plug-in's; the page copies it when it handles
     * the message, and the plug-in keeps it valid and unchanged until ReleaseRs returns.
     * Post PLUGIN_DONE exactly once per operation call, also when the operation fails (nResult
     * not negative, szMessage says why): without it the page stays locked. Posting from inside
     * the export is allowed; the page handles the message after the export has returned.
     * Returns 1 when posted, 0 when the page is gone. Any thread. */
    int32_t (*PostPageMessage)(QpxWindow* page, uint32_t msg, uintptr_t wParam, intptr_t lParam);

    /* -- Live display inside the status rectangle --------------------------------------- */

    /* Progress bar position, 0..100 (values outside are clamped). Any thread, returns at once. */
    void (*SetProgress)(QpxWindow* page, int32_t percent);
    /* The value lines beside "Status ", "File name " and "Address ". text may be NULL (empty);
     * it is copied before the call returns. Any thread, returns at once. */
    void (*SetStatusText)(QpxWindow* page, const char* text);
    void (*SetFileName)(QpxWindow* page, const char* text);
    void (*SetAddress)(QpxWindow* page, const char* text);
    /* The elapsed-time text, shown as "%02d:%04.1f s". Any thread, returns at once. */
    void (*SetElapsed)(QpxWindow* page, int32_t minutes, float seconds);

    /* -- Ports ---------------------------------------------------------------------------- */

    /* Device path (for example "/dev/ttyUSB0" or a link in the virtual port folder) of COM
     * number port. Copies at most bufferSize - 1 bytes and a NUL into buffer (when bufferSize is
     * above 0). Returns the full length of the path without its NUL (a return of bufferSize or
     * more means the copy was cut short), or -1 when the number has no device. Any thread;
     * waits for the user-interface thread. The plug-in opens the device itself. */
    int32_t (*GetPortDevice)(QpxWindow* page, int32_t port, char* buffer, uint32_t bufferSize);

    /* -- List control (phonebook and settings) --------------------------------------------
     * Rows and columns count from 0. A row or column out of range makes the call do nothing and
     * return -1. All wait for the user-interface thread. The QpxList pointer is valid until
     * ReleaseRs returns.
     * Cell texts (and drop-down choices) are bytes, kept byte for byte: ListGetText gives back
     * exactly what ListSetText or ListInsertRow put in, also in an 8-bit code page such as CP949
     * or Latin-1 (a phonebook CSV is taken as its bytes). The list shows a text as UTF-8 where it
     * is valid UTF-8 and every other byte as a replacement mark. */

    int32_t (*ListRowCount)(QpxList* list);
    int32_t (*ListColumnCount)(QpxList* list);
    /* Copies the cell's text like GetPortDevice copies a path; returns its full length or -1. */
    int32_t (*ListGetText)(QpxList* list, int32_t row, int32_t column, char* buffer, uint32_t bufferSize);
    /* Sets the cell's text (copied; NULL means empty). Returns 1, or -1 when out of range. */
    int32_t (*ListSetText)(QpxList* list, int32_t row, int32_t column, const char* text);
    /* Inserts a row at index row (0..row count; -1 appends) with text in column 0 and the other
     * cells empty. Returns the index of the new row, or -1. */
    int32_t (*ListInsertRow)(QpxList* list, int32_t row, const char* text);
    /* Deletes one row (with its editor definitions). Returns 1, or -1. */
    int32_t (*ListDeleteRow)(QpxList* list, int32_t row);
    /* Deletes every row (and every editor definition). Returns 1. */
    int32_t (*ListDeleteAllRows)(QpxList* list);

    /* In-place editor definitions of the settings grid, one per cell; a later definition for the
     * same cell replaces the earlier one. Only the PARAMETER columns (1 and 2) take editors; the
     * phonebook list takes none (these return -1 there). Texts are copied. Return 1 or -1. */

    /* A drop-down offering count fixed texts. */
    int32_t (*GridAddComboEditor)(QpxList* list, int32_t row, int32_t column, const char* const* texts,
                                  int32_t count);
    /* An edit field. allowedChars: the characters that may be typed (NULL or "" = any).
     * minLength: shortest text accepted when the field is left (0 = no minimum).
     * byteWidth: 1..4 = the text must read as a number (decimal, or hexadecimal with "0x") that
     * fits that many bytes; 0 = no number rule. */
    int32_t (*GridAddEditEditor)(QpxList* list, int32_t row, int32_t column, const char* allowedChars,
                                 int32_t minLength, int32_t byteWidth);
    /* An IP address field; its result is written as "%d.%d.%d.%d". */
    int32_t (*GridAddIpEditor)(QpxList* list, int32_t row, int32_t column);
    /* Removes every editor definition of the list (rows stay). Returns 1. */
    int32_t (*GridClearEditors)(QpxList* list);

    /* -- Added in version 2 -------------------------------------------------------------- */

    /* An edit field for a text of a fixed size: allowedChars and minLength as for
     * GridAddEditEditor, no number rule, and the text takes at most maxBytes bytes in UTF-8
     * (0 = no limit). Typing, pasting or dropping more is refused while the user edits. */
    int32_t (*GridAddTextEditor)(QpxList* list, int32_t row, int32_t column, const char* allowedChars,
                                 int32_t minLength, int32_t maxBytes);
} QpxHostServices;

/* True when host offers member (the table is long enough and the entry is set). */
#define QPX_HAS_SERVICE(host, member)                                                              \
    ((host) != NULL &&                                                                             \
     (host)->size >= offsetof(QpxHostServices, member) + sizeof((host)->member) &&                 \
     (host)->member != NULL)

/* ---------------------------------------------------------------------------------------------
 * Exports
 *
 * Operation exports: called on the host's user-interface thread, they must return at once (start
 * a thread for the work). Their return value is not used. Leading arguments:
 *   page    - the calling page, receiver of WM_PLUGIN_NOTIFY; valid until ReleaseRs returns
 *   port    - the COM number of the handset (1..256); the host's own link has released it
 *   rect    - the status rectangle, by value
 *   dllPath - the plug-in's own full path
 * Paths and texts are valid only during the call: copy what the work thread needs.
 * nam: 0 = NAM 1, 1 = NAM 2, 2 = both. direction and mode: 1 = read from the handset (Transfer:
 * backup), 0 = write to it (Transfer: restore).
 *
 * ReleaseRs: called on the user-interface thread after the page has handled PLUGIN_DONE. Every
 * thread the plug-in started must have ended before it returns; the host unloads the library
 * 1000 ms later, so nothing of the plug-in may run after that. Also the end of the lifetime of the
 * OperationResult handed with PLUGIN_DONE, of page and of any QpxList.
 * Without ReleaseRs, or when the host ends before PLUGIN_DONE, nothing tells the host that the
 * plug-in's threads have ended: the library then stays loaded until the process ends, and page
 * and QpxList stay valid but no longer reach the page. The library's static objects are then
 * destroyed at process exit, possibly while a work thread runs: they must not abort there (join
 * the thread).
 * ------------------------------------------------------------------------------------------- */

typedef int32_t (*PFN_ModelInterface_Upgrade)(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                               const char* binPath, const char* scrPath, const char* eriPath,
                                               int32_t nam, const char* prlPath);
typedef int32_t (*PFN_ModelInterface_Bin)(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           const char* binPath);
typedef int32_t (*PFN_ModelInterface_Src)(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           const char* scrPath, const char* eriPath, int32_t nam,
                                           const char* prlPath);
/* prlPath: with direction 0 the file to write; with direction 1 the file to create, which for
 * nam 2 ends in "/nam?_prl_000#.prl" (the plug-in puts the NAM digits in place of ? and #). */
typedef int32_t (*PFN_ModelInterface_Prl)(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           int32_t nam, const char* prlPath, int32_t direction);
typedef int32_t (*PFN_ModelInterface_Eri)(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           int32_t nam, const char* eriPath, int32_t direction);
typedef int32_t (*PFN_ModelInterface_Refurbish)(QpxWindow* page, int32_t port, QpxRect rect,
                                                 const char* dllPath, const char* binPath,
                                                 const char* scrPath);
/* mode 1: read the handset's phonebook into csvPath; mode 0: write csvPath into the handset.
 * list: the page's seven-column phonebook list (Name, Mobile1, Home, Work, E-Mail1, Mobile2,
 * E-Mail2). */
typedef int32_t (*PFN_ModelInterface_PhoneBook)(QpxWindow* page, int32_t port, QpxRect rect,
                                                 const char* dllPath, int32_t mode, const char* csvPath,
                                                 QpxList* list);
/* category 0..13; reserved is always 0; list: the category's three-column grid (Item Name,
 * PARAMETER1, PARAMETER2) whose rows are the catalogue's items in order. */
typedef int32_t (*PFN_ModelInterface_Settings)(QpxWindow* page, int32_t port, QpxRect rect,
                                                const char* dllPath, int32_t category, int32_t direction,
                                                int32_t reserved, QpxList* list);
/* mode 1 backup, 0 restore; itemMask bit 0 all items, 1 phonebook, 2 messages, 3 calendar,
 * 4 user interface data. The work folder is TRANS_BK beside dllPath. Before a backup over an
 * earlier one the host moves the earlier TRANS_BK aside (and puts it back if the backup fails), so
 * a backup creates TRANS_BK when it is missing. */
typedef int32_t (*PFN_ModelInterface_Transfer)(QpxWindow* page, int32_t port, QpxRect rect,
                                                const char* dllPath, int32_t mode, uint32_t itemMask);

/* Query exports: any thread the host likes (it uses its user-interface thread and its connection
 * worker), no arguments. The texts are the plug-in's and stay valid while the library is loaded;
 * the host copies them at once. */
typedef const char* (*PFN_GetModelKind)(void);           /* model name */
typedef const char* (*PFN_GetSupportBINVersion)(void);   /* handset software version served */
typedef const QpxImage* (*PFN_GetModelImage)(void);      /* optional; NULL = no picture */
typedef void (*PFN_ReleaseRs)(QpxWindow* page);          /* optional */

QPX_EXPORT int32_t ModelInterface_Upgrade(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                          const char* binPath, const char* scrPath, const char* eriPath,
                                          int32_t nam, const char* prlPath);
QPX_EXPORT int32_t ModelInterface_Bin(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      const char* binPath);
QPX_EXPORT int32_t ModelInterface_Src(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      const char* scrPath, const char* eriPath, int32_t nam, const char* prlPath);
QPX_EXPORT int32_t ModelInterface_Prl(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      int32_t nam, const char* prlPath, int32_t direction);
QPX_EXPORT int32_t ModelInterface_Eri(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                      int32_t nam, const char* eriPath, int32_t direction);
QPX_EXPORT int32_t ModelInterface_Refurbish(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                            const char* binPath, const char* scrPath);
QPX_EXPORT int32_t ModelInterface_PhoneBook(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                            int32_t mode, const char* csvPath, QpxList* list);
QPX_EXPORT int32_t ModelInterface_Settings(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           int32_t category, int32_t direction, int32_t reserved,
                                           QpxList* list);
QPX_EXPORT int32_t ModelInterface_Transfer(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                           int32_t mode, uint32_t itemMask);
QPX_EXPORT const char* GetModelKind(void);
QPX_EXPORT const char* GetSupportBINVersion(void);
QPX_EXPORT const QpxImage* GetModelImage(void);
QPX_EXPORT void ReleaseRs(QpxWindow* page);

/* The plug-in's version text, for example "1, 0, 2, 3" (shown as "1.0.2.3"). A data export:
 * define it in one source file of the plug-in as
 *     const char QpxFileVersion[] = "1, 0, 2, 3";
 * The host reads it by name; a plug-in without it shows an empty version. */
QPX_EXPORT extern const char QpxFileVersion[];

/* Export names as the host looks them up. */
#define QPX_SYM_UPGRADE "ModelInterface_Upgrade"
#define QPX_SYM_BIN "ModelInterface_Bin"
#define QPX_SYM_SRC "ModelInterface_Src"
#define QPX_SYM_PRL "ModelInterface_Prl"
#define QPX_SYM_ERI "ModelInterface_Eri"
#define QPX_SYM_REFURBISH "ModelInterface_Refurbish"
#define QPX_SYM_PHONEBOOK "ModelInterface_PhoneBook"
#define QPX_SYM_SETTINGS "ModelInterface_Settings"
#define QPX_SYM_TRANSFER "ModelInterface_Transfer"
#define QPX_SYM_MODEL_KIND "GetModelKind"
#define QPX_SYM_SUPPORT_BIN_VERSION "GetSupportBINVersion"
#define QPX_SYM_MODEL_IMAGE "GetModelImage"
#define QPX_SYM_RELEASE_RS "ReleaseRs"
#define QPX_SYM_FILE_VERSION "QpxFileVersion"

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QPX_PLUGIN_H */
