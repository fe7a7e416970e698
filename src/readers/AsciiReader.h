#pragma once
// Reads ASCII data files. The text is loaded once; the numbers of its data lines form one stream,
// placed by orientation:
//   MULTIPLEXED: number k of channel c at point t is stream number (t × N + c) × V + k,
//   VECTORIZED:  it is stream number (c × P + t) × V + k.
// The first read indexes the stream: where every K-th number stands in the text. Every read then
// starts at the indexed number next before its first one and stops behind its last one, however long
// the lines are.
#include <cstdint>
#include <vector>

#include "header/LineReaders.h"
#include "header/SampleLayout.h"
#include "readers/IntervalReader.h"

class CASCIIReader : public CIntervalReader {
 public:
  // S_OK, or the code of a failure to read the file (GDR_E_FILE when it cannot be opened or read).
  HRESULT Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints,
               const std::vector<float>& resolutions, bool complex, std::int32_t layers, const SampleLayout& layout);
  // The same with the layout's values one by one.
  HRESULT Open(std::string_view dataFile, std::int32_t channels, std::int32_t dataPoints, bool multiplexed,
               const std::vector<float>& resolutions, bool complex, std::int32_t layers, char decimalSymbol,
               std::int32_t skipLines, std::int32_t skipColumns);

  HRESULT ReadInterval(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount) override;

  // Appends the numbers of one line to `numbers` (the list is emptied first).
  void ParseLine(std::string_view line, std::vector<float>& numbers) const;

  // How many numbers the reads so far have passed over, the wanted ones included.
  std::uint64_t NumbersWalked() const { return m_NumbersWalked; }

 private:
  // Write the scaled numbers of the selected channels for points position to position + count − 1
  // into the block. Raise GDR_E_FILE when the data lines end before the last number they need.
  void FillMultiplexed(std::uint64_t position, std::uint64_t count, const Selection& selection, float* block);
  void FillVectorized(std::uint64_t position, std::uint64_t count, const Selection& selection, float* block);
  // Raises GDR_E_FILE unless the stream holds `end` numbers.
  void RequireStream(std::uint64_t end);
  // Hands stream numbers first to end − 1 to `visit`, in order: their values (kValues) or their
  // text; RequireStream has made sure that the stream reaches `end`.
  template <bool kValues, typename Visit>
  void ReadStream(std::uint64_t first, std::uint64_t end, Visit&& visit);
  void BuildIndex();

  char m_cDecimalSymbol = '.';
  std::int32_t m_nSkipLines = 0;
  std::int32_t m_nSkipColumns = 0;
  TextLines m_Text;  // the file's text
  // The text offset of stream number i × kIndexStep, for each i; and the stream's length.
  static constexpr std::uint64_t kIndexStep = 4096;
  std::vector<std::size_t> m_Index;
  std::uint64_t m_Numbers = 0;
  bool m_Indexed = false;
  std::uint64_t m_NumbersWalked = 0;
};
