#include "AppSettings.h"

#include "platform/Registry.h"

CAppSettings theSettings;

namespace {
constexpr const char* KEY = QPX_REG_KEY;
}

void CAppSettings::Load()
{
    m_strDllFile = RegReadString(KEY, "LAST_DLL_FILE", HKEY_LOCAL_MACHINE);
    m_strLastBinFile = RegReadString(KEY, "LAST_BIN_FILE", HKEY_LOCAL_MACHINE);
    m_strLastScrFile = RegReadString(KEY, "LAST_SCR_FILE", HKEY_LOCAL_MACHINE);
    m_strLastPrlFile = RegReadString(KEY, "LAST_PRL_FILE", HKEY_LOCAL_MACHINE);
    m_strLastEriFile = RegReadString(KEY, "LAST_ERI_FILE", HKEY_LOCAL_MACHINE);
    m_strLastCsvFile = RegReadString(KEY, "LAST_CSV_FILE", HKEY_LOCAL_MACHINE);
    m_strInstallDir = RegReadString(KEY, "LOCATE_DIRECTORY", HKEY_LOCAL_MACHINE);
    m_nLastSelectNam = RegReadDword(KEY, "LAST_SELECTNAM");
    m_nLastDirection = RegReadDword(KEY, "LAST_DIRECTION");
    m_nPortNum = RegReadDword(KEY, "LAST_PORTNUM");
    m_nLastOperation = RegReadDword(KEY, "LAST_OPERATION");
    m_nLastWindowX = RegReadDword(KEY, "LAST_WINDOW_POSITION_X");
    m_nLastWindowY = RegReadDword(KEY, "LAST_WINDOW_POSITION_Y");
}

void CAppSettings::Save() const
{
    RegWriteString(KEY, "LAST_DLL_FILE", Get(&CAppSettings::m_strDllFile), HKEY_LOCAL_MACHINE);
    RegWriteString(KEY, "LAST_BIN_FILE", m_strLastBinFile, HKEY_LOCAL_MACHINE);
    RegWriteString(KEY, "LAST_SCR_FILE", m_strLastScrFile, HKEY_LOCAL_MACHINE);
    RegWriteString(KEY, "LAST_PRL_FILE", m_strLastPrlFile, HKEY_LOCAL_MACHINE);
    RegWriteString(KEY, "LAST_ERI_FILE", m_strLastEriFile, HKEY_LOCAL_MACHINE);
    RegWriteString(KEY, "LAST_CSV_FILE", m_strLastCsvFile, HKEY_LOCAL_MACHINE);
    RegWriteDword(KEY, "LAST_SELECTNAM", m_nLastSelectNam);
    RegWriteDword(KEY, "LAST_DIRECTION", m_nLastDirection);
    RegWriteDword(KEY, "LAST_PORTNUM", m_nPortNum);
    RegWriteDword(KEY, "LAST_OPERATION", m_nLastOperation);
    RegWriteDword(KEY, "LAST_WINDOW_POSITION_X", m_nLastWindowX);
    RegWriteDword(KEY, "LAST_WINDOW_POSITION_Y", m_nLastWindowY);
}

void CAppSettings::Reset()
{
    QMutexLocker lock(&m_lock);
    m_strVersion.clear();
    m_nLastDirection = m_nLastSelectNam = m_nLastWindowX = m_nLastWindowY = m_nLastOperation = -1;
    m_strLastEriFile.clear();
    m_strLastPrlFile.clear();
    m_strLastScrFile.clear();
    m_strLastBinFile.clear();
    m_strLastCsvFile.clear();
    m_bSelectingModelDll = 0;
    m_bAutoModelDll = 1;
    m_strDllFile.clear();
    m_strInstallDir.clear();
    m_strDllVersion.clear();
    m_bBusy = 0;
    m_nPortNum = -1;
    m_portList.RemoveAll();
    m_strModelName.clear();
}

QString CAppSettings::Get(const QString CAppSettings::*field) const
{
    QMutexLocker lock(&m_lock);
    return this->*field;
}

void CAppSettings::Set(QString CAppSettings::*field, const QString& value)
{
    QMutexLocker lock(&m_lock);
    this->*field = value;
}

bool IsDllSelected(const QString& dllFile)
{
    return !dllFile.isEmpty() && dllFile != QLatin1String("N/A");
}
