#pragma once
// The debug log file of the component. It is written only while it exists; nothing ever creates it.
#include <string_view>

#if defined(_WIN32)
inline constexpr const char* kDebugLogPath = "C:\\Tmp\\GenericDataReader.log";
#else
// Where Windows hosts keep it, "C:\Tmp\GenericDataReader.log", this platform has /tmp.
inline constexpr const char* kDebugLogPath = "/tmp/GenericDataReader.log";
#endif

// Appends the text to the file in text mode when the file can be opened; does nothing otherwise.
void AppendToTextFile(const char* path, std::string_view text);
