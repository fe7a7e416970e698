#include "Confinement.h"

#include <algorithm>
#include <filesystem>

#include "Text.h"
#include "header/HeaderFile.h"
#include "header/LineReaders.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The refusal of a file that lies outside the folder, links and ".." resolved on both sides so that
// neither leads out of it; empty when it lies inside.
std::string Confine(const fs::path& file, const fs::path& folder) {
  std::error_code error;
  const fs::path real = fs::weakly_canonical(fs::absolute(file, error), error);
  const fs::path realFolder = fs::weakly_canonical(fs::absolute(folder, error), error);
  const fs::path relative = real.lexically_relative(realFolder);
  if (!error && !relative.empty() && *relative.begin() != "..") return {};
  return Utf8(real) + " lies outside " + Utf8(realFolder) + " (--confine)";
}

}  // namespace

std::string HeaderConfinement(const std::string& header) {
  const std::string ansiHeader = Utf8ToAnsiText(header);
  CHeaderFile parsed;
  try {
    ReadHeaderLines(ansiHeader, parsed.m_Lines);
  } catch (...) {
    return {};  // the component reports a header it cannot read
  }
  parsed.SplitSections();
  const auto common = parsed.m_Sections.find("common infos");
  if (common == parsed.m_Sections.end()) return {};
  const fs::path folder = PathOf(header).parent_path();
  for (const char* key : {"datafile", "markerfile"}) {
    const auto value = common->second.find(key);
    if (value == common->second.end()) continue;
    const std::string path = CHeaderFile::ResolveFileName(value->second, ansiHeader);
    if (std::string refusal = Confine(ToNativePath(path), folder); !refusal.empty()) return refusal;
  }
  return {};
}

std::string StoreConfinement(const std::string& store, const std::string& dataFile) {
  if (dataFile.empty()) return {};  // no data file to read
  std::string file = dataFile;      // a store written on Windows names it with "\"
  if (fs::path::preferred_separator == '/') std::replace(file.begin(), file.end(), '\\', '/');
  return Confine(PathOf(file), PathOf(store).parent_path());
}
