#pragma once
// A recording written into a temporary folder, the recording host doubles, and reader objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "component/EEGFileReader.h"
#include "doubles/HostDoubles.h"
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
  static std::string Path() { return DebugLogPath(); }
  void SwitchOn() const {
    std::filesystem::create_directories(std::filesystem::path(Path()).parent_path());
    std::ofstream(Path()).close();
  }
  std::string Text() const {
    std::string text = Slurp(Path());
    std::erase(text, '\r');  // the Windows build ends its lines with CR LF
    return text;
  }

 private:
  TempDir m_State;
};

// What a step of the component answers: S_OK, or the code that it raised.
template <typename Step>
HRESULT Answer(Step step) {
  return Guarded([&] {
    step();
    return S_OK;
  });
}

// Runs `step` while `recorder` records its calls, then once more for each of them, that call made to
// fail: the step must end with the failure's code there (no call after it) and leave no host object
// alive, or answer S_OK. Answers the calls whose failure it ignored.
template <typename Step>
std::vector<std::string> IgnoredFailures(CallRecorder& recorder, Step step) {
  constexpr HRESULT kCode = MakeResult(0x80030070);
  recorder = CallRecorder();
  EXPECT_EQ(step(), S_OK);
  std::vector<std::string> ignored;
  std::map<std::string, int> seen;
  for (const std::string& call : recorder.CallsOf()) {
    const std::string operation = call.substr(0, call.find('('));
    recorder = CallRecorder();
    recorder.FailCall(operation, ++seen[operation], kCode);
    const HRESULT answered = step();
    EXPECT_EQ(HostDoubles::LivingObjects(), 0) << call;
    if (answered == S_OK) {
      ignored.push_back(call);
    } else {
      EXPECT_EQ(answered, kCode) << call;
      EXPECT_EQ(recorder.CallsOf().back(), call);
    }
  }
  EXPECT_FALSE(seen.empty());
  return ignored;
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
  // A reader object, made as the class factory makes it, seen through `Interface`.
  template <typename Interface = IEEGRawFileReader>
  static ComPtr<Interface> NewReader() {
    ComPtr<Interface> reader;
    CreateAggregated<CEEGFileReader>(nullptr, IidOf<Interface>(), reader.ReceiveVoid());
    return reader;
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

  TempDir dir;
  HostDoubles host;
};
