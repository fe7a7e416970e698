#pragma once
// The debug log file of the component. It is written only while it exists; nothing ever creates it.
#include <string>
#include <string_view>

// Where the log file is. Windows hosts keep it at "C:\Tmp\GenericDataReader.log"; on this platform
// it lies in the user's own state folder, not in a folder that every user can write:
// $XDG_STATE_HOME/generic-data-reader/GenericDataReader.log, else the same below ~/.local/state.
// Empty when neither variable names an absolute folder.
std::string DebugLogPath();

// Appends the text to the log file when the file exists and can be opened; does nothing otherwise.
// On this platform the file is never reached through a symbolic link, and written only when it is a
// regular file of the user's own.
void AppendToDebugLog(std::string_view text);
