#pragma once
// The debug log file of the component. It is written only while it exists; nothing ever creates it.
#include <string_view>

// Where Windows hosts keep it, "C:\Tmp\GenericDataReader.log", this platform has /tmp.
inline constexpr const char* kDebugLogPath = "/tmp/GenericDataReader.log";

// Appends the text to the file in text mode when the file can be opened; does nothing otherwise.
void AppendToTextFile(const char* path, std::string_view text);
