#pragma once
// Result codes of the Windows platform that the component, the storage and the host produce.
#include "platform/WinTypes.h"

constexpr HRESULT MakeResult(std::uint32_t code) { return static_cast<HRESULT>(code); }
constexpr HRESULT E_INVALID_DATA = MakeResult(0x8007000D);  // HRESULT_FROM_WIN32(ERROR_INVALID_DATA)

// The Windows build has the rest from <winerror.h>.
#if !defined(_WIN32)
// A Win32 error code as a result code.
constexpr HRESULT HRESULT_FROM_WIN32(LONG error) {
  return error <= 0 ? HRESULT(error) : MakeResult((std::uint32_t(error) & 0xFFFF) | 0x80070000u);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002);
constexpr HRESULT E_POINTER = MakeResult(0x80004003);
constexpr HRESULT E_FAIL = MakeResult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeResult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeResult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeResult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeResult(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeResult(0x800401F0);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeResult(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = MakeResult(0x800401F9);

// Structured storage.
constexpr HRESULT STG_E_INVALIDFUNCTION = MakeResult(0x80030001);
constexpr HRESULT STG_E_FILENOTFOUND = MakeResult(0x80030002);
constexpr HRESULT STG_E_PATHNOTFOUND = MakeResult(0x80030003);
constexpr HRESULT STG_E_ACCESSDENIED = MakeResult(0x80030005);
constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MakeResult(0x80030008);
constexpr HRESULT STG_E_INVALIDPOINTER = MakeResult(0x80030009);
constexpr HRESULT STG_E_WRITEFAULT = MakeResult(0x8003001D);
constexpr HRESULT STG_E_READFAULT = MakeResult(0x8003001E);
constexpr HRESULT STG_E_SHAREVIOLATION = MakeResult(0x80030020);
constexpr HRESULT STG_E_FILEALREADYEXISTS = MakeResult(0x80030050);
constexpr HRESULT STG_E_INVALIDPARAMETER = MakeResult(0x80030057);
constexpr HRESULT STG_E_MEDIUMFULL = MakeResult(0x80030070);
constexpr HRESULT STG_E_INVALIDHEADER = MakeResult(0x800300FB);
constexpr HRESULT STG_E_INVALIDNAME = MakeResult(0x800300FC);
constexpr HRESULT STG_E_INVALIDFLAG = MakeResult(0x800300FF);
constexpr HRESULT STG_E_REVERTED = MakeResult(0x80030102);
constexpr HRESULT STG_E_DOCFILECORRUPT = MakeResult(0x80030109);
#endif
