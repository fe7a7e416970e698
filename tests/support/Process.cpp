#include "support/Process.h"

#if defined(_WIN32)
#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

// A file handle that the program inherits as its output. Wine's console host may hold an inherited
// handle a little longer than the program lives, so the file is shared with later writers.
HANDLE OutputFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::string& arguments, const std::string& out,
                      const std::string& err, int seconds) {
  ProgramRun run;
  std::string commandLine = "\"" + ProgramPath(program) + "\" " + arguments;
  // Under Wine, opening the output files or starting the program now and then fails for a moment
  // (the files of the run before may still be held): a start that fails is tried again.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const HANDLE outFile = OutputFile(out), errFile = OutputFile(err);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    const bool started =
        outFile != INVALID_HANDLE_VALUE && errFile != INVALID_HANDLE_VALUE &&
        CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    if (started) {
      if (WaitForSingleObject(process.hProcess, DWORD(seconds) * 1000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        run.ended = GetExitCodeProcess(process.hProcess, &code) != 0;
        run.status = int(code);
      } else {
        TerminateProcess(process.hProcess, 137);
        WaitForSingleObject(process.hProcess, INFINITE);
      }
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    } else {
      std::fprintf(stderr, "starting %s failed: error %lu\n", program.c_str(), GetLastError());
    }
    if (outFile != INVALID_HANDLE_VALUE) CloseHandle(outFile);
    if (errFile != INVALID_HANDLE_VALUE) CloseHandle(errFile);
    if (started) break;
    Sleep(100);
  }
  return run;
}

std::string ProgramPath(const std::string& path) {
  std::string native = path.starts_with("/") ? "Z:" + path : path;
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

#else
#include <sys/wait.h>

#include <cstdlib>

ProgramRun RunProgram(const std::string& program, const std::string& arguments, const std::string& out,
                      const std::string& err, int seconds) {
  const std::string command =
      "timeout -s KILL " + std::to_string(seconds) + " " + program + " " + arguments + " >" + out + " 2>" + err;
  const int status = std::system(command.c_str());
  ProgramRun run;
  run.ended = WIFEXITED(status) && WEXITSTATUS(status) != 137;  // 137: killed by timeout
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string ProgramPath(const std::string& path) { return path; }
#endif
