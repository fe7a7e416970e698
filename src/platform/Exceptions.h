#pragma once
// The application framework's exception objects. The component's guard tells them apart from the
// standard exceptions and maps each kind to a result code.
#include <string>

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
