#pragma once
// A fixture that writes a header file (and its data files) into a temporary folder and loads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include "header/HeaderFile.h"
#include "support/TempDir.h"

// A load's refusal of a key's value, as a row of the tables shows it.
inline std::string Invalid(std::string_view key, std::string_view value) {
  return "2: \"" + std::string(key) + "\" key has invalid value \"" + std::string(value) + "\".";
}

class HeaderTest : public ::testing::Test {
 protected:
  // Writes "s01.shdr": the identification line, then `body`, with CR LF line ends for "\n".
  std::string WriteHeader(std::string_view body, std::string_view name = "s01.shdr") {
    return dir.Write(name, HeaderText(body));
  }

  int Load(std::string_view body) { return header.Load(WriteHeader(body)); }

  // A binary INT_16 recording of `channels` channels with `dataBytes` bytes of data, plus `extra`
  // lines in [Common Infos] and the sections of `more`.
  // Beyond a megabyte the data file grows sparsely, so that huge files cost nothing.
  int LoadBinary(int channels, std::uint64_t dataBytes, std::string_view extra = "", std::string_view more = "") {
    dir.WriteSized("s01.eeg", std::min<std::uint64_t>(dataBytes, 1 << 20));
    if (dataBytes > (1 << 20)) std::filesystem::resize_file(dir.File("s01.eeg"), dataBytes);
    return Load(
        "[Common Infos]\nDataFile=s01.eeg\nDataFormat=BINARY\nSamplingInterval=1000\n"
        "NumberOfChannels=" +
        std::to_string(channels) + "\n" + std::string(extra) + std::string(more));
  }

  TempDir dir;
  CHeaderFile header;
};
