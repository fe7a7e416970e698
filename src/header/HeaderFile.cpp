#include "header/HeaderFile.h"

#include <cmath>
#include <cstring>

#include "contract/DataType.h"
#include "header/LineReaders.h"
#include "header/TextRules.h"
#include "platform/CNumbers.h"

CHeaderFile::CHeaderFile()
    : m_UnitCodes{{OLESTR("\u00B5v"), 0},          {OLESTR("-"), 1},
                  {OLESTR("\u00B5v/hz"), 2},       {OLESTR("\u00B5v\u00B2"), 3},
                  {OLESTR("\u00B5v\u00B2/hz"), 4}, {OLESTR("\u00B5v/m\u00B2"), 5}} {}

int CHeaderFile::Load(std::string_view path) {
  m_HeaderPath = std::string(path);
  ReadHeaderLines(path, m_Lines);
  if (m_Lines.size() < 2 || !CheckIdentification()) return HEADER_NOT_THIS_FORMAT;
  SplitSections();
  return Interpret() ? HEADER_PARSED : HEADER_INVALID;
}

bool CHeaderFile::CheckIdentification() {
  const std::string_view line = m_Lines[0];
  if (line.empty()) return false;
  m_ErrorMessage = "Header file contains invalid ID string: \"" + std::string(line) + "\".";

  const std::string lower = ToLowerAscii(line);
  if (lower.find("marker") != std::string::npos) return false;  // a marker file's identification
  const std::size_t digit = lower.find_first_of("0123456789");
  if (digit == std::string::npos) return false;
  const double version = ReadDecimal(std::string_view(lower).substr(digit));
  if (!(version >= 1.0 && std::isfinite(version))) return false;

  static constexpr std::string_view kKnownWords[] = {"tarvo",  "sylvex", "data",   "exchange",
                                                     "header", "file",   "version"};
  static constexpr std::string_view kSeparators = "\t ,";
  int known = 0;
  std::string_view rest = lower;
  while (true) {
    const std::size_t start = rest.find_first_not_of(kSeparators);
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const std::string_view word = rest.substr(0, rest.find_first_of(kSeparators));
    rest.remove_prefix(word.size());
    for (std::string_view knownWord : kKnownWords) known += word == knownWord;
  }
  if (known < 5) return false;
  m_ErrorMessage.clear();
  return true;
}

void CHeaderFile::SplitSections() {
  Section* current = nullptr;
  bool inComment = false;
  for (std::size_t i = 1; i < m_Lines.size(); ++i) {
    const std::string_view line = m_Lines[i];
    if (line.empty() && !inComment) continue;
    if (!line.empty() && line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string::npos) continue;
      const std::string name = ToLowerAscii(line.substr(1, close - 1));
      current = &m_Sections[name];
      inComment = name == "comment";
      continue;
    }
    const bool startsAlphanumeric = !line.empty() && ((line[0] >= '0' && line[0] <= '9') ||
                                                      (ToLowerAscii(line[0]) >= 'a' && ToLowerAscii(line[0]) <= 'z'));
    if (!inComment && !startsAlphanumeric) continue;
    if (!current) continue;
    if (inComment) {
      (*current)["comment"].append(line).append("\n");
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string value(line.substr(equals + 1));
    value.resize(std::min(value.size(), value.find_first_of("\t;")));
    (*current)[ToLowerAscii(line.substr(0, equals))] = std::move(value);
  }
}

bool CHeaderFile::Interpret() {
  if (!FindSection("common infos")) return Fail("Missing section \"[Common Infos]\".");
  if (!InterpretCommonInfos()) return false;
  const bool layoutRead = m_SampleFormat == FORMAT_ASCII ? InterpretAsciiInfos() : InterpretBinaryInfos();
  if (!layoutRead || !ComputeDataLength() || !InterpretChannels() || !CheckPackedLayout()) return false;
  InterpretComment();
  return true;
}

std::int64_t CHeaderFile::NumbersPerDataPoint() const { return ValuesPerPoint(IsComplex(m_DataType), m_Layers); }

const CHeaderFile::Section* CHeaderFile::FindSection(std::string_view name) const {
  const auto found = m_Sections.find(std::string(name));
  return found == m_Sections.end() ? nullptr : &found->second;
}

const std::string* CHeaderFile::FindKey(const Section& section, std::string_view name) {
  const auto found = section.find(ToLowerAscii(name));
  return found == section.end() ? nullptr : &found->second;
}

bool CHeaderFile::Fail(std::string message) {
  m_ErrorMessage = std::move(message);
  return false;
}

bool CHeaderFile::RefuseValue(std::string_view key, const std::string& value) {
  std::string message = "\"";
  message.append(key).append("\" key has invalid value \"").append(value).append("\".");
  return Fail(std::move(message));
}
