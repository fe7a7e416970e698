#include "component/ComponentTestSupport.h"
#include "contract/ReaderIdentity.h"
#include "platform/Module.h"
#include "support/TestRegistry.h"

namespace {

using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);

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
  host.Clear();
  EXPECT_EQ(registerServer(), S_OK);
  const std::string clsid = GuidToString(CLSID_GenericDataReader);
  EXPECT_EQ(host.CallsOf(), (std::vector<std::string>{
                                "Create(Registration)",
                                "Registration.RegisterClass(" + clsid + ", \"Sylvex.MISC.TSK GenericDataReader\")",
                                "Registration.RegisterComponent(\"Kaptor\\Miscellaneous\", " + clsid +
                                    ", \"TS Kaptor Generic Data Reader\")"}));
#if !defined(_WIN32)  // this platform counts a thread's OLE initialisations (the system's COM does not tell)
  EXPECT_EQ(OleInitializeCount(), 1);     // as the module found it, with the host's one
  EXPECT_EQ(host.OleAtLastRelease(), 1);  // released after the module ended its OLE
#endif
  // A real activation of the class now loads the module through the registry.
  ComPtr<ISylvexVersion> version;
  ASSERT_EQ(CoCreateInstance(CLSID_GenericDataReader, nullptr, CLSCTX_INPROC_SERVER, IidOf<ISylvexVersion>(),
                             version.ReceiveVoid()),
            S_OK);
  version.Reset();
  EXPECT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_GenericDataReader, nullptr, CLSCTX_INPROC_SERVER, IidOf<ISylvexVersion>(),
                             version.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(unregisterServer(), S_OK);  // nothing registered: still 0
}

// A failing host call stops the registration, but the component's own entry and the unregistration
// go on regardless.
TEST_F(ModuleTest, AFailingHostCallStopsTheRegistration) {
  const std::string clsid = GuidToString(CLSID_GenericDataReader);
  EXPECT_EQ(IgnoredFailures(host, [&] { return registerServer(); }),
            std::vector<std::string>{"Registration.RegisterComponent(\"Kaptor\\Miscellaneous\", " + clsid +
                                     ", \"TS Kaptor Generic Data Reader\")"});
  EXPECT_EQ(IgnoredFailures(host, [&] { return unregisterServer(); }),
            (std::vector<std::string>{"Registration.UnregisterComponent(\"Kaptor\\Miscellaneous\", " + clsid + ")",
                                      "Registration.UnregisterClass(" + clsid + ")"}));
  host.FailCall("Registration.RegisterClass", 1, E_ACCESSDENIED);
  EXPECT_EQ(registerServer(), E_ACCESSDENIED);
#if !defined(_WIN32)
  EXPECT_EQ(OleInitializeCount(), 1);
  EXPECT_EQ(host.OleAtLastRelease(), 2);  // released while the module's OLE still ran
#endif
}

}  // namespace
