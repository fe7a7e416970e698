#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#if !defined(_WIN32)
// The registry's place follows the user's own folders and never falls back to a shared one.
TEST(RegistryPath, OnlyTheUsersOwnFolders) {
  struct Row {
    const char* config;  // XDG_CONFIG_HOME; nullptr: unset
    const char* home;    // HOME; nullptr: unset
    std::string path;
  };
  const Row rows[] = {
      {"/c", "/h", "/c/generic-data-reader/registry"},
      {nullptr, "/h", "/h/.config/generic-data-reader/registry"},
      {"relative", "/h", "/h/.config/generic-data-reader/registry"},
      {nullptr, nullptr, ""},
      {"", "relative", ""},
  };
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  unsetenv("GDR_REGISTRY");
  for (const Row& row : rows) {
    row.config ? setenv("XDG_CONFIG_HOME", row.config, 1) : unsetenv("XDG_CONFIG_HOME");
    row.home ? setenv("HOME", row.home, 1) : unsetenv("HOME");
    EXPECT_EQ(RegistryFilePath(), row.path) << (row.config ? row.config : "-") << " " << (row.home ? row.home : "-");
  }
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", home.c_str(), 1);
}

// A registry that names the test module for kBothClass, written as another user could plant it.
std::string RegistryNaming(const std::string& module) {
  return "[HKEY_CLASSES_ROOT\\CLSID\\" + GuidToString(kBothClass) + "\\InprocServer32]\n@=" + module + "\n";
}

HRESULT ActivateBothClass() {
  ComPtr<IUnknown> made;
  return CoCreateInstance(kBothClass, nullptr, CLSCTX_INPROC_SERVER, IidOf<IUnknown>(), made.ReceiveVoid());
}

TEST_F(RegistryTest, WithoutAFolderOfTheUsersOwnThereIsNoRegistry) {
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  unsetenv("GDR_REGISTRY");
  unsetenv("HOME");
  setenv("TMPDIR", dir.Path().c_str(), 1);
  dir.Write("generic-data-reader/registry", RegistryNaming(ProgramPath(GDR_TEST_MODULE)));
  std::filesystem::permissions(dir.File("generic-data-reader"), std::filesystem::perms::owner_all);
  EXPECT_EQ(ActivateBothClass(), REGDB_E_CLASSNOTREG);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  unsetenv("TMPDIR");
  setenv("HOME", home.c_str(), 1);
  setenv("GDR_REGISTRY", dir.File("registry").c_str(), 1);
}

TEST_F(RegistryTest, OnlyAPrivateRegistryOfTheUsersOwnIsRead) {
  struct Row {
    const char* what;
    mode_t folderMode, fileMode;
    bool otherOwner, link;
    HRESULT expected;
  };
  const Row rows[] = {
      {"private", 0700, 0600, false, false, S_OK},
      {"readable by others", 0755, 0644, false, false, S_OK},
      {"folder writable by others", 0777, 0600, false, false, REGDB_E_CLASSNOTREG},
      {"folder writable by the group", 0770, 0600, false, false, REGDB_E_CLASSNOTREG},
      {"file writable by others", 0700, 0666, false, false, REGDB_E_CLASSNOTREG},
      {"file writable by the group", 0700, 0620, false, false, REGDB_E_CLASSNOTREG},
      {"file of another user", 0700, 0600, true, false, REGDB_E_CLASSNOTREG},
      {"a link", 0700, 0600, false, true, REGDB_E_CLASSNOTREG},
  };
  const std::string registry = dir.File("registry"), planted = dir.File("planted");
  for (const Row& row : rows) {
    if (row.otherOwner && geteuid() != 0) continue;  // only root can give the file away
    std::filesystem::remove(registry);
    dir.Write(row.link ? "planted" : "registry", RegistryNaming(ProgramPath(GDR_TEST_MODULE)));
    if (row.link) std::filesystem::create_symlink(planted, registry);
    ::chmod(row.link ? planted.c_str() : registry.c_str(), row.fileMode);
    if (row.otherOwner) {
      ASSERT_EQ(::chown(registry.c_str(), 65534, 65534), 0);
    }
    ::chmod(dir.Path().c_str(), row.folderMode);
    EXPECT_EQ(ActivateBothClass(), row.expected) << row.what;
    ::chmod(dir.Path().c_str(), 0700);
  }
}

TEST_F(RegistryTest, OnlyAbsoluteModulePathsAreLoaded) {
  const std::filesystem::path module = ProgramPath(GDR_TEST_MODULE);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(module.parent_path());
  dir.Write("registry", RegistryNaming("./" + module.filename().string()));
  EXPECT_EQ(ActivateBothClass(), CO_E_DLLNOTFOUND);
  std::filesystem::current_path(before);
}

TEST_F(RegistryTest, SavingFollowsNoLinkPlantedBesideTheRegistry) {
  const std::string target = dir.Write("bashrc", "keep\n");
  std::filesystem::create_symlink(target, dir.File("registry.new"));
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep\n");
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  struct stat status {};
  ASSERT_EQ(::stat(dir.File("registry").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{X}");
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 3u);  // the registry, the link and its target: no temporary file is left
}
#endif

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
