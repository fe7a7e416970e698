// Stores from arbitrary bytes: the property bag's Reset, the compound file decoder, and
// LoadFromStorage (then GetData) on a store whose streams hold arbitrary bytes.
#include "FuzzInput.h"
#include "component/EEGFileReader.h"
#include "host/HostClasses.h"
#include "host/StreamFiles.h"
#include "platform/ComRuntime.h"
#include "platform/CompoundFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  [[maybe_unused]] static HostClasses* host = new HostClasses();  // the reference host, for the process
  FuzzInput input(data, size);
  switch (input.Number(0, 2)) {
    case 0: {
      ComPtr<IHostPropertyBag> bag;
      CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_INPROC_SERVER, IidOf<IHostPropertyBag>(), bag.ReceiveVoid());
      const std::string bytes = input.Rest();
      bag->Reset(reinterpret_cast<const BYTE*>(bytes.data()), ULONG(bytes.size()));
      break;
    }
    case 1: {
      const std::string bytes = input.Rest();
      std::shared_ptr<StorageNode> root;
      DecodeCompoundFile({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, root);
      break;
    }
    default: {
      const std::string dataFile = WriteFuzzFile("s.bin", input.Bytes(std::size_t(input.Number(0, 4000))));
      ComPtr<IStorage> storage;
      CreateMemoryStorage(storage.Receive());
      const auto put = [&](LPCOLESTR name, const std::string& bytes) {
        WriteWholeStream(storage.Get(), name, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
      };
      put(OLESTR("DataPath"), input.Flag() ? dataFile + std::string(1, '\0') : input.Bytes(64));
      put(OLESTR("InternalData"), input.Bytes(std::size_t(input.Number(0, 600))));
      put(OLESTR("HostProperties"), input.Rest());
      ComPtr<IEEGData> reader;
      CreateAggregated<CEEGFileReader>(nullptr, IidOf<IEEGData>(), reader.ReceiveVoid());
      // A few points of one channel: a damaged channel count makes an all-channel block as large
      // as it says (correct, but only slow to fill).
      const LONG first = 0;
      if (SUCCEEDED(reader->LoadFromStorage(storage.Get(), 0))) {
        float* block = nullptr;
        if (SUCCEEDED(reader->GetData(0, 10, &block, &first, 1))) CoTaskMemFree(block);
      }
    }
  }
  return 0;
}
