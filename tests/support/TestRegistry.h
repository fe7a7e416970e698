#pragma once
// Points this platform's registry at a file of the test's own while the object lives. The Windows
// build has the system's registry instead (under Wine, that of the test run's own prefix).
#include <cstdlib>
#include <filesystem>
#include <string>

class TestRegistry {
 public:
  explicit TestRegistry([[maybe_unused]] const std::string& file) {
#if !defined(_WIN32)
    setenv("GDR_REGISTRY", file.c_str(), 1);
    // A registry is read only from a folder that no one else can write.
    std::filesystem::permissions(std::filesystem::path(file).parent_path(), std::filesystem::perms::owner_all);
#endif
  }
  ~TestRegistry() {
#if !defined(_WIN32)
    unsetenv("GDR_REGISTRY");
#endif
  }
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;
};
