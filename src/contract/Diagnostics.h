#pragma once
// How the component reports: the guard that turns every failure into a result code, the error display
// through the host's message service, and the debug log.
#include <exception>
#include <ios>
#include <new>
#include <string>

#include "contract/ResultCodes.h"
#include "platform/Exceptions.h"

// Shows the text through the host's message service, created anew for each message; when the service
// cannot be created, a message box says that the host is not installed correctly instead.
void DisplayError(const std::string& text) noexcept;

// Appends "GenericDataReader > " and the formatted message to the debug log file, only when that file
// already exists. Messages are cut to 1023 characters.
void WriteDebugLog(const char* format, ...) noexcept __attribute__((format(printf, 1, 2)));

// The result code of the exception being handled, showing a message where the user must see one.
HRESULT ResultOfCurrentException() noexcept;

// Runs the whole body of an operation: its own result when it completes, else the guard's code.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return ResultOfCurrentException();
  }
}
