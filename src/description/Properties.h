#pragma once
// The property step of an import: the recording's properties and one channel description per
// channel, written through the host's property writer.
#include <cstdint>
#include <string>

#include "header/HeaderFile.h"
#include "platform/Storage.h"

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

// The whole step. Establishes the data point count by opening the data file when the header has
// none; a count of 0 shows "Generic Data Reader: Data size of "PATH" is zero!" and fails with
// 0x80041003. Changes `timeZeroPosition` from -1 to 0 where tag 106 needs it, the header's data
// point count, and unit codes outside the table (to 0).
void WriteProperties(CHeaderFile& header, const std::string& rawFilePath, IStorage* storage,
                     std::int32_t& timeZeroPosition);
