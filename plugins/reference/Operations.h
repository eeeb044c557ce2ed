#pragma once
// The plug-in's operations. Each runs on the work thread with its job, talks to the handset over
// its own link and returns true only for work it has verified.
#include "PluginJob.h"

#include <QString>

constexpr const char REF_SUPPORTED_VERSION[] = "VKQ100A1";
constexpr const char REF_MODEL_KIND[] = "KOVA Reference";

// nam: 0 NAM 1, 1 NAM 2, 2 both (path then holds "?" and "#" for the NAM digit).
bool RunPrlRead(CPluginJob& job, int nam, const QString& path);
bool RunPrlWrite(CPluginJob& job, int nam, const QString& path);

// The ERI file on the handset's file system, and the largest ERI accepted.
constexpr const char ERI_PATH[] = "/roaming/eri_data.bin";
constexpr int MAX_ERI_SIZE = 65536;

bool RunEriRead(CPluginJob& job, const QString& path);
bool RunEriWrite(CPluginJob& job, const QString& path);

// Firmware download of an image file (format in FirmwareOperations.cpp and README.md).
bool RunBin(CPluginJob& job, const QString& binPath);

// A service script of NV item writes (format in ScriptOperations.cpp and README.md).
bool RunScript(CPluginJob& job, const QString& scriptPath);

// Phonebook: read fills csvPath and the page's list (all list work before PLUGIN_DONE).
bool RunPhonebookRead(CPluginJob& job, const QString& csvPath, QpxWindow* page, QpxList* list);
bool RunPhonebookWrite(CPluginJob& job, const QString& csvPath);

// Settings of one category (0..13) against the page's three-column grid.
bool RunSettings(CPluginJob& job, int category, int direction, QpxWindow* page, QpxList* list);

// itemMask: bit 0 all, 1 phonebook, 2 messages, 3 calendar, 4 user interface data.
bool RunTransferBackup(CPluginJob& job, quint32 itemMask);
bool RunTransferRestore(CPluginJob& job, quint32 itemMask);
// Refurbish: every file of the user's trees saved in REFURB_BK beside the plug-in, then erased.
bool RunUserDataReset(CPluginJob& job);

// Reads the PRL of one NAM block by block (0x49). *empty is set when the NAM holds none (that is
// not a failure here). Progress runs from pctFrom to pctTo.
bool ReadPrlImage(CPluginJob& job, CDiagLink& link, int nam, QByteArray& image, bool* empty, int pctFrom,
                  int pctTo);
