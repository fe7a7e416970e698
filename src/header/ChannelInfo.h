#pragma once
// One channel of the parsed header.
#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

struct CChannelInfo {
  std::string Name;         // ANSI; defaults to the 1-based channel number
  std::string Reference;    // ANSI; may be empty
  float Resolution = 1.0f;  // value of one data unit in the channel's unit, greater than 0
  float Coordinates[3] = {0.0f, 0.0f, 0.0f};
  bool HasCoordinates = false;  // the [Coordinates] entry had exactly three fields
  std::uint32_t UnitCode = 0;   // code of the unit table; 1 for a unit that is not in it
  WideString UnitText;          // the unit as written, only for a unit that is not in the table
};
