#pragma once
// Runs a program of ours as its users run it, with its output in files.
#include <string>

struct ProgramRun {
  bool ended = false;  // by itself, within the time limit, and not by a signal
  int status = -1;     // its exit status when it ended
};

// Runs `program` with the arguments (a command line: words separated by spaces); its standard output
// and error go to the files `out` and `err`. A run that takes longer than `seconds` is killed.
ProgramRun RunProgram(const std::string& program, const std::string& arguments, const std::string& out,
                      const std::string& err, int seconds = 60);

// A path of the build tree as the program's platform names it (Wine shows the Linux root as Z:).
std::string ProgramPath(const std::string& path);
