#pragma once
// The numbers under which the component hands values to the host: recording properties, channel
// descriptions and the fields of the "InternalData" stream.
#include "platform/WinTypes.h"

// Property tags of the recording, as the host knows them.
namespace property_tag {
constexpr ULONG kDataType = 0;            // 16 bits
constexpr ULONG kChannels = 1;            // int32
constexpr ULONG kSamplingInterval = 2;    // double
constexpr ULONG kDataPoints = 3;          // int32
constexpr ULONG kChannel = 4;             // an encoded channel description, index = channel
constexpr ULONG kUnit = 5;                // int32, the common unit code
constexpr ULONG kLayers = 6;              // int32
constexpr ULONG kLayerLowerLimit = 7;     // double
constexpr ULONG kLayerUpperLimit = 8;     // double
constexpr ULONG kLayerFunction = 9;       // int32
constexpr ULONG kSegmentation = 100;      // 16 bits
constexpr ULONG kAveragingStart = 105;    // int32 0
constexpr ULONG kTimeZero = 106;          // double
constexpr ULONG kSegmentPoints = 107;     // double
constexpr ULONG kAveragedSegments = 200;  // int32
}  // namespace property_tag

// Tags of a channel description (a property bag).
namespace channel_tag {
constexpr ULONG kName = 0;         // ANSI text with its 0 byte
constexpr ULONG kReference = 1;    // ANSI text with its 0 byte
constexpr ULONG kCoordinates = 2;  // three floats
constexpr ULONG kUnit = 3;         // int32
constexpr ULONG kUnitText = 6;     // UTF-16 text with its 0
}  // namespace channel_tag

// Tags of the "InternalData" stream: the data file's layout values, each at index 0 except the
// resolutions (index = channel).
namespace internal_data_tag {
constexpr ULONG kResolutionCount = 0;     // int32
constexpr ULONG kResolution = 1;          // float
constexpr ULONG kDataOrientation = 2;     // int32
constexpr ULONG kSampleFormat = 3;        // int32
constexpr ULONG kDecimalSymbol = 4;       // one byte
constexpr ULONG kSkipLines = 5;           // int32
constexpr ULONG kSkipColumns = 6;         // int32
constexpr ULONG kUseBigEndianOrder = 7;   // int32
constexpr ULONG kDataOffset = 8;          // int32
constexpr ULONG kChannelOffset = 9;       // int32
constexpr ULONG kSegmentHeaderSize = 10;  // int32
constexpr ULONG kSegmentDataPoints = 11;  // int32
}  // namespace internal_data_tag
