#include "Text.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>

#include "contract/ResultCodes.h"
#include "header/HeaderFile.h"
#include "header/PathFunctions.h"
#include "platform/CodePages.h"
#include "platform/Conversions.h"

std::string FloatText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

double JsonFloat(float value) { return std::stod(FloatText(value)); }

std::string EscapeControls(std::string_view utf8, Escapes style) {
  std::string escaped;
  escaped.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned code = static_cast<unsigned char>(utf8[i]);
    const bool c1 = code == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0 &&
                    static_cast<unsigned char>(utf8[i + 1]) >= 0x80;
    if (c1) code = static_cast<unsigned char>(utf8[++i]);
    if (c1 || code == 0x7F || (code < 0x20 && style == Escapes::text)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, style == Escapes::json ? "\\u%04x" : "\\x%02x", code);
      escaped += hex;
    } else {
      escaped += char(code);
    }
  }
  return escaped;
}

std::string EscapeLines(std::string_view utf8) {
  std::string lines;
  for (std::size_t start = 0; start <= utf8.size();) {
    std::size_t end = std::min(utf8.find('\n', start), utf8.size());
    const std::size_t next = end + 1;
    if (end > start && utf8[end - 1] == '\r') --end;
    lines += EscapeControls(utf8.substr(start, end - start)) + (next <= utf8.size() ? "\n" : "");
    start = next;
  }
  return lines;
}

std::string CsvCell(std::string_view utf8) {
  std::string cell = EscapeControls(utf8);
  if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos) cell.insert(0, "'");
  if (cell.find_first_of(",\"") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (char c : cell) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

namespace {

// Text of nesting depth `depth`: each line after the first indented by two spaces per level.
std::string Indented(const std::string& text, int depth) {
  std::string shifted;
  for (const char c : text) shifted += c == '\n' ? "\n" + std::string(std::size_t(2 * depth), ' ') : std::string(1, c);
  return EscapeControls(shifted, Escapes::json);
}

}  // namespace

std::string JsonMembers(const nlohmann::json& object, int depth) {
  std::string text = object.dump(2);
  text.pop_back();  // the closing brace
  while (text.back() == '\n' || text.back() == ' ') text.pop_back();
  return Indented(text, depth);
}

void WriteJsonArray(std::FILE* out, std::size_t size, const std::function<nlohmann::json(std::size_t)>& element,
                    int depth) {
  std::fputs(size ? "[" : "[]", out);
  for (std::size_t i = 0; i < size; ++i)
    std::fputs((Indented((i ? ",\n" : "\n") + element(i).dump(2), depth + 1)).c_str(), out);
  if (size) std::fputs(Indented("\n]", depth).c_str(), out);
}

void Complain(const std::string& text) { std::fprintf(stderr, "gdr: %s\n", EscapeControls(text).c_str()); }

std::string NamedFileBeyondAnsi(const std::string& header) {
  CHeaderFile parsed;
  try {
    if (parsed.Load(Utf8ToAnsiText(header)) != HEADER_INVALID || !parsed.m_Utf8) return {};
  } catch (...) {
    return {};
  }
  const auto common = parsed.m_Sections.find("common infos");
  if (common == parsed.m_Sections.end()) return {};
  for (const char* key : {"datafile", "markerfile"}) {
    const auto value = common->second.find(key);
    // A value that is no valid UTF-8 is taken as ANSI bytes and always fits.
    if (value == common->second.end() || DecodeUtf8Path(value->second) == value->second || FitsAnsi(value->second))
      continue;
    const std::string& name = value->second;
    // A bare file name lies beside the header.
    const bool bare = GetDrive(name).empty() && GetDirectory(name).empty();
    return bare ? std::filesystem::path(header).replace_filename(name).string() : name;
  }
  return {};
}

Progress::Progress(std::int64_t total) : m_Total(total), m_Shown(isatty(2) && total > 0) {}

Progress::~Progress() {
  if (m_Drawn) std::fprintf(stderr, "\n");
}

void Progress::Update(std::int64_t done) const {
  if (!m_Shown) return;
  m_Drawn = true;
  const int width = 40, filled = int(width * done / m_Total);
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(std::size_t(filled), '#').c_str(),
               std::string(std::size_t(width - filled), ' ').c_str(), int(100 * done / m_Total));
}
