#include "component/ComponentTestSupport.h"
#include "contract/ReaderIdentity.h"
#include "host/PropertyStore.h"
#include "host/StoreContents.h"

namespace {

class ReaderObjectTest : public ComponentTest {
 protected:
  DebugLogFile log;
  // A fresh reader object that opened `header`.
  static ComPtr<IEEGRawFileReader> Opened(const std::string& header) {
    ComPtr<IEEGRawFileReader> reader = NewReader();
    LONG opened = 0;
    EXPECT_EQ(reader->OpenRawFile(header.c_str(), &opened), S_OK);
    return reader;
  }
  static ComPtr<IEEGData> NewData() { return NewReader<IEEGData>(); }
  // Imports the recording at `header` into `storage` on a fresh reader object.
  static void Import(const std::string& header, IStorage* storage) {
    ASSERT_EQ(Opened(header)->CreateStorageEntries(storage, 0), S_OK);
  }
  // Replaces the stream `name` of `storage` by `bytes`.
  static void Store(IStorage* storage, LPCOLESTR name, std::string_view bytes) {
    ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(name, 0x1012, 0, 0, stream.Receive()), S_OK);
    ASSERT_EQ(stream->Write(bytes.data(), ULONG(bytes.size()), nullptr), S_OK);
  }
  static std::optional<PropertyStore> Decode(const std::string& bytes) {
    return PropertyStore::Decode({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
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

TEST_F(ReaderObjectTest, BeforeLoadingThereIsNoDataButVersionsAnswer) {
  log.SwitchOn();
  ComPtr<IEEGData> data = NewData();
  ComPtr<IHostPropertyWriter> properties;
  EXPECT_EQ(data->GetProperties(properties.Receive()), E_FAIL);
  EXPECT_EQ(log.Text(), "");
  float* block = reinterpret_cast<float*>(1);
  LONG value = 5;
  EXPECT_EQ((std::vector<HRESULT>{data->GetData(0, 1, &block, nullptr, 0), data->Operation4(1, 2, 3, 4),
                                  data->Operation7(1, 2), data->Operation8(&value)}),
            (std::vector<HRESULT>{E_FAIL, E_FAIL, E_FAIL, S_OK}));
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(value, 0);
  ComPtr<ISylvexVersion> version;
  ASSERT_EQ(data.As(version), S_OK);
  char* text = nullptr;
  EXPECT_EQ(version->GetVersion(&value) | version->GetVersionText(&text), S_OK);
  EXPECT_EQ(value, 1200503);
  EXPECT_STREQ(text, "");
  CoTaskMemFree(text);
}

TEST_F(ReaderObjectTest, AnOpenedRecordingsStorageEntriesHoldTheirExactBytes) {
  log.SwitchOn();
  // Both written before the data file is opened, which Windows keeps writers out of.
  const std::string plain = WriteBinaryRecording(2, "", "", "plain.shdr");
  const std::string header = WriteBinaryRecording(32, "", "[Comment]\r\nHello\r\n");
  ComPtr<IEEGRawFileReader> reader = NewReader();
  LONG opened = 0;
  EXPECT_EQ(reader->OpenRawFile(header.c_str(), &opened), S_OK);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(log.Text(), "GenericDataReader > OpenRawFile: " + header + "\n");
  const ComPtr<IStorage> storage = NewStorage();
  CallRecorder calls;
  ASSERT_EQ(reader->CreateStorageEntries(MakeRecordingStorage(calls, storage).Get(), 0), S_OK);
  EXPECT_EQ(calls.CallsOf("Storage."),
            (std::vector<std::string>{"Storage.CreateStream(HostMarkers)", "Storage.CreateStream(HostProperties)",
                                      "Storage.CreateStream(RecordingInfos)", "Storage.CreateStream(RecordingInfosW)",
                                      "Storage.CreateStream(InternalData)", "Storage.CreateStream(HeaderPath)",
                                      "Storage.CreateStream(DataPath)", "Storage.CreateStream(Name)",
                                      "Storage.SetClass(" + GuidToString(CLSID_GenericDataReader) + ")"}));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("RecordingInfos")), std::string("Hello", 6));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("RecordingInfosW")), std::string("H\0e\0l\0l\0o\0\0\0", 12));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("HeaderPath")), header + std::string(1, '\0'));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("DataPath")), Resolved("rec.eeg") + std::string(1, '\0'));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("Name")), std::string("Raw Data", 9));
  const std::optional<PropertyStore> bag = Decode(StreamBytes(storage.Get(), OLESTR("InternalData")));
  ASSERT_TRUE(bag);
  EXPECT_EQ(bag->Size(), 43u);  // the count, 32 resolutions, tags 2 to 11
  EXPECT_EQ(*bag->Find(0, 0), (PropertyStore::Bytes{32, 0, 0, 0}));
  EXPECT_EQ(*bag->Find(3, 0), (PropertyStore::Bytes{2, 0, 0, 0}));  // INT_16
  EXPECT_EQ(bag->Find(4, 0)->size(), 1u);
  EXPECT_NE(log.Text().find("GenericDataReader > CreateStorageEntries: " + header + "\n"), std::string::npos);
  EXPECT_EQ(host.LivingObjects(), 0);

  // The next header opened replaces the first. Without a comment there are no comment streams;
  // importing again replaces every stream but leaves the older comment streams.
  ASSERT_EQ(reader->OpenRawFile(plain.c_str(), &opened), S_OK);
  const ComPtr<IStorage> fresh = NewStorage();
  ASSERT_EQ(reader->CreateStorageEntries(fresh.Get(), 0), S_OK);
  EXPECT_EQ(StreamBytes(fresh.Get(), OLESTR("RecordingInfos")), "<none>");
  ASSERT_EQ(reader->CreateStorageEntries(storage.Get(), 0), S_OK);
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("RecordingInfos")), std::string("Hello", 6));
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("HeaderPath")), plain + std::string(1, '\0'));
}

// Each storage or host call of an import or a load, made to fail in turn, ends it with its code; only
// the host's own writing of its properties is not examined.
TEST_F(ReaderObjectTest, AFailingCallEndsImportAndLoadWithItsCode) {
  const std::string header = WriteBinaryRecording(2, "", "[Comment]\r\nHi\r\n");
  const auto import = [&](IStorage* storage) { return Opened(header)->CreateStorageEntries(storage, 0); };
  CallRecorder calls;
  EXPECT_EQ(IgnoredFailures(calls, [&] { return import(MakeRecordingStorage(calls, NewStorage()).Get()); }),
            (std::vector<std::string>{"Storage.CreateStream(HostProperties)", "HostProperties.Write(222)"}));
  EXPECT_EQ(IgnoredFailures(host, [&] { return import(NewStorage().Get()); }),
            (std::vector<std::string>{"PropertyWriter.Finish()", "PropertyWriter.Close()"}));
  const ComPtr<IStorage> storage = NewStorage();
  Import(header, storage.Get());
  const auto load = [&](IStorage* from) { return NewData()->LoadFromStorage(from, 0); };
  EXPECT_EQ(IgnoredFailures(calls, [&] { return load(MakeRecordingStorage(calls, storage).Get()); }),
            std::vector<std::string>{});
  EXPECT_EQ(IgnoredFailures(host, [&] { return load(storage.Get()); }), std::vector<std::string>{});
  // 0x80041010 is answered as 0x00041000.
  host.FailCall("PropertyWriter.SetProperty", 1, MakeResult(0x80041010));
  EXPECT_EQ(import(NewStorage().Get()), MakeResult(0x00041000));
}

TEST_F(ReaderObjectTest, ARecordingOpensAgainOnAFreshObject) {
  log.SwitchOn();
  const std::string header =
      WriteBinaryRecording(3, "", "[Channel Infos]\r\nCh2=b,,0.5\r\n[Coordinates]\r\nCh1=1,90,-90\r\n");
  const ComPtr<IStorage> storage = NewStorage();
  Import(header, storage.Get());
  StoreContents contents;  // as gdr dump reads a store
  ASSERT_EQ(ReadStoreContents(storage.Get(), contents), S_OK);
  EXPECT_EQ(contents.channels.at(0).coordinates[2], -90.0f);
  ComPtr<IEEGData> data = NewData();
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  std::vector<float> expected;  // points 2 to 6 of the recording's samples, i * 37 - 500, channel 2 halved
  for (int i = 6; i < 21; ++i) expected.push_back(float(i * 37 - 500) * (i % 3 == 1 ? 0.5f : 1.0f));
  EXPECT_EQ(Data(*data, 2, 5, 15), expected);
  EXPECT_NE(log.Text().find("GenericDataReader > GetData: 2, 5\n"), std::string::npos);

  ComPtr<IHostPropertyWriter> properties;
  ASSERT_EQ(data->GetProperties(properties.Receive()), S_OK);
  EXPECT_NE(log.Text().find("GenericDataReader > GetProperties\n"), std::string::npos);
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
  ComPtr<IEEGData> data = NewData();
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("DataPath")), Resolved("rec.eeg") + '\0');
  EXPECT_EQ(Data(*data, 0, 1, 2).size(), 2u);

  // A header whose data file is gone is refused by its own parse (E_FAIL, no message), and
  // "DataPath" keeps the header's path.
  Store(storage.Get(), OLESTR("DataPath"), upper + '\0');
  data.Reset();  // it holds the data file open
  std::filesystem::rename(dir.File("rec.eeg"), dir.File("gone.eeg"));
  EXPECT_EQ(NewData()->LoadFromStorage(storage.Get(), 0), E_FAIL);
  EXPECT_EQ(StreamBytes(storage.Get(), OLESTR("DataPath")), upper + '\0');
  Store(storage.Get(), OLESTR("DataPath"), dir.Write("bad.shdr", "not a header\r\n\r\n") + '\0');
  EXPECT_EQ(NewData()->LoadFromStorage(storage.Get(), 0), E_FAIL);
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
    std::optional<PropertyStore> properties = Decode(stored);
    ASSERT_TRUE(properties);
    properties->Set(5, 0, row.unit);
    const PropertyStore::Bytes encoded = properties->Encode();
    Store(storage.Get(), OLESTR("HostProperties"), {reinterpret_cast<const char*>(encoded.data()), encoded.size()});
    host.Clear();
    data = NewData();
    ASSERT_EQ(data->LoadFromStorage(storage.Get(), 7), row.loaded) << int(row.unit[0]);
    EXPECT_EQ(host.CallsOf("HostData.LoadFromStorage")[0], "HostData.LoadFromStorage(storage, 7)");
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
  data = NewData();
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  EXPECT_EQ(Data(*data, 0, 2, 4), (std::vector<float>{1, 2, 3, 4}));
  const ComPtr<IStorage> empty = NewStorage();
  EXPECT_EQ(NewData()->LoadFromStorage(empty.Get(), 0), STG_E_FILENOTFOUND);
}

}  // namespace
