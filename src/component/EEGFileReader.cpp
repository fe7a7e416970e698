#include "component/EEGFileReader.h"

#include <cstring>

#include "component/ModuleLock.h"
#include "contract/Diagnostics.h"
#include "contract/ReaderIdentity.h"
#include "description/Markers.h"
#include "description/Properties.h"
#include "header/PathFunctions.h"
#include "header/TextRules.h"
#include "platform/ComRuntime.h"

CEEGFileReader::CEEGFileReader(IUnknown* outer) : ComAggregatable(outer) { LockModule(); }

CEEGFileReader::~CEEGFileReader() {
  m_pReader.reset();
  m_pHostData.Reset();
  UnlockModule();
}

HRESULT CEEGFileReader::OpenRawFile(const char* path, LONG* opened) {
  return Guarded([&]() -> HRESULT {
    if (!path) return E_POINTER;
    const std::string_view file = path;
    if (!HasHeaderExtension(file)) return GDR_S_NOT_THIS_FORMAT;
    m_Header = CHeaderFile();  // every file is parsed into a fresh header
    switch (m_Header.Load(file)) {
      case HEADER_PARSED:
        WriteDebugLog("OpenRawFile: %s\n", path);
        m_RawFilePath = path;
        if (opened) *opened = 1;
        return S_OK;
      case HEADER_NOT_THIS_FORMAT:
        return GDR_S_NOT_THIS_FORMAT;
      default:
        DisplayError(std::string(path) + ":" + m_Header.m_ErrorMessage);
        return GDR_E_SHOWN;
    }
  });
}

void CEEGFileReader::WriteMarkers(IStorage* storage) { ::WriteMarkers(m_Header, storage, m_TimeZeroPosition); }

void CEEGFileReader::WriteProperties(IStorage* storage) {
  ::WriteProperties(m_Header, m_RawFilePath, storage, m_TimeZeroPosition);
}

HRESULT CEEGFileReader::LoadFromStorage(IStorage* storage, LONG option) {
  return Guarded([&] { return LoadFromStorageGuarded(storage, option); });
}

HRESULT CEEGFileReader::GetProperties(IHostPropertyWriter** properties) {
  if (!m_pHostData) return E_FAIL;
  WriteDebugLog("GetProperties\n");
  return m_pHostData->GetProperties(properties);
}

HRESULT CEEGFileReader::GetData(LONG first, LONG count, float** block, const LONG* channels, LONG channelCount) {
  return Guarded([&]() -> HRESULT {
    WriteDebugLog("GetData: %d, %d\n", int(first), int(count));
    if (!m_pReader) {
      if (block) *block = nullptr;
      return E_FAIL;
    }
    return m_pReader->ReadInterval(first, count, block, channels, channelCount);
  });
}

HRESULT CEEGFileReader::Operation4(LONG a, LONG b, LONG c, LONG d) {
  return m_pHostData ? m_pHostData->Operation4(a, b, c, d) : E_FAIL;
}
HRESULT CEEGFileReader::Operation5(LONG a) { return m_pHostData ? m_pHostData->Operation5(a) : E_FAIL; }
HRESULT CEEGFileReader::Operation6(LONG a, LONG b) { return m_pHostData ? m_pHostData->Operation6(a, b) : E_FAIL; }
HRESULT CEEGFileReader::Operation7(LONG a, LONG b) { return m_pHostData ? m_pHostData->Operation7(a, b) : E_FAIL; }

HRESULT CEEGFileReader::Operation8(LONG* value) {
  if (!value) return E_POINTER;
  *value = 0;
  return S_OK;
}

HRESULT CEEGFileReader::GetVersion(LONG* version) {
  if (!version) return E_POINTER;
  *version = kReaderVersion;
  return S_OK;
}

HRESULT CEEGFileReader::GetVersionText(char** text) {
  if (!text) return E_POINTER;
  *text = static_cast<char*>(CoTaskMemAlloc(1));
  if (!*text) return E_OUTOFMEMORY;
  **text = '\0';
  return S_OK;
}
