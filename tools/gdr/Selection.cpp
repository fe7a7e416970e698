#include "Selection.h"

#include "Text.h"
#include "header/TextRules.h"

std::vector<int> SelectChannels(const std::string& text, const gdr::Recording& recording) {
  const std::vector<gdr::Channel>& channels = recording.Channels();
  std::vector<int> selected;
  bool told = false;
  for (std::string_view rest = text; !text.empty();) {
    const std::size_t comma = rest.find(',');
    const std::string token(Trim(rest.substr(0, comma)));
    int named = -1;
    for (std::size_t i = 0; i < channels.size() && named < 0; ++i)
      if (channels[i].name == token) named = int(i);
    const bool number =
        !token.empty() && token.size() < 10 && token.find_first_not_of("0123456789") == std::string::npos;
    const int channel = number ? std::stoi(token) : named;
    if (channel < 0 || std::size_t(channel) >= channels.size())
      throw gdr::Error(gdr::kInvalidArgument,
                       "no channel " + token + " (the recording has " + std::to_string(channels.size()) + " channels)");
    if (named >= 0 && named != channel && !told) {
      Complain("channel " + token + " is \"" + channels[std::size_t(channel)].name + "\"; the channel named \"" +
               token + "\" is number " + std::to_string(named));
      told = true;
    }
    selected.push_back(channel);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return selected;
}
