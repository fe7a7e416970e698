// [Channel Infos], [Coordinates] and [Comment].
#include <cmath>
#include <limits>
#include <new>

#include "header/HeaderFile.h"
#include "platform/CNumbers.h"
#include "platform/Conversions.h"
#include "platform/Memory.h"

bool CHeaderFile::InterpretChannels() {
  // A channel count that no memory could hold fails the way the allocation itself would.
  if (std::uint64_t(m_ChannelCount) > PhysicalMemorySize() / sizeof(CChannelInfo)) throw std::bad_alloc();
  m_Channels.assign(std::size_t(m_ChannelCount), CChannelInfo());
  for (std::size_t i = 0; i < m_Channels.size(); ++i) m_Channels[i].Name = std::to_string(i + 1);

  if (const Section* infos = FindSection("channel infos")) {
    for (std::size_t i = 0; i < m_Channels.size(); ++i) {
      const std::string key = "ch" + std::to_string(i + 1);
      const std::string* value = FindKey(*infos, key);
      if (value && !InterpretChannelEntry(m_Channels[i], key, *value)) return false;
    }
  }
  if (const Section* coordinates = FindSection("coordinates")) {
    for (std::size_t i = 0; i < m_Channels.size(); ++i)
      if (const std::string* value = FindKey(*coordinates, "ch" + std::to_string(i + 1)))
        InterpretCoordinates(m_Channels[i], *value);
  }
  return true;
}

bool CHeaderFile::InterpretChannelEntry(CChannelInfo& channel, const std::string& key, const std::string& value) {
  const std::vector<std::string_view> fields = SplitFields(Trim(value), ',', 4);
  auto field = [&](std::size_t index) { return index < fields.size() ? Trim(fields[index]) : std::string_view(); };

  channel.Name = UnescapeCommas(field(0));
  if (m_Utf8) Utf8ToAnsi(channel.Name);
  if (fields.size() > 1) {
    channel.Reference = UnescapeCommas(field(1));
    if (m_Utf8) Utf8ToAnsi(channel.Reference);
  }
  if (!field(2).empty()) {
    channel.Resolution = ToFloat32(StrToDouble(field(2)));
    if (!(channel.Resolution > 0.0f && std::isfinite(channel.Resolution))) return RefuseValue(key, value);
  }
  const std::string_view unitBytes = field(3);
  const WideString unitText(Trim(m_Utf8 ? Utf8ToWide(unitBytes) : AnsiToWide(unitBytes)));
  if (!unitText.empty()) {
    const auto known = m_UnitCodes.find(ToLowerAscii(unitText));
    channel.UnitCode = known != m_UnitCodes.end() ? known->second : 1;
    if (known == m_UnitCodes.end()) channel.UnitText = unitText;
  }
  return true;
}

void CHeaderFile::InterpretCoordinates(CChannelInfo& channel, const std::string& value) {
  const std::string_view trimmed = Trim(value);
  const std::vector<std::string_view> fields = SplitFields(trimmed, ',', 3);
  for (std::size_t i = 0; i < fields.size(); ++i) channel.Coordinates[i] = ToFloat32(StrToDouble(Trim(fields[i])));
  channel.HasCoordinates = CountFields(trimmed, ',') == 3;
}

void CHeaderFile::InterpretComment() {
  const Section* comment = FindSection("comment");
  if (!comment) return;
  if (const std::string* text = FindKey(*comment, "comment")) {
    m_Comment = *text;
    m_Comment.resize(m_Comment.find_last_not_of(" \t\n\r") + 1);
  }
  if (m_Utf8) {
    m_CommentW = Utf8ToWide(m_Comment);
    m_Comment = WideToAnsi(m_CommentW);
  } else {
    m_CommentW = AnsiToWide(m_Comment);
  }
}
