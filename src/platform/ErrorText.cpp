#include "platform/ErrorText.h"

#include <utility>

#include "platform/WinError.h"

std::optional<std::string> SystemMessageText(HRESULT code) {
  static const std::pair<HRESULT, const char*> kTexts[] = {
      {S_OK, "The operation completed successfully."},
      {E_NOTIMPL, "Not implemented"},
      {E_NOINTERFACE, "No such interface supported"},
      {E_POINTER, "Invalid pointer"},
      {E_FAIL, "Unspecified error"},
      {E_UNEXPECTED, "Catastrophic failure"},
      {E_ACCESSDENIED, "Access is denied."},
      {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
      {E_INVALIDARG, "The parameter is incorrect."},
      {E_INVALID_DATA, "The data is invalid."},
      {CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)"},
      {CLASS_E_CLASSNOTAVAILABLE, "ClassFactory cannot supply requested class"},
      {REGDB_E_CLASSNOTREG, "Class not registered"},
      {CO_E_NOTINITIALIZED, "CoInitialize has not been called."},
      {CO_E_DLLNOTFOUND, "DLL for class not found"},
      {CO_E_ERRORINDLL, "Error in the DLL"},
      {STG_E_INVALIDFUNCTION, "Unable to perform requested operation."},
      {STG_E_FILENOTFOUND, "%1 could not be found."},
      {STG_E_PATHNOTFOUND, "The path %1 could not be found."},
      {STG_E_ACCESSDENIED, "Access Denied."},
      {STG_E_INSUFFICIENTMEMORY, "There is insufficient memory available to complete operation."},
      {STG_E_INVALIDPOINTER, "Invalid pointer error."},
      {STG_E_WRITEFAULT, "A disk error occurred during a write operation."},
      {STG_E_READFAULT, "A disk error occurred during a read operation."},
      {STG_E_SHAREVIOLATION, "A share violation has occurred."},
      {STG_E_FILEALREADYEXISTS, "%1 already exists."},
      {STG_E_INVALIDPARAMETER, "Invalid parameter error."},
      {STG_E_MEDIUMFULL, "There is insufficient disk space to complete operation."},
      {STG_E_INVALIDHEADER, "The name %1 is not valid."},
      {STG_E_INVALIDNAME, "The name %1 is not valid."},
      {STG_E_INVALIDFLAG, "Invalid flag error."},
      {STG_E_REVERTED, "The object has been invalidated by a revert operation or the storage has been closed."},
      {STG_E_DOCFILECORRUPT, "The compound file %1 was produced with an incompatible version of storage."},
  };
  for (const auto& [known, text] : kTexts)
    if (known == code) return std::string(text) + "\r\n";
  return std::nullopt;
}
