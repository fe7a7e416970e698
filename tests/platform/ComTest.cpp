#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ComObject.h"
#include "platform/ComRuntime.h"
#include "platform/Exceptions.h"
#include "platform/Module.h"
#include "platform/Registry.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/TestRegistry.h"

namespace {

class IFirst : public IUnknown {
 public:
  virtual int First() = 0;
};
class ISecond : public IUnknown {
 public:
  virtual int Second() = 0;
};

}  // namespace

GDR_INTERFACE_ID(IFirst, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x01)
GDR_INTERFACE_ID(ISecond, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x02)

namespace {

int g_Living = 0;

class Both final : public ComObject<IFirst, ISecond> {
 public:
  Both() { ++g_Living; }
  ~Both() override { --g_Living; }
  int First() override { return 1; }
  int Second() override { return 2; }
};

class BothFactory final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<IUnknown> made = MakeCom<IUnknown, Both>();
    return made->QueryInterface(iid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

constexpr CLSID kBothClass = {0xABCDEF01, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr CLSID kOther = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};

TEST(Guid, TextFormRoundTrips) {
  EXPECT_EQ(GuidToString(kBothClass), "{ABCDEF01-1234-5678-0102-030405060708}");
  EXPECT_EQ(StringToGuid("{abcdef01-1234-5678-0102-030405060708}"), kBothClass);
  EXPECT_EQ(StringToGuid("{ABCDEF01-1234-5678-0102-03040506070}"), std::nullopt);
  EXPECT_EQ(StringToGuid("ABCDEF01-1234-5678-0102-030405060708"), std::nullopt);
  EXPECT_EQ(StringToGuid("{ABCDEF01-1234-5678-0102-03040506070G}"), std::nullopt);
  std::uint8_t bytes[16];
  GuidToBytes(kBothClass, bytes);
  EXPECT_EQ(bytes[0], 0x01);  // little-endian first field
  EXPECT_EQ(bytes[3], 0xAB);
  EXPECT_EQ(GuidFromBytes(bytes), kBothClass);
}

TEST(ComObject, QueryInterfaceKeepsOneIdentityAndCountsReferences) {
  {
    ComPtr<IFirst> first = MakeCom<IFirst, Both>();
    ASSERT_TRUE(first);
    ComPtr<ISecond> second;
    ASSERT_EQ(first.As(second), S_OK);
    EXPECT_EQ(second->Second(), 2);
    ComPtr<IUnknown> a, b;
    first.As(a);
    second.As(b);
    EXPECT_EQ(a.Get(), b.Get());
    ComPtr<IClassFactory> none;
    EXPECT_EQ(first.As(none), E_NOINTERFACE);
    EXPECT_FALSE(none);
    EXPECT_EQ(first->QueryInterface(IidOf<IFirst>(), nullptr), E_POINTER);
    EXPECT_EQ(g_Living, 1);
  }
  EXPECT_EQ(g_Living, 0);
  EXPECT_FALSE((MakeCom<IClassFactory, Both>()));  // not implemented: made and gone again
  EXPECT_EQ(g_Living, 0);
}

#if !defined(_WIN32)  // the system's COM does not tell its count
TEST(ComRuntime, TaskAllocatorAndOleCount) {
  void* memory = CoTaskMemAlloc(16);
  ASSERT_NE(memory, nullptr);
  memory = CoTaskMemRealloc(memory, 32);
  CoTaskMemFree(memory);
  CoTaskMemFree(nullptr);
  const int before = OleInitializeCount();
  EXPECT_EQ(OleInitialize(nullptr), before == 0 ? S_OK : S_FALSE);
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  OleUninitialize();
  OleUninitialize();
  EXPECT_EQ(OleInitializeCount(), before);
}
#endif

class RegistryTest : public ::testing::Test {
 protected:
  // The test's classes go before and after it: the system's registry outlives a test.
  void SetUp() override { RemoveTestClasses(); }
  void TearDown() override { RemoveTestClasses(); }
  static void RemoveTestClasses() {
    for (const CLSID& clsid : {kBothClass, kOther}) {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + GuidToString(clsid)).c_str());
    }
  }

  TempDir dir;
  TestRegistry registry{dir.File("registry")};
  OleSession ole;
};

TEST(ComRuntime, ActivationNeedsOleInitialised) {
#if !defined(_WIN32)
  ASSERT_EQ(OleInitializeCount(), 0);
#endif
  DWORD cookie = 0;
  ComPtr<IClassFactory> factory = MakeCom<IClassFactory, BothFactory>();
  EXPECT_EQ(CoRegisterClassObject(kBothClass, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            CO_E_NOTINITIALIZED);
  ComPtr<IUnknown> made;
  EXPECT_EQ(CoCreateInstance(kBothClass, nullptr, CLSCTX_ALL, IidOf<IUnknown>(), made.ReceiveVoid()),
            CO_E_NOTINITIALIZED);
}

TEST_F(RegistryTest, ClassTableComesFirstAndRevokingRemovesTheClass) {
  DWORD cookie = 0;
  ComPtr<IClassFactory> factory = MakeCom<IClassFactory, BothFactory>();
  ASSERT_EQ(CoRegisterClassObject(kBothClass, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  ComPtr<ISecond> second;
  ASSERT_EQ(CoCreateInstance(kBothClass, nullptr, CLSCTX_ALL, IidOf<ISecond>(), second.ReceiveVoid()), S_OK);
  EXPECT_EQ(second->Second(), 2);
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
  EXPECT_EQ(CoCreateInstance(kBothClass, nullptr, CLSCTX_ALL, IidOf<ISecond>(), second.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(second);
}

TEST_F(RegistryTest, KeysAndValuesPersistInTheFile) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const char path[] = "/opt/module.so";
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "clsid\\{x}\\inprocserver32", 0, KEY_READ, &key), ERROR_SUCCESS);
  char small[4];
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof path);
  char text[64];
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, path);
  EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);

  EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{X}"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AClassRegisteredToAModuleIsLoadedFromIt) {
  const std::string module = ProgramPath(GDR_TEST_MODULE);
  const std::string clsidKey = "CLSID\\" + GuidToString(kBothClass) + "\\InprocServer32";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, clsidKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(module.c_str()), DWORD(module.size() + 1));
  RegCloseKey(key);
  ComPtr<IUnknown> made;
  ASSERT_EQ(CoCreateInstance(kBothClass, nullptr, CLSCTX_INPROC_SERVER, IidOf<IUnknown>(), made.ReceiveVoid()), S_OK);
  EXPECT_TRUE(made);
  // Another class of the same module answers what the module's DllGetClassObject answers.
  const std::string otherKey = "CLSID\\" + GuidToString(kOther) + "\\InprocServer32";
  RegCreateKeyExA(HKEY_CLASSES_ROOT, otherKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  const char missing[] = "/nonexistent/module.so";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing), sizeof missing);
  RegCloseKey(key);
  const HRESULT notLoaded =
      CoCreateInstance(kOther, nullptr, CLSCTX_INPROC_SERVER, IidOf<IUnknown>(), made.ReceiveVoid());
#if defined(_WIN32)
  EXPECT_TRUE(FAILED(notLoaded));  // the system's own code (Wine's differs from Windows')
#else
  EXPECT_EQ(notLoaded, CO_E_DLLNOTFOUND);
#endif
}

TEST(ComError, MessagesForCodesWithAndWithoutText) {
#if !defined(_WIN32)  // this platform's copies of the Windows texts; the Windows build asks the system
  EXPECT_EQ(_com_error(E_FAIL).ErrorMessage(), "Unspecified error");
  EXPECT_EQ(_com_error(STG_E_FILENOTFOUND).ErrorMessage(), "%1 could not be found.");
  EXPECT_EQ(_com_error(MakeResult(0x80070002)).ErrorMessage(), "Unknown error 0x80070002");
#endif
  EXPECT_EQ(_com_error(MakeResult(0x80040201)).ErrorMessage(), "IDispatch error #1");
  EXPECT_EQ(_com_error(MakeResult(0x8004FFFF)).ErrorMessage(), "IDispatch error #65023");
  EXPECT_EQ(_com_error(MakeResult(0x80041003)).ErrorMessage(), "IDispatch error #3587");
  EXPECT_EQ(_com_error(MakeResult(0x00041001)).ErrorMessage(), "Unknown error 0x41001");
}

TEST(ComError, ThrowIfFailedRaisesTheOleExceptionWithTheCode) {
  EXPECT_EQ(ThrowIfFailed(S_FALSE), S_FALSE);
  try {
    ThrowIfFailed(STG_E_FILENOTFOUND);
    FAIL() << "no exception";
  } catch (const COleException& e) {
    EXPECT_EQ(e.m_sc, STG_E_FILENOTFOUND);
  }
}

}  // namespace
