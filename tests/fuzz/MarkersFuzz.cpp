// The marker file through WriteMarkers, with the recording host doubles.
#include "FuzzInput.h"
#include "description/Markers.h"
#include "doubles/HostDoubles.h"
#include "platform/Exceptions.h"
#include "platform/MemoryStorage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static HostDoubles* host = new HostDoubles();  // lives for the process
  FuzzInput input(data, size);
  CHeaderFile header;
  header.m_Channels.resize(std::size_t(input.Number(1, 64)));
  header.m_DataPoints = std::int32_t(input.Number(0, 5000));
  header.m_SegmentDataPoints = std::int32_t(input.Number(0, 300));
  header.m_MarkerFile = WriteFuzzFile("m.vmrk", input.Rest());
  host->Clear();
  ComPtr<IStorage> storage;
  CreateMemoryStorage(storage.Receive());
  std::int32_t timeZero = -1;
  try {
    WriteMarkers(header, storage.Get(), timeZero);
  } catch (const COleException&) {
  }
  return 0;
}
