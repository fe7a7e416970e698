#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/ComObject.h"
#include "platform/ComRuntime.h"
#include "platform/Exceptions.h"
#include "platform/Registry.h"
#include "platform/Storage.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/TestRegistry.h"

class ISecond : public IUnknown {
 public:
  virtual int Second() = 0;
};

GDR_INTERFACE_ID(ISecond, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x02)

namespace {

int g_Living = 0;

// An object with two interfaces that is its own class's factory.
class Both final : public ComObject<IClassFactory, ISecond> {
 public:
  Both() { ++g_Living; }
  ~Both() override { --g_Living; }
  HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override {
    return MakeCom<IUnknown, Both>()->QueryInterface(iid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
  int Second() override { return 2; }
};

constexpr CLSID kBothClass = {0xABCDEF01, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

HRESULT Activate() {
  ComPtr<IUnknown> made;
  return CoCreateInstance(kBothClass, nullptr, CLSCTX_INPROC_SERVER, IidOf<IUnknown>(), made.ReceiveVoid());
}

TEST(Guid, TextFormRoundTrips) {
  EXPECT_EQ(GuidToString(kBothClass), "{ABCDEF01-1234-5678-0102-030405060708}");
  EXPECT_EQ(StringToGuid("{abcdef01-1234-5678-0102-030405060708}"), kBothClass);
  for (const char* text : {"{ABCDEF01-1234-5678-0102-03040506070}", "ABCDEF01-1234-5678-0102-030405060708",
                           "{ABCDEF01-1234-5678-0102-03040506070G}"})
    EXPECT_EQ(StringToGuid(text), std::nullopt) << text;
}

TEST(ComObject, QueryInterfaceKeepsOneIdentityAndCountsReferences) {
  {
    ComPtr<IClassFactory> first = MakeCom<IClassFactory, Both>();
    ASSERT_TRUE(first);
    ComPtr<ISecond> second;
    ASSERT_EQ(first.As(second), S_OK);
    EXPECT_EQ(second->Second(), 2);
    ComPtr<IUnknown> a, b;
    first.As(a);
    second.As(b);
    EXPECT_EQ(a.Get(), b.Get());
    ComPtr<IStream> none;
    EXPECT_EQ(first.As(none), E_NOINTERFACE);
    EXPECT_FALSE(none);
    EXPECT_EQ(first->QueryInterface(IidOf<ISecond>(), nullptr), E_POINTER);
    EXPECT_EQ(g_Living, 1);
  }
  EXPECT_EQ(g_Living, 0);
  EXPECT_FALSE((MakeCom<IStream, Both>()));  // not implemented: made and gone again
  EXPECT_EQ(g_Living, 0);
}

TEST(ComRuntime, ActivationNeedsOleInitialisedAndOleCountsItsUsers) {
  DWORD cookie = 0;
  ComPtr<IClassFactory> factory = MakeCom<IClassFactory, Both>();
  EXPECT_EQ(CoRegisterClassObject(kBothClass, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(Activate(), CO_E_NOTINITIALIZED);
#if !defined(_WIN32)  // the system's COM does not tell its count
  ASSERT_EQ(OleInitializeCount(), 0);
  EXPECT_EQ(OleInitialize(nullptr), S_OK);
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  OleUninitialize();
  OleUninitialize();
  EXPECT_EQ(OleInitializeCount(), 0);
#endif
}

class RegistryTest : public ::testing::Test {
 protected:
  // The test's class goes before and after it: the system's registry outlives a test.
  void SetUp() override { RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + GuidToString(kBothClass)).c_str()); }
  void TearDown() override { SetUp(); }

  TempDir dir;
  TestRegistry registry{dir.File("registry")};
  OleSession ole;
};

TEST_F(RegistryTest, ClassTableComesFirstAndRevokingRemovesTheClass) {
  DWORD cookie = 0;
  ComPtr<IClassFactory> factory = MakeCom<IClassFactory, Both>();
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

// Keys and values are saved in the registry file; on this platform, never through a link planted
// beside it, and with no temporary file left.
TEST_F(RegistryTest, KeysAndValuesAreSavedInTheFile) {
#if !defined(_WIN32)
  const std::string target = dir.Write("bashrc", "keep\n");
  std::filesystem::create_symlink(target, dir.File("registry.new"));
#endif
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const char path[] = "/opt/module.so";
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "clsid\\{x}\\inprocserver32", 0, KEY_READ, &key), ERROR_SUCCESS);
  BYTE text[64];
  DWORD size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, text, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof path);
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, text, &size), ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(text), path);
  EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, text, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);

  EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{X}"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
#if !defined(_WIN32)
  EXPECT_EQ(Slurp(target), "keep\n");
  EXPECT_EQ(std::filesystem::status(dir.File("registry")).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);  // registry, link, target
#endif
}

#if !defined(_WIN32)
// A registry that names `module` for kBothClass, written as another user could plant it.
std::string RegistryNaming(const std::string& module) {
  return "[HKEY_CLASSES_ROOT\\CLSID\\" + GuidToString(kBothClass) + "\\InprocServer32]\n@=" + module + "\n";
}

// The registry's place follows the user's own folders and never falls back to a shared one (here a
// registry in TMPDIR): without one there is no registry to read or write.
TEST_F(RegistryTest, OnlyTheUsersOwnFolders) {
  struct Row {
    const char* config;  // XDG_CONFIG_HOME; nullptr: unset
    const char* home;    // HOME; nullptr: unset
    std::string path;
  };
  const Row rows[] = {
      {"/c", "/h", "/c/generic-data-reader/registry"},
      {nullptr, "/h", "/h/.config/generic-data-reader/registry"},
      {"relative", "/h", "/h/.config/generic-data-reader/registry"},
      {"", "relative", ""},
      {nullptr, nullptr, ""},
  };
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  unsetenv("GDR_REGISTRY");
  setenv("TMPDIR", dir.Path().c_str(), 1);
  dir.Write("generic-data-reader/registry", RegistryNaming(ProgramPath(GDR_TEST_MODULE)));
  std::filesystem::permissions(dir.File("generic-data-reader"), std::filesystem::perms::owner_all);
  for (const Row& row : rows) {
    row.config ? setenv("XDG_CONFIG_HOME", row.config, 1) : unsetenv("XDG_CONFIG_HOME");
    row.home ? setenv("HOME", row.home, 1) : unsetenv("HOME");
    EXPECT_EQ(RegistryFilePath(), row.path) << (row.config ? row.config : "-") << " " << (row.home ? row.home : "-");
  }
  EXPECT_EQ(Activate(), REGDB_E_CLASSNOTREG);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  unsetenv("TMPDIR");
  setenv("HOME", home.c_str(), 1);
  setenv("GDR_REGISTRY", dir.File("registry").c_str(), 1);
}

// The module a registry names is loaded only from a private registry of the user's own, and only by
// an absolute path.
TEST_F(RegistryTest, OnlyAPrivateRegistryOfTheUsersOwnIsRead) {
  struct Row {
    const char* what;
    mode_t folderMode, fileMode;
    bool otherOwner, link, relative;
    HRESULT expected;
  };
  const Row rows[] = {
      {"private", 0700, 0600, false, false, false, S_OK},
      {"readable by others", 0755, 0644, false, false, false, S_OK},
      {"folder writable by others", 0777, 0600, false, false, false, REGDB_E_CLASSNOTREG},
      {"folder writable by the group", 0770, 0600, false, false, false, REGDB_E_CLASSNOTREG},
      {"file writable by others", 0700, 0666, false, false, false, REGDB_E_CLASSNOTREG},
      {"file writable by the group", 0700, 0620, false, false, false, REGDB_E_CLASSNOTREG},
      {"file of another user", 0700, 0600, true, false, false, REGDB_E_CLASSNOTREG},
      {"a link", 0700, 0600, false, true, false, REGDB_E_CLASSNOTREG},
      {"a relative module path", 0700, 0600, false, false, true, CO_E_DLLNOTFOUND},
  };
  const std::filesystem::path module = ProgramPath(GDR_TEST_MODULE), before = std::filesystem::current_path();
  std::filesystem::current_path(module.parent_path());
  const std::string registry = dir.File("registry"), planted = dir.File("planted");
  for (const Row& row : rows) {
    if (row.otherOwner && geteuid() != 0) continue;  // only root can give the file away
    std::filesystem::remove(registry);
    dir.Write(row.link ? "planted" : "registry",
              RegistryNaming(row.relative ? "./" + module.filename().string() : module.string()));
    if (row.link) std::filesystem::create_symlink(planted, registry);
    ::chmod(row.link ? planted.c_str() : registry.c_str(), row.fileMode);
    if (row.otherOwner) {
      ASSERT_EQ(::chown(registry.c_str(), 65534, 65534), 0);
    }
    ::chmod(dir.Path().c_str(), row.folderMode);
    EXPECT_EQ(Activate(), row.expected) << row.what;
    ::chmod(dir.Path().c_str(), 0700);
  }
  std::filesystem::current_path(before);
}

#endif

TEST(ComError, MessagesForCodesWithAndWithoutTextAndTheExceptionOfAFailure) {
#if !defined(_WIN32)  // this platform's copies of the Windows texts; the Windows build asks the system
  EXPECT_EQ(_com_error(E_FAIL).ErrorMessage(), "Unspecified error");
  EXPECT_EQ(_com_error(STG_E_FILENOTFOUND).ErrorMessage(), "%1 could not be found.");
  EXPECT_EQ(_com_error(MakeResult(0x80070002)).ErrorMessage(), "Unknown error 0x80070002");
#endif
  EXPECT_EQ(_com_error(MakeResult(0x80040201)).ErrorMessage(), "IDispatch error #1");
  EXPECT_EQ(_com_error(MakeResult(0x8004FFFF)).ErrorMessage(), "IDispatch error #65023");
  EXPECT_EQ(_com_error(MakeResult(0x80041003)).ErrorMessage(), "IDispatch error #3587");
  EXPECT_EQ(_com_error(MakeResult(0x00041001)).ErrorMessage(), "Unknown error 0x41001");

  EXPECT_EQ(ThrowIfFailed(S_FALSE), S_FALSE);
  EXPECT_THROW(ThrowIfFailed(STG_E_FILENOTFOUND), COleException);
}

}  // namespace
