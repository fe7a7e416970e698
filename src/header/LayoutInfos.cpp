// [ASCII Infos] and [Binary Infos], the data length, and the layouts that packed 12-bit data refuse.
#include <limits>

#include "contract/DataType.h"
#include "header/AsciiTokens.h"
#include "header/HeaderFile.h"
#include "header/LineReaders.h"
#include "platform/CNumbers.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"

namespace {

// Sizes multiply 32-bit counts with each other; 128 bits hold every product exactly.
__extension__ using Int128 = __int128;

// Half-bytes of one stored value, so that packed 12-bit values (1.5 bytes) count exactly.
std::int64_t HalfBytesPerValue(std::uint32_t sampleFormat) {
  switch (sampleFormat) {
    case FORMAT_IEEE_FLOAT_32:
      return 8;
    case FORMAT_ATS_INT_12_PACKED:
      return 3;
    default:
      return 4;
  }
}

// A 32-bit data point count keeps the low 32 bits of the computed one.
std::int32_t Low32Bits(Int128 value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

}  // namespace

bool CHeaderFile::InterpretAsciiInfos() {
  m_SkipColumns = 0;
  m_SkipLines = 0;
  m_DecimalSymbol = '.';
  const Section* ascii = FindSection("ascii infos");
  if (!ascii) return true;
  if (const std::string* symbol = FindKey(*ascii, "DecimalSymbol")) {
    if (symbol->empty() || (symbol->front() != ',' && symbol->front() != '.'))
      return RefuseValue("DecimalSymbol", *symbol);
    m_DecimalSymbol = symbol->front();
  }
  return ReadWholeNumber(*ascii, "SkipLines", 0, 0, m_SkipLines) &&
         ReadWholeNumber(*ascii, "SkipColumns", 0, 0, m_SkipColumns);
}

bool CHeaderFile::InterpretBinaryInfos() {
  static constexpr Keyword kFormats[] = {{"IEEE_FLOAT_32", FORMAT_IEEE_FLOAT_32},
                                         {"INT_16", FORMAT_INT_16},
                                         {"UINT_16", FORMAT_UINT_16},
                                         {"ATS_INT_12_PACKED", FORMAT_ATS_INT_12_PACKED}};
  m_UseBigEndianOrder = 0;
  m_SegmentHeaderSize = 0;
  m_TrailerSize = 0;
  m_ChannelOffset = 0;
  m_DataOffset = 0;
  m_BytesPerDataPoint = static_cast<float>(2 * NumbersPerDataPoint());
  const Section* binary = FindSection("binary infos");
  if (!binary) return true;

  if (!ReadKeyword(*binary, "BinaryFormat", kFormats, FORMAT_INT_16, m_SampleFormat)) return false;
  m_BytesPerDataPoint = static_cast<float>(HalfBytesPerValue(m_SampleFormat) * NumbersPerDataPoint()) / 2;
  if (!ReadKeyword(*binary, "UseBigEndianOrder", kYesNo, 0, m_UseBigEndianOrder) ||
      !ReadWholeNumber(*binary, "DataOffset", 0, 0, m_DataOffset))
    return false;
  if (m_DataOrientation == VECTORIZED && !ReadWholeNumber(*binary, "ChannelOffset", 0, 0, m_ChannelOffset))
    return false;
  if (m_SegmentationType != NOTSEGMENTED) {
    const std::string* headerSize = FindKey(*binary, "SegmentHeaderSize");
    if (!ReadWholeNumber(*binary, "SegmentHeaderSize", 0, 0, m_SegmentHeaderSize)) return false;
    // Without a fixed segment length only the header at the start of the data can be skipped.
    if (headerSize && m_SegmentDataPoints == 0) {
      const std::int64_t offset = std::int64_t(m_DataOffset) + m_SegmentHeaderSize;
      // An offset beyond 32 bits cannot be kept: refused rather than wrapped around.
      if (offset > std::numeric_limits<std::int32_t>::max()) return RefuseValue("SegmentHeaderSize", *headerSize);
      m_DataOffset = static_cast<std::int32_t>(offset);
      m_SegmentHeaderSize = 0;
    }
  }
  if (!ReadWholeNumber(*binary, "TrailerSize", 0, 0, m_TrailerSize)) return false;
  return m_TrailerSize == 0 || CountTrailerDataPoints(*FindKey(*binary, "TrailerSize"));
}

bool CHeaderFile::CountTrailerDataPoints(const std::string& trailerValue) {
  const std::int32_t points =
      Low32Bits(BinaryDataPoints(DataFileLength() - std::int64_t(m_TrailerSize) - m_DataOffset));
  if (m_DataPoints == 0) {
    m_DataPoints = points;
    return m_DataPoints > 0 || RefuseValue("TrailerSize", trailerValue);
  }
  return m_DataPoints == points || Fail("\"TrailerSize\" results in different data points than \"DataPoints\" value.");
}

bool CHeaderFile::ComputeDataLength() {
  if (!DataFileHoldsEveryChannel()) return Fail("Calculated dataset length is 0 or less.");
  if (m_DataPoints == 0) {
    const std::int64_t points = m_SampleFormat == FORMAT_ASCII
                                    ? CountAsciiValues() / (m_ChannelCount * NumbersPerDataPoint())
                                    : BinaryDataPoints(DataFileLength() - m_DataOffset);
    m_DataPoints = Low32Bits(points);
    if (m_DataPoints <= 0) return Fail("Calculated dataset length is 0 or less.");
  }
  if (m_SegmentDataPoints > 0) {
    m_DataPoints = m_DataPoints / m_SegmentDataPoints * m_SegmentDataPoints;
    if (m_DataPoints == 0) return Fail("Data points less than \"SegmentDataPoints\" calculated.");
  }
  return true;
}

bool CHeaderFile::DataFileHoldsEveryChannel() const {
  const Int128 length = DataFileLength();
  if (m_SampleFormat == FORMAT_ASCII) return length >= 2 * Int128(m_ChannelCount) - 1;  // "1 1 ... 1"
  const Int128 rest = length - m_DataOffset - m_TrailerSize;
  return 2 * rest >= Int128(m_ChannelCount) * HalfBytesPerValue(m_SampleFormat);
}

std::int64_t CHeaderFile::DataFileLength() const {
  const std::optional<std::int64_t> length = FileLength(m_DataFile);
  // The file was there a moment ago; without its length no data length can be given.
  if (!length) throw CFileException(CFileException::cannotRead, m_DataFile);
  return *length;
}

std::int64_t CHeaderFile::BinaryDataPoints(std::int64_t rest) const {
  const Int128 channels = m_ChannelCount;
  const Int128 halfBytesPerPoint = Int128(HalfBytesPerValue(m_SampleFormat)) * NumbersPerDataPoint();
  Int128 points;
  if (m_SegmentHeaderSize > 0) {
    const Int128 segmentHalfBytes = (m_SegmentDataPoints * halfBytesPerPoint + 2 * Int128(m_ChannelOffset)) * channels +
                                    2 * Int128(m_SegmentHeaderSize);
    points = m_SegmentDataPoints * (2 * Int128(rest) / segmentHalfBytes);
  } else {
    points = 2 * (Int128(rest) - Int128(m_ChannelOffset) * channels) / (channels * halfBytesPerPoint);
  }
  // Beyond 64 bits only the low 32 bits matter to the caller.
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(points));
}

std::int64_t CHeaderFile::CountAsciiValues() const {
  TextLines lines;
  ReadTextLines(m_DataFile, lines);
  std::int64_t values = 0;
  for (std::size_t i = std::size_t(m_SkipLines); i < lines.size(); ++i) values += CountValues(lines[i]);
  return values;
}

std::int64_t CHeaderFile::CountValues(std::string_view line) const {
  return CountNumberRuns(line, m_DecimalSymbol, m_SkipColumns);
}

bool CHeaderFile::CheckPackedLayout() {
  const bool complex = IsComplex(m_DataType);
  if (m_SampleFormat == FORMAT_ATS_INT_12_PACKED &&
      (m_UseBigEndianOrder == 1 || m_DataOrientation == VECTORIZED || m_SegmentHeaderSize != 0 || complex))
    return Fail(
        "\"ATS_INT_12_PACKED\" works not with data that are in big endian order, vectorized, "
        "contain segments or are complex.");
  return true;
}
