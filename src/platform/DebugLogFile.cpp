#include "platform/DebugLogFile.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Files.h"
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/Descriptor.h"
#endif

#if defined(_WIN32)

std::string DebugLogPath() { return "C:\\Tmp\\GenericDataReader.log"; }

void AppendToDebugLog(std::string_view text) {
  const std::string path = DebugLogPath();
  if (!PathExists(path)) return;                      // "a+t" would create it
  std::FILE* file = std::fopen(path.c_str(), "a+t");  // text mode: line ends become CR LF
  if (!file) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

#else

std::string DebugLogPath() {
  const std::string folder = UserFolder("XDG_STATE_HOME", "/.local/state");
  return folder.empty() ? folder : folder + "/generic-data-reader/GenericDataReader.log";
}

void AppendToDebugLog(std::string_view text) {
  const std::string path = DebugLogPath();
  if (path.empty()) return;
  // No O_CREAT: a missing file means logging is off. O_NOFOLLOW: a link planted at the log's place
  // is not followed. O_NONBLOCK: a FIFO there cannot make the component wait.
  const Descriptor file(::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  struct stat status {};
  if (file.Get() >= 0 && ::fstat(file.Get(), &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid())
    WriteAll(file.Get(), text);
}

#endif
