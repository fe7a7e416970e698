#include "header/LineReaders.h"

#include <algorithm>
#include <cstring>

#include "platform/DataFile.h"
#include "platform/Files.h"
#include "platform/Memory.h"

namespace {

// The number of CR and LF bytes: no more lines than one more than these can come of a text.
std::size_t CountLineEnds(const char* begin, const char* end) {
  return std::size_t(std::count(begin, end, '\r') + std::count(begin, end, '\n'));
}

}  // namespace

struct TextLines::Mapping {
  HANDLE file = INVALID_HANDLE_VALUE;
  FileView view;
  FileVersion version;  // the file's when its lines were split
  ~Mapping() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

TextLines::TextLines() = default;
TextLines::~TextLines() = default;
TextLines::TextLines(TextLines&&) noexcept = default;
TextLines& TextLines::operator=(TextLines&&) noexcept = default;

bool TextLines::Map(std::string_view path) {
  auto mapping = std::make_unique<Mapping>();
  mapping->file = CreateFileA(std::string(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (mapping->file == INVALID_HANDLE_VALUE) return false;
  mapping->version = GetFileVersion(mapping->file);
  const std::uint64_t size = mapping->version.size;
  if (size > SIZE_MAX || !mapping->view.Map(mapping->file, size)) return false;
  m_pText = reinterpret_cast<const char*>(mapping->view.Data());
  m_Size = std::size_t(size);
  m_Mapping = std::move(mapping);
  return true;
}

bool TextLines::KeepWithinFile() {
  if (!m_Mapping) return false;
  const FileVersion version = GetFileVersion(m_Mapping->file);
  if (version == m_Mapping->version) return false;
  m_Mapping->version = version;
  if (version.size < m_Size) {  // the text left, as a copy
    m_Size = std::size_t(version.size);
    m_Text = std::make_unique_for_overwrite<char[]>(m_Size);
    std::memcpy(m_Text.get(), m_pText, m_Size);
    m_pText = m_Text.get();
    m_Mapping.reset();
  }
  SplitCompact();
  return true;
}

// The whole file behind an optional byte order mark, followed by zero bytes up to the file's length
// plus one (more zeros when the mark was skipped), split into lines.
void TextLines::ReadTerminated(std::string_view path, bool skipByteOrderMark) {
  CFile file(path, CFile::Share::denyWrite);
  const std::size_t length = static_cast<std::size_t>(file.GetLength());
  std::size_t skipped = 0;
  if (skipByteOrderMark && length >= 3) {
    unsigned char mark[3] = {};
    if (file.Read(mark, 3) == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
      skipped = 3;
    else
      file.SeekToBegin();
  }
  m_Size = length + 1;
  m_Text = std::make_unique_for_overwrite<char[]>(m_Size);
  m_pText = m_Text.get();
  m_Mapping.reset();
  AdviseLargeBuffer(m_Text.get(), m_Size);
  const std::size_t read = file.Read(m_Text.get(), length - skipped);
  std::fill(m_Text.get() + read, m_Text.get() + m_Size, '\0');
  m_ZeroEndsLine = true;

  // The buffer is walked whole, its final 0 byte included: the first line end met is the file's
  // terminator T, and a repeated T after a line end is an empty line.
  const char* const begin = m_Text.get();
  const char* const end = begin + m_Size;
  m_Starts = {};
  m_FirstLineOfBlock = {};
  Reserve(CountLineEnds(begin, end) + 1);
  const char* lineStart = begin;
  bool afterLineEnd = false;
  char terminator = 0;
  for (const char* p = begin; p != end; ++p) {
    if (!IsLineEnd(*p)) {
      if (afterLineEnd) lineStart = p, afterLineEnd = false;
    } else if (!afterLineEnd) {
      if (terminator == 0) terminator = *p;
      Append(std::size_t(lineStart - begin));
      afterLineEnd = true;
    } else if (*p == terminator) {
      Append(std::size_t(p - begin));  // an empty line: its text ends where it starts
    }
  }
  // The walk ended on the final 0 byte, so a last line (perhaps empty) always follows.
  Append(std::size_t(lineStart - begin));
}

void TextLines::Append(std::size_t start) {
  while (std::uint64_t(start) >> 32 > m_FirstLineOfBlock.size()) m_FirstLineOfBlock.push_back(m_Starts.size());
  m_Starts.push_back(std::uint32_t(start));
}

std::size_t TextLines::Start(std::size_t index) const {
  const auto block = std::upper_bound(m_FirstLineOfBlock.begin(), m_FirstLineOfBlock.end(), index);
  return std::size_t(std::uint64_t(block - m_FirstLineOfBlock.begin()) << 32 | m_Starts[index]);
}

std::string_view TextLines::operator[](std::size_t index) const {
  const char* const begin = m_pText + Start(index);
  if (m_ZeroEndsLine) return {begin, std::strcspn(begin, "\r\n")};  // the text ends with a 0 byte
  // Compact lines: only the run of line ends that follows a line stands between it and the next.
  const char* end = m_pText + (index + 1 < size() ? Start(index + 1) : m_Size);
  while (end != begin && IsLineEnd(end[-1])) --end;
  return {begin, std::size_t(end - begin)};
}

void ReadHeaderLines(std::string_view path, TextLines& lines) { lines.ReadTerminated(path, true); }

void ReadTextLines(std::string_view path, TextLines& lines) { lines.ReadTerminated(path, false); }

void TextLines::Load(std::string_view path) {
  // A file that cannot be mapped (nor opened, which CFile then says) is read whole.
  if (Map(path)) return;
  CFile file(path, CFile::Share::denyNone);
  const std::size_t length = static_cast<std::size_t>(file.GetLength());
  m_Text = std::make_unique_for_overwrite<char[]>(length);
  AdviseLargeBuffer(m_Text.get(), length);
  m_Size = file.Read(m_Text.get(), length);
  m_pText = m_Text.get();
}

TextLines ReadCompactText(std::string_view path) {
  TextLines result;
  result.Load(path);
  result.m_KeepsLines = true;
  result.SplitCompact();
  return result;
}

TextLines ReadCompactData(std::string_view path) {
  TextLines result;
  result.Load(path);
  return result;
}

void TextLines::SplitCompact() {
  m_Starts = {};
  m_FirstLineOfBlock = {};
  if (!m_KeepsLines) return;
  // Every line but a leading empty one holds a byte that ends no line, and every line but the last
  // is followed by one that does.
  const std::size_t lineEnds = CountLineEnds(m_pText, m_pText + m_Size);
  Reserve(std::min(lineEnds, m_Size - lineEnds) + 1);
  ForEachCompactLine([&](std::string_view line) { Append(std::size_t(line.data() - m_pText)); });
}
