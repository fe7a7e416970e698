#pragma once
// The parsed header of a recording: loads a .shdr file, decides whether it belongs to this format,
// and interprets its sections into the values that the readers and the component use.
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "header/ChannelInfo.h"
#include "header/HeaderCodes.h"
#include "header/LineReaders.h"
#include "header/SampleLayout.h"
#include "header/TextRules.h"
#include "platform/WinTypes.h"

// The sample layout's fields are read from [Common Infos] and [ASCII Infos] or [Binary Infos].
class CHeaderFile : public SampleLayout {
 public:
  using Section = std::map<std::string, std::string>;  // lower-case key to value as written

  CHeaderFile();

  // HEADER_PARSED (and valid), HEADER_NOT_THIS_FORMAT, or HEADER_INVALID (reason in m_ErrorMessage).
  // A file that cannot be read raises CFileException; a channel list that cannot be allocated
  // raises std::bad_alloc.
  int Load(std::string_view path);
  void GetErrorMessage(std::string& out) const { out = m_ErrorMessage; }

  // The steps of Load.
  bool CheckIdentification();
  void SplitSections();
  bool Interpret();

  // Values in one line of an ASCII data file, after the skipped columns.
  std::int64_t CountValues(std::string_view line) const;

  // The path of a data or marker file named `value` in the header at `headerPath`: "$b" stands for
  // the header's title, and a bare file name lies beside the header.
  static std::string ResolveFileName(std::string_view value, std::string_view headerPath);

  // Numbers stored per data point of one channel: real or complex, times the layers.
  std::int64_t NumbersPerDataPoint() const;

  std::vector<CChannelInfo> m_Channels;
  double m_SamplingInterval = 0.0;
  std::uint16_t m_DataType = 0;
  std::int32_t m_Averaged = 0;
  std::int32_t m_AveragedSegments = 0;
  std::int32_t m_DataPoints = 0;
  std::string m_DataFile;
  std::string m_MarkerFile;
  std::uint16_t m_SegmentationType = 0;
  std::int32_t m_Layers = 0;
  double m_LayerLowerLimit = 0.0;
  double m_LayerUpperLimit = 0.0;
  std::uint32_t m_LayerFunction = 0;
  float m_BytesPerDataPoint = 0.0f;
  std::int32_t m_TrailerSize = 0;
  std::string m_Comment;
  WideString m_CommentW;
  std::map<std::string, Section> m_Sections;
  std::string m_HeaderPath;
  std::string m_ErrorMessage;
  TextLines m_Lines;
  bool m_Utf8 = false;
  std::map<WideString, std::uint32_t> m_UnitCodes;

 private:
  struct Keyword {
    std::string_view name;
    std::uint32_t code;
  };
  static constexpr Keyword kYesNo[] = {{"YES", 1}, {"TRUE", 1}, {"NO", 0}, {"FALSE", 0}};

  // [Common Infos], in the order in which failures are reported.
  bool InterpretCommonInfos();
  bool InterpretChannelCount(const Section& common);
  bool InterpretSampling(const Section& common);
  bool InterpretFiles(const Section& common);
  bool InterpretCounts(const Section& common);
  bool InterpretLayers(const Section& common);
  bool ResolveFile(const std::string& value, std::string_view what, std::string& target);

  // [ASCII Infos] or [Binary Infos], the data length, and the packed 12-bit restriction.
  bool InterpretAsciiInfos();
  bool InterpretBinaryInfos();
  bool CountTrailerDataPoints(const std::string& trailerValue);
  bool ComputeDataLength();
  // Whether the data file holds at least one value of every channel, so that memory in proportion
  // to the channel count is backed by the file (text takes a character and a separator a value).
  bool DataFileHoldsEveryChannel() const;
  bool CheckPackedLayout();
  std::int64_t CountAsciiValues() const;
  std::int64_t DataFileLength() const;
  // Data points in `rest` bytes of binary data: whole segments when segments have headers.
  std::int64_t BinaryDataPoints(std::int64_t rest) const;

  // [Channel Infos], [Coordinates], [Comment].
  bool InterpretChannels();
  bool InterpretChannelEntry(CChannelInfo& channel, const std::string& key, const std::string& value);
  void InterpretCoordinates(CChannelInfo& channel, const std::string& value);
  void InterpretComment();

  const Section* FindSection(std::string_view name) const;
  static const std::string* FindKey(const Section& section, std::string_view name);
  // Stores the message and answers false, so that a step can `return Fail(...)`.
  bool Fail(std::string message);
  // The refusal of a key's value: "\"Key\" key has invalid value \"" + value + "\"."
  bool RefuseValue(std::string_view key, const std::string& value);

  // Readers of optional keys: without the key the target takes `absent`. A keyword value must be one
  // of `keywords` (ASCII case ignored); a number must be at least `least`. Else the value is refused.
  template <typename Code>
  bool ReadKeyword(const Section& section, std::string_view key, std::span<const Keyword> keywords,
                   std::type_identity_t<Code> absent, Code& target) {
    const std::string* value = FindKey(section, key);
    if (!value) return target = absent, true;
    for (const Keyword& keyword : keywords)
      if (EqualsNoCase(*value, keyword.name)) return target = static_cast<Code>(keyword.code), true;
    return RefuseValue(key, *value);
  }
  bool ReadWholeNumber(const Section& section, std::string_view key, std::int32_t absent, std::int32_t least,
                       std::int32_t& target);
  bool ReadFraction(const Section& section, std::string_view key, double absent, double least, double& target);

  // "NumberOfChannels", kept until the channel list is built: the list is allocated only after the
  // keys before it have been checked.
  std::int32_t m_ChannelCount = 0;
};
