#pragma once
// A recording written into a temporary folder, the recording host doubles, and reader objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "component/EEGFileReader.h"
#include "doubles/HostDoubles.h"
#include "doubles/StorageDoubles.h"
#include "platform/DebugLogFile.h"
#include "platform/MemoryStorage.h"
#include "support/TempDir.h"

// The debug log file, removed before and after a test; SwitchOn() creates it, which turns the log on,
// and Text() reads what the component wrote. On this platform the user's state folder is the test's own.
class DebugLogFile {
 public:
  DebugLogFile() {
#if !defined(_WIN32)
    setenv("XDG_STATE_HOME", m_State.Path().c_str(), 1);
#endif
    std::filesystem::remove(Path());
  }
  ~DebugLogFile() {
    std::filesystem::remove(Path());
#if !defined(_WIN32)
    unsetenv("XDG_STATE_HOME");
#endif
  }
  DebugLogFile(const DebugLogFile&) = delete;
  DebugLogFile& operator=(const DebugLogFile&) = delete;
  static std::string Path() { return DebugLogPath(); }
  void SwitchOn() const {
    std::filesystem::create_directories(std::filesystem::path(Path()).parent_path());
    std::ofstream(Path()).close();
  }
  std::string Text() const {
    std::ifstream in(Path());  // text mode: the Windows build ends its lines with CR LF
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  TempDir m_State;
};

// Runs `body` and expects it to raise the framework's OLE exception with `code`.
template <typename Body>
void ExpectRaises(HRESULT code, Body&& body, std::string_view what = "") {
  try {
    body();
    ADD_FAILURE() << what << ": nothing raised";
  } catch (const COleException& e) {
    EXPECT_EQ(e.m_sc, code) << what;
  }
}

inline constexpr std::string_view kMarkerIdentification = "Tarvo Sylvex Data Exchange Marker File, Version 1.0";

class ComponentTest : public ::testing::Test {
 protected:
  std::string WriteHeader(std::string_view body, std::string_view name = "rec.shdr") {
    return dir.Write(name, std::string(kHeaderIdLine) + "\r\n" + std::string(body));
  }
  // A header of `channels` INT_16 channels with 10 points of data, plus `extra` lines.
  std::string WriteBinaryRecording(int channels, std::string_view common = "", std::string_view sections = "",
                                   std::string_view name = "rec.shdr") {
    std::string data;
    for (int i = 0; i < channels * 10; ++i) {
      const std::int16_t value = std::int16_t(i * 37 - 500);
      data.append(reinterpret_cast<const char*>(&value), 2);
    }
    dir.Write("rec.eeg", data);
    return WriteHeader(
        "[Common Infos]\r\nDataFile=rec.eeg\r\nDataFormat=BINARY\r\nSamplingInterval=1000\r\n"
        "NumberOfChannels=" +
            std::to_string(channels) + "\r\n" + std::string(common) + std::string(sections),
        name);
  }
  // A reader object, made as the class factory makes it.
  static ComPtr<IEEGRawFileReader> NewReader() {
    ComPtr<IEEGRawFileReader> reader;
    CreateAggregated<CEEGFileReader>(nullptr, IidOf<IEEGRawFileReader>(), reader.ReceiveVoid());
    return reader;
  }
  template <typename Interface>
  static ComPtr<Interface> As(const ComPtr<IEEGRawFileReader>& reader) {
    ComPtr<Interface> other;
    EXPECT_EQ(reader.As(other), S_OK);
    return other;
  }
  static ComPtr<IStorage> NewStorage() {
    ComPtr<IStorage> storage;
    CreateMemoryStorage(storage.Receive());
    return storage;
  }
  // The header path as the component writes it, with "\" for "/".
  std::string Resolved(std::string_view name) const {
    std::string path = dir.File(name);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }

  // The host as freshly started: no calls, planned failures or messages yet. (The process has one
  // host: a second registration of its classes would not be the one activation finds.)
  HostDoubles& FreshHost() {
    host.Restart();
    return host;
  }

  TempDir dir;
  HostDoubles host;
};
