#include "component/ComponentTestSupport.h"
#include "contract/ReaderIdentity.h"
#include "host/HostClasses.h"
#include "platform/ComRuntime.h"
#include "platform/CompoundFile.h"
#include "platform/Module.h"
#include "support/TestRegistry.h"

namespace {

using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);

// The module leaves OLE as it found it, with the host's one initialisation: this platform counts
// the initialisations of a thread (the system's COM does not tell them).
void ExpectOleAsFound() {
#if !defined(_WIN32)
  EXPECT_EQ(OleInitializeCount(), 1);
#endif
}

using NoArguments = HRESULT (*)();

// The module, loaded as a host loads it, with a registry of its own.
class ModuleTest : public ComponentTest {
 protected:
  void SetUp() override {
    module = LoadLibraryA(GDR_READER_MODULE);
    ASSERT_NE(module, nullptr);
    getClassObject = GetProcAddressAs<GetClassObject>(module, "DllGetClassObject");
    canUnloadNow = GetProcAddressAs<NoArguments>(module, "DllCanUnloadNow");
    registerServer = GetProcAddressAs<NoArguments>(module, "DllRegisterServer");
    unregisterServer = GetProcAddressAs<NoArguments>(module, "DllUnregisterServer");
    ASSERT_TRUE(getClassObject && canUnloadNow && registerServer && unregisterServer);
  }

  TestRegistry registry{dir.File("registry")};
  HMODULE module = nullptr;
  GetClassObject getClassObject = nullptr;
  NoArguments canUnloadNow = nullptr, registerServer = nullptr, unregisterServer = nullptr;
};

TEST_F(ModuleTest, OnlyTheFourFunctionsAreExported) {
  EXPECT_EQ(GetProcAddress(module, "_ZN14CEEGFileReader11OpenRawFileEPKcPi"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "LockModule"), nullptr);
}

TEST_F(ModuleTest, TheClassFactoryMakesReadersAndHoldsTheModule) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(getClassObject(GUID_NULL, IidOf<IClassFactory>(), factory.ReceiveVoid()), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(factory);
  ASSERT_EQ(getClassObject(CLSID_GenericDataReader, IidOf<IClassFactory>(), factory.ReceiveVoid()), S_OK);
  EXPECT_EQ(canUnloadNow(), S_OK);
  ComPtr<IEEGRawFileReader> reader;
  ASSERT_EQ(factory->CreateInstance(nullptr, IidOf<IEEGRawFileReader>(), reader.ReceiveVoid()), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  ComPtr<IClassFactory> none;
  EXPECT_EQ(factory->CreateInstance(nullptr, IidOf<IClassFactory>(), none.ReceiveVoid()), E_NOINTERFACE);
  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(reader.Get(), IidOf<IEEGData>(), aggregated.ReceiveVoid()), CLASS_E_NOAGGREGATION);
  reader.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory->LockServer(TRUE);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ModuleTest, RegistrationGoesThroughTheHost) {
  host.Recorder().Clear();
  EXPECT_EQ(registerServer(), S_OK);
  const std::string clsid = "\"" + GuidToString(CLSID_GenericDataReader) + "\"";
  EXPECT_EQ(
      host.Recorder().Calls(),
      (std::vector<std::string>{"Create(IHostRegistration)",
                                "Registration.RegisterClass(" + clsid + ", \"Sylvex.MISC.TSK GenericDataReader\")",
                                "Registration.RegisterComponent(\"Kaptor\\Miscellaneous\", " + clsid +
                                    ", \"TS Kaptor Generic Data Reader\")"}));
  ExpectOleAsFound();
#if !defined(_WIN32)
  EXPECT_EQ(host.OleAtToolboxRelease(), 1);  // released after the module ended its OLE
#endif
  // A real activation of the class now loads the module through the registry.
  ComPtr<ISylvexVersion> version;
  ASSERT_EQ(CoCreateInstance(CLSID_GenericDataReader, nullptr, CLSCTX_INPROC_SERVER, IidOf<ISylvexVersion>(),
                             version.ReceiveVoid()),
            S_OK);
  version.Reset();
  host.Recorder().Clear();
  EXPECT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(host.Recorder().CallsOf("Registration.Unregister").size(), 2u);
  EXPECT_EQ(CoCreateInstance(CLSID_GenericDataReader, nullptr, CLSCTX_INPROC_SERVER, IidOf<ISylvexVersion>(),
                             version.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(unregisterServer(), S_OK);  // nothing registered: still 0
}

TEST_F(ModuleTest, AFailingRegisterClassStopsTheRegistration) {
  host.Recorder().Clear();
  host.Recorder().FailCall("Registration.RegisterClass", 1, E_ACCESSDENIED);
  EXPECT_EQ(registerServer(), E_ACCESSDENIED);
  EXPECT_TRUE(host.Recorder().CallsOf("Registration.RegisterComponent").empty());
  ExpectOleAsFound();
#if !defined(_WIN32)
  EXPECT_EQ(host.OleAtToolboxRelease(), 2);  // released while the module's OLE still ran
#endif
  host.Recorder().FailCall("Create", 2, REGDB_E_CLASSNOTREG);
  EXPECT_EQ(registerServer(), REGDB_E_CLASSNOTREG);
}

TEST_F(ModuleTest, ARecordingGoesThroughTheModuleAndBack) {
  const std::string header = WriteBinaryRecording(2);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_GenericDataReader, IidOf<IClassFactory>(), factory.ReceiveVoid()), S_OK);
  ComPtr<IEEGRawFileReader> reader;
  ASSERT_EQ(factory->CreateInstance(nullptr, IidOf<IEEGRawFileReader>(), reader.ReceiveVoid()), S_OK);
  LONG opened = 0;
  ASSERT_EQ(reader->OpenRawFile(header.c_str(), &opened), S_OK);
  const ComPtr<IStorage> storage = NewStorage();
  ASSERT_EQ(reader->CreateStorageEntries(storage.Get(), 0), S_OK);
  ComPtr<IEEGData> data;
  ASSERT_EQ(factory->CreateInstance(nullptr, IidOf<IEEGData>(), data.ReceiveVoid()), S_OK);
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  float* block = nullptr;
  ASSERT_EQ(data->GetData(9, 1, &block, nullptr, 0), S_OK);
  EXPECT_EQ(block[0], float(18 * 37 - 500));
  EXPECT_EQ(block[1], float(19 * 37 - 500));
  CoTaskMemFree(block);
  // The same into a compound file on disk, opened again from the file by a fresh object.
  const std::string file = dir.File("rec.gdr");
  const WideString wide(file.begin(), file.end());
  ComPtr<IStorage> onDisk;
  ASSERT_EQ(StgCreateDocfile(wide.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, onDisk.Receive()),
            S_OK);
  ASSERT_EQ(reader->CreateStorageEntries(onDisk.Get(), 0), S_OK);
  ASSERT_EQ(onDisk->Commit(STGC_DEFAULT), S_OK);
  onDisk.Reset();
  ASSERT_EQ(StgOpenStorage(wide.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, onDisk.Receive()),
            S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IidOf<IEEGData>(), data.ReceiveVoid()), S_OK);
  ASSERT_EQ(data->LoadFromStorage(onDisk.Get(), 0), S_OK);
  ASSERT_EQ(data->GetData(9, 1, &block, nullptr, 0), S_OK);
  EXPECT_EQ(block[1], float(19 * 37 - 500));
  CoTaskMemFree(block);
  // An invalid header shows its message through the host, from inside the module.
  const std::string invalid = WriteHeader("[Other]\r\n", "bad.shdr");
  EXPECT_EQ(reader->OpenRawFile(invalid.c_str(), &opened), MakeResult(0x80041003));
  EXPECT_EQ(host.Messages(), std::vector<std::string>{invalid + ":Missing section \"[Common Infos]\"."});
}

}  // namespace
