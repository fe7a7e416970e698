#pragma once
// Codes of the header's keyword values, as the rest of the component stores and compares them.
#include <cstdint>

// "DataType": the domain in the high byte, the values per data point (1 real, 2 complex) in the low.
constexpr std::uint16_t TIMEDOMAIN = 0x101;
constexpr std::uint16_t TIMEDOMAIN_COMPLEX = 0x102;
constexpr std::uint16_t FREQUENCYDOMAIN = 0x201;
constexpr std::uint16_t FREQUENCYDOMAIN_COMPLEX = 0x202;
constexpr std::uint16_t TIMEFREQUENCYDOMAIN = 0x301;
constexpr std::uint16_t TIMEFREQUENCYDOMAIN_COMPLEX = 0x302;
// Set for the time and the time-frequency domain.
constexpr std::uint16_t DATATYPE_TIME_BIT = 0x100;

// "SegmentationType"
constexpr std::uint16_t NOTSEGMENTED = 0;
constexpr std::uint16_t MARKERBASED = 1;
constexpr std::uint16_t FIXTIME = 3;

// "DataOrientation"
constexpr std::uint32_t VECTORIZED = 0;
constexpr std::uint32_t MULTIPLEXED = 1;

// `m_SampleFormat`: "DataFormat" ASCII, or the "BinaryFormat" of binary data.
constexpr std::uint32_t FORMAT_ASCII = 0;
constexpr std::uint32_t FORMAT_IEEE_FLOAT_32 = 1;
constexpr std::uint32_t FORMAT_INT_16 = 2;
constexpr std::uint32_t FORMAT_UINT_16 = 3;
constexpr std::uint32_t FORMAT_ATS_INT_12_PACKED = 4;

// "LayerFunction"
constexpr std::uint32_t LAYER_LINEAR = 0;
constexpr std::uint32_t LAYER_LOGARITHMIC = 1;

// Results of CHeaderFile::Load.
constexpr int HEADER_PARSED = 0;
constexpr int HEADER_NOT_THIS_FORMAT = 1;
constexpr int HEADER_INVALID = 2;
