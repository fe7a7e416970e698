#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/AsciiCase.h"
#include "platform/Descriptor.h"
#include "platform/Files.h"

namespace {

// Key paths compare without regard to ASCII case, as in the Windows registry.
std::string Fold(std::string_view text) { return ToLowerAscii(text); }

struct Key {
  std::string path;                           // as first written
  std::map<std::string, std::string> values;  // folded name ("@" the default) to data
};
using Keys = std::map<std::string, Key>;  // folded path to key

struct State {
  std::mutex lock;
  std::map<std::uintptr_t, std::string> handles;  // open key to its path
  std::uintptr_t nextHandle = 1;
};

State& Registry() {
  static State state;
  return state;
}

// Owned by the user, and no one else may change it: only such a registry is read.
bool Private(const struct stat& status) {
  return status.st_uid == ::geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The registry file with its folder open. The registry names the modules that activation loads, so it
// is used only when the folder and the file belong to the user and no one else can write them.
class RegistryFile {
 public:
  // For a change the folder is made (0700) when missing and locked until the object goes: the lock is
  // on the folder, which stays while every save replaces the file.
  explicit RegistryFile(bool change) : m_Path(RegistryFilePath()) {
    if (m_Path.empty()) return;
    const std::filesystem::path folder = std::filesystem::path(m_Path).parent_path();
    if (change) {
      std::error_code error;
      std::filesystem::create_directories(folder.parent_path(), error);
      ::mkdir(folder.c_str(), 0700);
    }
    Descriptor opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat status {};
    if (opened.Get() < 0 || ::fstat(opened.Get(), &status) != 0 || !Private(status)) return;
    if (change && ::flock(opened.Get(), LOCK_EX) != 0) return;
    m_Folder = std::move(opened);
  }

  // The keys; nothing when there is no registry of the user's own that can be read.
  std::optional<Keys> Load() const {
    if (m_Folder.Get() < 0) return std::nullopt;
    const std::string name = std::filesystem::path(m_Path).filename();
    const Descriptor file(::openat(m_Folder.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) return errno == ENOENT ? std::optional<Keys>(Keys{}) : std::nullopt;
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || !Private(status)) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(file.Get(), buffer, sizeof buffer)) != 0;) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return std::nullopt;
      text.append(buffer, std::size_t(got));
    }
    Keys keys;
    std::istringstream in(text);
    std::string line;
    Key* current = nullptr;
    while (std::getline(in, line)) {
      if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        const std::string path = line.substr(1, line.size() - 2);
        current = &keys[Fold(path)];
        current->path = path;
      } else if (const std::size_t equals = line.find('='); current && equals != std::string::npos) {
        current->values[Fold(line.substr(0, equals))] = line.substr(equals + 1);
      }
    }
    return keys;
  }

  // Writes a new file, created exclusively beside the old one, and renames it over the old one, so
  // that readers never see half a registry.
  bool Save(const Keys& keys) const {
    if (m_Folder.Get() < 0) return false;
    std::string text;
    for (const auto& [folded, key] : keys) {
      text += '[' + key.path + "]\n";
      for (const auto& [name, data] : key.values) text += name + '=' + data + '\n';
    }
    std::string temporary = m_Path + ".XXXXXX";
    const Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.Get() < 0) return false;
    if (!WriteAll(file.Get(), text) || ::fsync(file.Get()) != 0 || ::rename(temporary.c_str(), m_Path.c_str()) != 0) {
      ::unlink(temporary.c_str());
      return false;
    }
    ::fsync(m_Folder.Get());
    return true;
  }

 private:
  std::string m_Path;
  Descriptor m_Folder;
};

// The keys to read from: none when there is no registry that can be trusted.
Keys Load() { return RegistryFile(false).Load().value_or(Keys{}); }

// The full path of an open key and a subkey; false for an unknown handle.
bool FullPath(State& state, HKEY key, const char* subKey, std::string& path) {
  if (key == HKEY_CLASSES_ROOT) {
    path = "HKEY_CLASSES_ROOT";
  } else if (key == HKEY_CURRENT_USER) {
    path = "HKEY_CURRENT_USER";
  } else {
    const auto found = state.handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (found == state.handles.end()) return false;
    path = found->second;
  }
  if (subKey && *subKey) path += std::string("\\") + subKey;
  return true;
}

HKEY NewHandle(State& state, const std::string& path) {
  const std::uintptr_t handle = state.nextHandle++;
  state.handles[handle] = path;
  return reinterpret_cast<HKEY>(handle);
}

std::string ValueName(const char* name) { return (name && *name) ? Fold(name) : "@"; }

}  // namespace

std::string RegistryFilePath() {
  if (const char* file = std::getenv("GDR_REGISTRY"); file && *file) return file;
  // Never a shared folder such as /tmp: without a folder of the user's own there is no registry.
  const std::string base = UserFolder("XDG_CONFIG_HOME", "/.config");
  return base.empty() ? base : base + "/generic-data-reader/registry";
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, void*, HKEY* result,
                     DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  State& state = Registry();
  std::lock_guard guard(state.lock);
  std::string path;
  if (!FullPath(state, key, subKey, path)) return ERROR_INVALID_HANDLE;
  const RegistryFile file(true);
  std::optional<Keys> loaded = file.Load();
  if (!loaded) return ERROR_ACCESS_DENIED;
  Keys& keys = *loaded;
  const bool existed = keys.count(Fold(path)) != 0;
  // Every key on the way is made too.
  for (std::size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    const std::string prefix = path.substr(0, end);
    Key& made = keys[Fold(prefix)];
    if (made.path.empty()) made.path = prefix;
    if (end == std::string::npos) break;
  }
  if (!existed && !file.Save(keys)) return ERROR_ACCESS_DENIED;
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewHandle(state, path);
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  State& state = Registry();
  std::lock_guard guard(state.lock);
  std::string path;
  if (!FullPath(state, key, subKey, path)) return ERROR_INVALID_HANDLE;
  if (Load().count(Fold(path)) == 0) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(state, path);
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (type != REG_SZ || (!data && size)) return ERROR_INVALID_PARAMETER;
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  if (text.find_first_of("\r\n") != std::string::npos) return ERROR_INVALID_PARAMETER;
  State& state = Registry();
  std::lock_guard guard(state.lock);
  std::string path;
  if (!FullPath(state, key, nullptr, path)) return ERROR_INVALID_HANDLE;
  const RegistryFile file(true);
  std::optional<Keys> keys = file.Load();
  if (!keys) return ERROR_ACCESS_DENIED;
  const auto found = keys->find(Fold(path));
  if (found == keys->end()) return ERROR_FILE_NOT_FOUND;
  found->second.values[ValueName(valueName)] = text;
  return file.Save(*keys) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  State& state = Registry();
  std::lock_guard guard(state.lock);
  std::string path;
  if (!FullPath(state, key, nullptr, path)) return ERROR_INVALID_HANDLE;
  const Keys keys = Load();
  const auto found = keys.find(Fold(path));
  if (found == keys.end()) return ERROR_FILE_NOT_FOUND;
  const auto value = found->second.values.find(ValueName(valueName));
  if (value == found->second.values.end()) return ERROR_FILE_NOT_FOUND;
  if (type) *type = REG_SZ;
  const DWORD needed = DWORD(value->second.size() + 1);
  if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const DWORD available = *size;
  *size = needed;
  if (!data) return ERROR_SUCCESS;
  if (available < needed) return ERROR_MORE_DATA;
  std::memcpy(data, value->second.c_str(), needed);
  return ERROR_SUCCESS;
}

LONG RegDeleteTreeA(HKEY key, const char* subKey) {
  State& state = Registry();
  std::lock_guard guard(state.lock);
  std::string path;
  if (!FullPath(state, key, subKey, path)) return ERROR_INVALID_HANDLE;
  const RegistryFile file(true);
  std::optional<Keys> keys = file.Load();
  if (!keys) return ERROR_ACCESS_DENIED;
  const std::string folded = Fold(path);
  if (keys->erase(folded) == 0) return ERROR_FILE_NOT_FOUND;
  std::erase_if(*keys, [&](const auto& entry) { return entry.first.starts_with(folded + "\\"); });
  return file.Save(*keys) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  State& state = Registry();
  std::lock_guard guard(state.lock);
  return state.handles.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
