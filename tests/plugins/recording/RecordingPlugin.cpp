// A model plug-in for the tests: it does no handset work, it records every call.
//
// Each export appends one line to the file named by QPX_REC_LOG (nothing when unset), e.g.
//   Prl page=1 port=5 rect=10,355,590,460 dll=/x/MODEL/a.so nam=2 file=/d/nam?_prl_000#.prl dir=1
// Every operation export then starts a work thread that waits QPX_REC_DELAY_MS (default 50),
// updates the live display through the host services and posts PLUGIN_DONE with an
// OperationResult whose nResult is QPX_REC_RESULT (default -1) and whose message is
// QPX_REC_MESSAGE. ReleaseRs joins the thread.
//
// The model name is "REC-MODEL". Other knobs: QPX_REC_BINVER (supported version, default
// "VKQ100A1"), QPX_REC_BACKUP=1 (a transfer backup creates in TRANS_BK beside the
// plug-in the data of the masked items and the marker "<supported version>.pp"),
// QPX_REC_BLOCK_QUERY=<file> (GetModelKind called off the program's main thread, as the
// connection's model check calls it, logs "GetModelKind blocked" and waits until <file> exists,
// for ever when it never does; then it logs "GetModelKind returned").
// Compile-time variants leave exports out: QPX_REC_NO_RELEASE, QPX_REC_NO_BIN, QPX_REC_NO_KIND,
// QPX_REC_NO_BINVER, QPX_REC_NO_FILE_VERSION.
#include "qpx_plugin.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::mutex g_logMutex;

const char* Env(const char* name, const char* fallback)
{
    const char* v = std::getenv(name);
    return (v != nullptr && *v != '\0') ? v : fallback;
}

std::string Part(const char* s)
{
    return s != nullptr ? std::string(s) : std::string("(null)");
}

void Log(const std::string& line)
{
    const char* path = std::getenv("QPX_REC_LOG");
    if (path == nullptr || *path == '\0')
        return;
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::string Part(int64_t n)
{
    return std::to_string(n);
}

int32_t RowCount(QpxWindow* page, QpxList* list)
{
    if (page == nullptr || list == nullptr || !QPX_HAS_SERVICE(page->host, ListRowCount))
        return -1;
    return page->host->ListRowCount(list);
}

// The one operation in flight. The thread is joined by ReleaseRs, before the next operation, and
// at the latest when the library is unloaded (the variant without ReleaseRs relies on that).
struct SWorker
{
    std::thread thread;
    ~SWorker() { Join(); }
    void Join()
    {
        if (thread.joinable())
            thread.join();
    }
};

SWorker g_worker;
OperationResult g_result;

void Work(QpxWindow* page, std::string name, std::string file)
{
    const int delay = std::atoi(Env("QPX_REC_DELAY_MS", "50"));
    if (delay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));

    const QpxHostServices* host = page != nullptr ? page->host : nullptr;
    if (QPX_HAS_SERVICE(host, SetElapsed)) { // the last of the live display's services
        host->SetProgress(page, 100);
        host->SetStatusText(page, (name + " running").c_str());
        host->SetFileName(page, file.c_str());
        host->SetAddress(page, "0x00001000");
        host->SetElapsed(page, 0, 0.5f);
    }

    std::memset(&g_result, 0, sizeof g_result);
    g_result.nResult = static_cast<int32_t>(std::strtol(Env("QPX_REC_RESULT", "-1"), nullptr, 0));
    g_result.nMinutes = 2;
    g_result.fSeconds = 5.34f;
    std::snprintf(g_result.szMessage, sizeof g_result.szMessage, "%s", Env("QPX_REC_MESSAGE", ""));
    std::snprintf(g_result.szStatus, sizeof g_result.szStatus, "%s done", name.c_str());
    std::snprintf(g_result.szFileName, sizeof g_result.szFileName, "%s", file.c_str());
    std::snprintf(g_result.szAddress, sizeof g_result.szAddress, "0x00002000");
    if (QPX_HAS_SERVICE(host, PostPageMessage))
        host->PostPageMessage(page, WM_PLUGIN_NOTIFY, PLUGIN_DONE, reinterpret_cast<intptr_t>(&g_result));
}

// The files a real plug-in would leave behind, for the transfer page tests.
void WriteBackup(const std::string& dllPath, uint32_t mask)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path work = fs::path(dllPath).parent_path() / "TRANS_BK";
    fs::create_directories(work, ec);
    // Bit 0 of the mask is every item; the marker (all bits) is always written.
    const std::pair<uint32_t, std::string> files[] = {
        {2u, "pim"},      {4u, "sms"},
        {4u, "MMS"},      {8u, "brew/mod/iwsapp/schedule"},
        {16u, "ui.data"}, {~0u, std::string(Env("QPX_REC_BINVER", "VKQ100A1")) + ".pp"}};
    for (const auto& [bit, name] : files) {
        if (bit != ~0u && (mask & (bit | 1u)) == 0)
            continue;
        fs::create_directories((work / name).parent_path(), ec);
        std::ofstream(work / name, std::ios::binary) << "rec";
    }
}

// Logs "<name> page=.. port=.. rect=l,t,r,b dll=.." and then the parts, and starts the work.
template <typename... Parts>
int32_t Record(QpxWindow* page, int32_t port, QpxRect rect, const char* dll, const char* name,
               const char* file, const Parts&... parts)
{
    Log(std::string(name) + " page=" + (page != nullptr ? "1" : "0") + " port=" + std::to_string(port) +
        " rect=" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
        std::to_string(rect.right) + "," + std::to_string(rect.bottom) + " dll=" + Part(dll) +
        (Part(parts) + ... + std::string()));
    g_worker.Join();
    g_worker.thread = std::thread(Work, page, std::string(name), Part(file));
    return 1;
}

} // namespace

#ifndef QPX_REC_NO_FILE_VERSION
const char QpxFileVersion[] = "1, 0, 2, 3";
#endif

#ifndef QPX_REC_NO_KIND
const char* GetModelKind(void)
{
    Log("GetModelKind");
    const char* release = std::getenv("QPX_REC_BLOCK_QUERY");
    if (release != nullptr && *release != '\0' && syscall(SYS_gettid) != getpid()) {
        Log("GetModelKind blocked");
        while (!std::filesystem::exists(release))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Log("GetModelKind returned");
    }
    return "REC-MODEL";
}
#endif

#ifndef QPX_REC_NO_BINVER
const char* GetSupportBINVersion(void)
{
    static char text[256];
    Log("GetSupportBINVersion");
    std::snprintf(text, sizeof text, "%s", Env("QPX_REC_BINVER", "VKQ100A1"));
    return text;
}
#endif

// A 4 x 3 picture with padded rows: pixel (x, y) = 0xFF0000YX.
const QpxImage* GetModelImage(void)
{
    static uint32_t pixels[3 * 5];
    static QpxImage image{4, 3, 5 * 4, pixels};
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            pixels[y * 5 + x] = x < 4 ? (0xFF000000u | (y << 8) | x) : 0xDEADBEEFu;
    Log("GetModelImage");
    return &image;
}

#ifndef QPX_REC_NO_RELEASE
void ReleaseRs(QpxWindow* page)
{
    g_worker.Join();
    Log(std::string("ReleaseRs page=") + (page != nullptr ? "1" : "0"));
}
#endif

int32_t ModelInterface_Upgrade(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                               const char* binPath, const char* scrPath, const char* eriPath, int32_t nam,
                               const char* prlPath)
{
    return Record(page, port, rect, dllPath, "Upgrade", binPath, " bin=", binPath, " scr=", scrPath,
                  " eri=", eriPath, " nam=", nam, " prl=", prlPath);
}

#ifndef QPX_REC_NO_BIN
int32_t ModelInterface_Bin(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                           const char* binPath)
{
    return Record(page, port, rect, dllPath, "Bin", binPath, " bin=", binPath);
}
#endif

int32_t ModelInterface_Src(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                           const char* scrPath, const char* eriPath, int32_t nam, const char* prlPath)
{
    return Record(page, port, rect, dllPath, "Src", scrPath, " scr=", scrPath, " eri=", eriPath, " nam=", nam,
                  " prl=", prlPath);
}

int32_t ModelInterface_Prl(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath, int32_t nam,
                           const char* prlPath, int32_t direction)
{
    return Record(page, port, rect, dllPath, "Prl", prlPath, " nam=", nam, " file=", prlPath,
                  " dir=", direction);
}

int32_t ModelInterface_Eri(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath, int32_t nam,
                           const char* eriPath, int32_t direction)
{
    return Record(page, port, rect, dllPath, "Eri", eriPath, " nam=", nam, " file=", eriPath,
                  " dir=", direction);
}

int32_t ModelInterface_Refurbish(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                 const char* binPath, const char* scrPath)
{
    return Record(page, port, rect, dllPath, "Refurbish", binPath, " bin=", binPath, " scr=", scrPath);
}

int32_t ModelInterface_PhoneBook(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                 int32_t mode, const char* csvPath, QpxList* list)
{
    return Record(page, port, rect, dllPath, "PhoneBook", csvPath, " mode=", mode, " csv=", csvPath,
                  " rows=", RowCount(page, list));
}

int32_t ModelInterface_Settings(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                int32_t category, int32_t direction, int32_t reserved, QpxList* list)
{
    return Record(page, port, rect, dllPath, "Settings", "", " category=", category, " dir=", direction,
                  " reserved=", reserved, " rows=", RowCount(page, list));
}

int32_t ModelInterface_Transfer(QpxWindow* page, int32_t port, QpxRect rect, const char* dllPath,
                                int32_t mode, uint32_t itemMask)
{
    if (mode == 1 && dllPath != nullptr && std::getenv("QPX_REC_BACKUP") != nullptr)
        WriteBackup(dllPath, itemMask);
    return Record(page, port, rect, dllPath, "Transfer", "", " mode=", mode, " mask=", itemMask);
}
