#pragma once
// What gdr's options select in a recording.
#include <string>
#include <vector>

#include "gdr/Recording.h"

// The channel list of --channels: numbers (from 0) or names, comma-separated; empty for all channels.
// A number is the channel of that number even where another channel bears it as its name (channels
// without names are named "1".."N"); that is said once on stderr. An unknown channel is refused with
// gdr::Error.
std::vector<int> SelectChannels(const std::string& text, const gdr::Recording& recording);
