#pragma once
// The commands of gdr; each answers the process's exit status.
#include <cstdint>
#include <optional>
#include <string>

struct ReadOptions {
  std::string source;
  std::int64_t from = 0;
  std::optional<std::int64_t> count;  // none: to the end
  std::string channels;               // "0,2,Cz"; empty: all
  std::string format = "csv";
  std::string output;    // empty: stdout
  bool confine = false;  // the recording's files must lie in the folder of its header or store
};

int RunInfo(const std::string& header, bool json, bool confine);
int RunImport(const std::string& header, const std::string& store, bool confine);
int RunDump(const std::string& store, bool json);
int RunRead(const ReadOptions& options);
int RunRegister(bool unregister);
