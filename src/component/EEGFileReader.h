#pragma once
// The reader object that the host creates for every recording it imports or opens again.
#include <cstdint>
#include <memory>
#include <string>

#include "contract/HostInterfaces.h"
#include "header/HeaderFile.h"
#include "platform/ComObject.h"
#include "readers/IntervalReader.h"

class CEEGFileReader final : public ComAggregatable<IEEGRawFileReader, IEEGData, ISylvexVersion> {
 public:
  // `outer`: the controlling object when the reader is part of an aggregate, else null.
  explicit CEEGFileReader(IUnknown* outer);
  ~CEEGFileReader() override;

  // IEEGRawFileReader
  HRESULT OpenRawFile(const char* path, LONG* opened) override;
  HRESULT CreateStorageEntries(IStorage* storage, LONG ignored) override;
  // IEEGData
  HRESULT LoadFromStorage(IStorage* storage, LONG option) override;
  HRESULT GetProperties(IHostPropertyWriter** properties) override;
  HRESULT GetData(LONG first, LONG count, float** block, const LONG* channels, LONG channelCount) override;
  HRESULT Operation4(LONG a, LONG b, LONG c, LONG d) override;
  HRESULT Operation5(LONG a) override;
  HRESULT Operation6(LONG a, LONG b) override;
  HRESULT Operation7(LONG a, LONG b) override;
  HRESULT Operation8(LONG* value) override;
  // ISylvexVersion
  HRESULT GetVersion(LONG* version) override;
  HRESULT GetVersionText(char** text) override;

  // The steps of CreateStorageEntries that describe the recording to the host.
  void WriteMarkers(IStorage* storage);
  void WriteProperties(IStorage* storage);

 private:
  HRESULT LoadFromStorageGuarded(IStorage* storage, LONG option);

  std::string m_RawFilePath;
  ComPtr<IEEGData> m_pHostData;
  CHeaderFile m_Header;
  std::unique_ptr<CIntervalReader> m_pReader;
  std::int32_t m_TimeZeroPosition = -1;
};
