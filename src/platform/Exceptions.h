#pragma once
// The application framework's exception objects and the compiler's COM error. The component's guard
// tells them apart from the standard exceptions and maps each kind to a result code.
#include <string>

#include "platform/WinTypes.h"

class CException {
 public:
  virtual ~CException() = default;
  // A short text for diagnostics; the guard never shows it to the user.
  virtual std::string Describe() const = 0;
};

// A file that cannot be opened or read.
class CFileException : public CException {
 public:
  enum Cause { cannotOpen, cannotRead };

  CFileException(Cause cause, std::string fileName, int osError = 0)
      : m_cause(cause), m_strFileName(std::move(fileName)), m_osError(osError) {}

  std::string Describe() const override;

  Cause m_cause;
  std::string m_strFileName;  // the path as the component gave it
  int m_osError;              // errno of the failing call, 0 when there is none
};

// A failing OLE call, carrying its result code.
class COleException : public CException {
 public:
  explicit COleException(HRESULT status) : m_sc(status) {}
  std::string Describe() const override;
  HRESULT m_sc;
};

// Memory exhaustion, as the framework reports it.
class CMemoryException : public CException {
 public:
  std::string Describe() const override { return "out of memory"; }
};

// Raises the OLE exception for a failing call: the way every failing host, storage or stream call
// leaves the component.
[[noreturn]] void AfxThrowOleException(HRESULT status);
// Raises the OLE exception when `result` is a failure; answers it otherwise.
HRESULT ThrowIfFailed(HRESULT result);

// The compiler's COM error: a result code with an optional description.
class _com_error {
 public:
  explicit _com_error(HRESULT code, WideString description = {})
      : m_Code(code), m_Description(std::move(description)) {}
  HRESULT Error() const { return m_Code; }
  // Empty when the error carries no description.
  const WideString& Description() const { return m_Description; }
  // The system's text for the code, without its final line end; "IDispatch error #n" for codes from
  // 0x80040201 to 0x8004FFFF without a text, "Unknown error 0x%0lX" for the others.
  std::string ErrorMessage() const;

 private:
  HRESULT m_Code;
  WideString m_Description;
};
