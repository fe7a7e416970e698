#pragma once
// The commands of gdr, each with its options; each answers the process's exit status.
#include <cstdint>
#include <optional>
#include <string>

struct InfoOptions {
  std::string header;
  bool json = false;
  bool confine = false;  // the recording's files must lie in the folder of its header or store
};

struct ImportOptions {
  std::string header;
  std::string store;
  bool confine = false;
};

struct DumpOptions {
  std::string store;
  bool json = false;
};

// What read and export take from a recording.
struct SelectionOptions {
  std::string source;
  std::int64_t from = 0;
  std::optional<std::int64_t> count;  // none: to the end
  std::string channels;               // "0,2,Cz"; empty: all
  bool confine = false;
};

struct ReadOptions : SelectionOptions {
  std::string format = "csv";
  std::string output;  // empty: stdout
};

struct ExportArguments : SelectionOptions {
  std::string output;
  std::string format;  // edf or bdf; empty: from the output's extension
};

int RunInfo(const InfoOptions& options);
int RunImport(const ImportOptions& options);
int RunDump(const DumpOptions& options);
int RunRead(const ReadOptions& options);
int RunRegister(bool unregister);
int RunExport(const ExportArguments& arguments);
// gdr info of a store: none when the file is no compound file (then it is taken for a header).
std::optional<int> InfoOfStore(const std::string& path, bool json, bool confine);
