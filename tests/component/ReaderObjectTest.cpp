#include <filesystem>

#include "component/ComponentTestSupport.h"
#include "contract/ReaderIdentity.h"
#include "host/PropertyStore.h"
#include "platform/ComRuntime.h"
#include "platform/DebugLogFile.h"
#include "readers/BinaryReader.h"

namespace {

class ReaderObjectTest : public ComponentTest {
 protected:
  std::string Log() const { return log.Text(); }
  DebugLogFile log;
  // Imports the recording at `header` into `storage` on a fresh reader object.
  void Import(const std::string& header, IStorage* storage) {
    ComPtr<IEEGRawFileReader> reader = NewReader();
    LONG opened = 0;
    ASSERT_EQ(reader->OpenRawFile(header.c_str(), &opened), S_OK);
    ASSERT_EQ(reader->CreateStorageEntries(storage, 0), S_OK);
  }
  // Replaces the stream `name` of `storage` by `bytes`.
  static void Store(IStorage* storage, LPCOLESTR name, std::string_view bytes) {
    ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(name, 0x1012, 0, 0, stream.Receive()), S_OK);
    ASSERT_EQ(stream->Write(bytes.data(), ULONG(bytes.size()), nullptr), S_OK);
  }
  static std::vector<float> Data(IEEGData& data, LONG first, LONG count, std::size_t floats) {
    float* block = nullptr;
    EXPECT_EQ(data.GetData(first, count, &block, nullptr, 0), S_OK);
    std::vector<float> values(block, block + (block ? floats : 0));
    CoTaskMemFree(block);
    return values;
  }
};

TEST_F(ReaderObjectTest, OpenRawFileRefusesOtherFilesAndShowsAnInvalidHeaderOnce) {
  dir.Write("other.shdr", "Some other format 2.0\r\n[Common Infos]\r\n");
  const std::string invalid = WriteHeader("[Other]\r\n");
  const std::pair<std::string, HRESULT> rows[] = {
      {dir.File("none.shdr "), MakeResult(0x00041001)},  // the extension is tested first
      {"shdr", MakeResult(0x00041001)},
      {dir.File("none.txt"), MakeResult(0x00041001)},
      {dir.File("none.SHDR"), MakeResult(0x8004100E)},
      {dir.File("other.shdr"), MakeResult(0x00041001)},
      {invalid, MakeResult(0x80041003)},
  };
  ComPtr<IEEGRawFileReader> reader = NewReader();
  for (const auto& [path, code] : rows) {
    LONG opened = 7;
    EXPECT_EQ(reader->OpenRawFile(path.c_str(), &opened), code) << path;
    EXPECT_EQ(opened, 7) << path;
  }
  EXPECT_EQ(host.Messages(), std::vector<std::string>{invalid + ":Missing section \"[Common Infos]\"."});
}

TEST_F(ReaderObjectTest, ASuccessfulOpenIsLoggedAndRemembered) {
  log.SwitchOn();
  ComPtr<IEEGRawFileReader> reader = NewReader();
  const std::string first = WriteBinaryRecording(2);
  LONG opened = 0;
  EXPECT_EQ(reader->OpenRawFile(first.c_str(), &opened), S_OK);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(Log(), "GenericDataReader > OpenRawFile: " + first + "\n");
  // The second header replaces the first: its path goes into the storage.
  std::filesystem::copy_file(first, dir.File("second.shdr"));
  ASSERT_EQ(reader->OpenRawFile(dir.File("second.shdr").c_str(), &opened), S_OK);
  const ComPtr<IStorage> storage = NewStorage();
  ASSERT_EQ(reader->CreateStorageEntries(storage.Get(), 0), S_OK);
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("HeaderPath")), dir.File("second.shdr") + std::string(1, '\0'));
}

TEST_F(ReaderObjectTest, BeforeLoadingThereIsNoDataButVersionsAnswer) {
  log.SwitchOn();
  ComPtr<IEEGData> data = As<IEEGData>(NewReader());
  ComPtr<IHostPropertyWriter> properties;
  EXPECT_EQ(data->GetProperties(properties.Receive()), E_FAIL);
  EXPECT_EQ(Log(), "");
  float* block = reinterpret_cast<float*>(1);
  EXPECT_EQ(data->GetData(0, 1, &block, nullptr, 0), E_FAIL);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(data->Operation4(1, 2, 3, 4), E_FAIL);
  EXPECT_EQ(data->Operation7(1, 2), E_FAIL);
  LONG value = 5;
  EXPECT_EQ(data->Operation8(&value), S_OK);
  EXPECT_EQ(value, 0);

  ComPtr<ISylvexVersion> version;
  ASSERT_EQ(data.As(version), S_OK);
  ASSERT_EQ(version->GetVersion(&value), S_OK);
  EXPECT_EQ(value, 1200503);
  char* text = nullptr;
  ASSERT_EQ(version->GetVersionText(&text), S_OK);
  EXPECT_STREQ(text, "");
  CoTaskMemFree(text);
  ComPtr<IClassFactory> none;
  EXPECT_EQ(data.As(none), E_NOINTERFACE);
}

TEST_F(ReaderObjectTest, StorageEntriesHoldTheirExactBytes) {
  log.SwitchOn();
  const std::string header = WriteBinaryRecording(32, "", "[Comment]\r\nHello\r\n");
  const ComPtr<IStorage> storage = NewStorage();
  Import(header, storage.Get());
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("RecordingInfos")), std::string("Hello", 6));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("RecordingInfosW")), std::string("H\0e\0l\0l\0o\0\0\0", 12));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("HeaderPath")), header + std::string(1, '\0'));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("DataPath")), Resolved("rec.eeg") + std::string(1, '\0'));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("Name")), std::string("Raw Data", 9));
  CLSID stored{};
  ASSERT_EQ(ReadClassStg(storage.Get(), &stored), S_OK);
  EXPECT_EQ(stored, CLSID_GenericDataReader);
  const std::string internal = StreamBytes(storage.Get(), OLESTR("InternalData"));
  const std::optional<PropertyStore> bag =
      PropertyStore::Decode({reinterpret_cast<const std::uint8_t*>(internal.data()), internal.size()});
  ASSERT_TRUE(bag);
  EXPECT_EQ(bag->Size(), 43u);  // the count, 32 resolutions, tags 2 to 11
  EXPECT_EQ(*bag->Find(0, 0), (PropertyStore::Bytes{32, 0, 0, 0}));
  EXPECT_EQ(*bag->Find(3, 0), (PropertyStore::Bytes{2, 0, 0, 0}));  // INT_16
  EXPECT_EQ(bag->Find(4, 0)->size(), 1u);
  EXPECT_NE(Log().find("GenericDataReader > CreateStorageEntries: " + header + "\n"), std::string::npos);
  EXPECT_EQ(host.LivingObjects(), 0);

  // Without a comment there are no comment streams; importing again replaces every stream but
  // leaves the older comment streams.
  const std::string plain = WriteBinaryRecording(2, "", "", "plain.shdr");
  const ComPtr<IStorage> fresh = NewStorage();
  Import(plain, fresh.Get());
  EXPECT_EQ(StreamBytes(fresh.Get(), OLESTR("RecordingInfos")), "<none>");
  Import(plain, storage.Get());
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("RecordingInfos")), std::string("Hello", 6));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("HeaderPath")), plain + std::string(1, '\0'));
}

TEST_F(ReaderObjectTest, StorageCallsInOrderAndFailuresStopTheRest) {
  const std::string header = WriteBinaryRecording(2, "", "[Comment]\r\nHi\r\n");
  CallRecorder storageCalls;
  {
    const ComPtr<IStorage> storage = MakeRecordingStorage(storageCalls, NewStorage());
    Import(header, storage.Get());
  }
  std::vector<std::string> creates = storageCalls.CallsOf("Storage.");
  EXPECT_EQ(creates,
            (std::vector<std::string>{
                "Storage.CreateStream(HostMarkers, 0x1012)", "Storage.CreateStream(HostProperties, 0x1012)",
                "Storage.CreateStream(RecordingInfos, 0x1012)", "Storage.CreateStream(RecordingInfosW, 0x1012)",
                "Storage.CreateStream(InternalData, 0x1012)", "Storage.CreateStream(HeaderPath, 0x1012)",
                "Storage.CreateStream(DataPath, 0x1012)", "Storage.CreateStream(Name, 0x1012)",
                "Storage.SetClass(" + GuidToString(CLSID_GenericDataReader) + ")"}));
  EXPECT_EQ(storageCalls.CallsOf("Stream.Write(Name")[0], "Stream.Write(Name, 9 bytes)");

  const std::pair<std::string, int> failures[] = {
      {"Storage.CreateStream", 6}, {"Stream.Write", 3}, {"Storage.SetClass", 1}};
  for (const auto& [operation, n] : failures) {
    CallRecorder calls;
    calls.FailCall(operation, n, MakeResult(0x80030070));
    ComPtr<IEEGRawFileReader> reader = NewReader();
    LONG opened = 0;
    ASSERT_EQ(reader->OpenRawFile(header.c_str(), &opened), S_OK);
    const ComPtr<IStorage> real = NewStorage();
    EXPECT_EQ(reader->CreateStorageEntries(MakeRecordingStorage(calls, real).Get(), 0), MakeResult(0x80030070))
        << operation;
    EXPECT_EQ(calls.Calls().back().substr(0, operation.size()), operation);
    EXPECT_TRUE(host.Messages().empty());
    if (operation != "Storage.SetClass") {
      EXPECT_EQ(StreamBytes(real.Get(), OLESTR("Name")), "<none>");
    }
  }
  // A host call fails the same way; 0x80041010 is answered as 0x00041000.
  host.Recorder().Clear();
  host.Recorder().FailCall("PropertyWriter.SetProperty", 1, MakeResult(0x80041010));
  ComPtr<IEEGRawFileReader> reader = NewReader();
  LONG opened = 0;
  ASSERT_EQ(reader->OpenRawFile(header.c_str(), &opened), S_OK);
  EXPECT_EQ(reader->CreateStorageEntries(NewStorage().Get(), 0), MakeResult(0x00041000));
}

TEST_F(ReaderObjectTest, ARecordingOpensAgainOnAFreshObject) {
  log.SwitchOn();
  const std::string header = WriteBinaryRecording(3, "", "[Channel Infos]\r\nCh2=b,,0.5\r\n");
  const ComPtr<IStorage> storage = NewStorage();
  Import(header, storage.Get());
  ComPtr<IEEGData> data = As<IEEGData>(NewReader());
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  CBinaryReader raw;
  ASSERT_EQ(raw.Open(Resolved("rec.eeg"), 3, 10, true, {1.0f, 0.5f, 1.0f}, false, 1, FORMAT_INT_16, 0, 0, false, 0, 0),
            S_OK);
  float* block = nullptr;
  ASSERT_EQ(raw.ReadInterval(2, 5, &block, nullptr, 0), S_OK);
  const std::vector<float> expected(block, block + 15);
  CoTaskMemFree(block);
  EXPECT_EQ(Data(*data, 2, 5, 15), expected);
  EXPECT_NE(Log().find("GenericDataReader > GetData: 2, 5\n"), std::string::npos);

  ComPtr<IHostPropertyWriter> properties;
  ASSERT_EQ(data->GetProperties(properties.Receive()), S_OK);
  EXPECT_NE(Log().find("GenericDataReader > GetProperties\n"), std::string::npos);
  // Loading again releases the earlier host data object first.
  properties.Reset();
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  data.Reset();
  EXPECT_EQ(host.LivingObjects(), 0);
}

TEST_F(ReaderObjectTest, AStoredHeaderPathIsReplacedByItsDataFile) {
  const std::string header = WriteBinaryRecording(2);
  const ComPtr<IStorage> storage = NewStorage();
  Import(header, storage.Get());
  const std::string upper = dir.File("REC2.SHDR");
  std::filesystem::copy_file(header, upper);
  Store(storage.Get(), OLESTR("DataPath"), upper + '\0');
  ComPtr<IEEGData> data = As<IEEGData>(NewReader());
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("DataPath")), Resolved("rec.eeg") + '\0');
  EXPECT_EQ(Data(*data, 0, 1, 2).size(), 2u);

  // A header whose data file is gone is refused by its own parse (E_FAIL, no message), and
  // "DataPath" keeps the header's path.
  Store(storage.Get(), OLESTR("DataPath"), upper + '\0');
  data.Reset();  // it holds the data file open
  std::filesystem::rename(dir.File("rec.eeg"), dir.File("gone.eeg"));
  EXPECT_EQ(As<IEEGData>(NewReader())->LoadFromStorage(storage.Get(), 0), E_FAIL);
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("DataPath")), upper + '\0');
  Store(storage.Get(), OLESTR("DataPath"), dir.Write("bad.shdr", "not a header\r\n\r\n") + '\0');
  EXPECT_EQ(As<IEEGData>(NewReader())->LoadFromStorage(storage.Get(), 0), E_FAIL);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(ReaderObjectTest, StoredPropertiesAndInternalDataChooseTheReader) {
  const std::string header = WriteBinaryRecording(2);
  const ComPtr<IStorage> storage = NewStorage();
  Import(header, storage.Get());
  // The stored unit code: one beyond the table is written back as 0, a short one is refused.
  const std::string stored = StreamBytes(storage.Get(), OLESTR("HostProperties"));
  struct Row {
    PropertyStore::Bytes unit;
    HRESULT loaded;
    PropertyStore::Bytes written;
  };
  const Row rows[] = {{{5, 0}, E_FAIL, {}}, {{6, 0, 0, 0}, S_OK, {0, 0, 0, 0}}, {{5, 0, 0, 0}, S_OK, {5, 0, 0, 0}}};
  ComPtr<IEEGData> data;
  for (const Row& row : rows) {
    std::optional<PropertyStore> properties =
        PropertyStore::Decode({reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()});
    ASSERT_TRUE(properties);
    properties->Set(5, 0, row.unit);
    const PropertyStore::Bytes encoded = properties->Encode();
    Store(storage.Get(), OLESTR("HostProperties"), {reinterpret_cast<const char*>(encoded.data()), encoded.size()});
    host.Recorder().Clear();
    data = As<IEEGData>(NewReader());
    ASSERT_EQ(data->LoadFromStorage(storage.Get(), 7), row.loaded) << int(row.unit[0]);
    EXPECT_EQ(host.Recorder().CallsOf("HostData.LoadFromStorage")[0], "HostData.LoadFromStorage(storage, 7)");
    if (row.loaded != S_OK) continue;
    ComPtr<IHostPropertyWriter> loaded;
    ASSERT_EQ(data->GetProperties(loaded.Receive()), S_OK);
    BYTE* unit = nullptr;
    ULONG size = 0;
    ASSERT_EQ(loaded->GetProperty(5, 0, &unit, &size), S_OK);
    EXPECT_EQ(PropertyStore::Bytes(unit, unit + size), row.written);
    CoTaskMemFree(unit);
  }

  // Without "InternalData" the data file is read as ASCII data.
  ASSERT_EQ(storage->DestroyElement(OLESTR("InternalData")), S_OK);
  data.Reset();  // it holds the data file open, and Windows keeps writers out
  dir.Write("rec.eeg", "1 2 3\n4\n");
  data = As<IEEGData>(NewReader());
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  EXPECT_EQ(Data(*data, 0, 2, 4), (std::vector<float>{1, 2, 3, 4}));

  // A failing host data object: its code.
  host.Recorder().Clear();
  host.Recorder().FailCall("HostData.LoadFromStorage", 1, STG_E_FILENOTFOUND);
  EXPECT_EQ(As<IEEGData>(NewReader())->LoadFromStorage(storage.Get(), 0), STG_E_FILENOTFOUND);
  const ComPtr<IStorage> empty = NewStorage();
  EXPECT_EQ(As<IEEGData>(NewReader())->LoadFromStorage(empty.Get(), 0), STG_E_FILENOTFOUND);
}

TEST_F(ReaderObjectTest, AnObjectCanBePartOfAnAggregate) {
  class Outer final : public ComObject<IUnknown> {
   protected:
    void* FindInterface(REFIID iid) override {
      void* found = nullptr;
      if (iid != IidOf<IUnknown>() && m_Inner) m_Inner->QueryInterface(iid, &found);
      if (found) Release();  // the inner object counted a reference of the outer one
      return found;
    }

   public:
    IUnknown* m_Inner = nullptr;
  };
  ComPtr<IUnknown> outer = MakeCom<IUnknown, Outer>();
  auto* object = new CEEGFileReader(outer.Get());
  static_cast<Outer*>(outer.Get())->m_Inner = object->Inner();
  object->Inner()->AddRef();
  ComPtr<ISylvexVersion> version;
  ASSERT_EQ(outer.As(version), S_OK);
  ComPtr<IUnknown> identity;
  ASSERT_EQ(version.As(identity), S_OK);
  EXPECT_EQ(identity.Get(), outer.Get());  // the aggregate's identity
  version.Reset();
  identity.Reset();
  object->Inner()->Release();
}

}  // namespace
