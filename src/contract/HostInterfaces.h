#pragma once
// The interfaces shared with the host: the host's objects that the component calls, and the three
// interfaces that the reader object implements. The operations stand in the order of the contract;
// places that the component never calls are declared too, so that every table has its shape.
// Texts are ANSI and end with a 0 byte; sizes count bytes.
#include "platform/ComPtr.h"
#include "platform/Module.h"
#include "platform/Registry.h"
#include "platform/Storage.h"

class IHostPropertyWriter;

class IHostMessages : public IUnknown {
 public:
  virtual HRESULT SetOwnerWindow(void* window) = 0;
  virtual HRESULT ShowMessage(const char* text) = 0;

 protected:
  ~IHostMessages() = default;
};

class IHostRegistration : public IUnknown {
 public:
  virtual HRESULT Open() = 0;
  // `key` may come back holding an open registry key; the caller closes it.
  virtual HRESULT RegisterComponent(const char* categoryPath, HKEY* key, REFCLSID clsid, const char* description) = 0;
  virtual HRESULT RegisterCategory(const char* categoryPath, const char* description) = 0;
  virtual HRESULT RegisterClass(REFCLSID clsid, HINSTANCE module, const char* progId) = 0;
  virtual HRESULT FindComponent(const char* progId, CLSID* clsid) = 0;
  virtual HRESULT EnumComponents(const char* categoryPath, CLSID* clsids, ULONG* count) = 0;
  virtual HRESULT UnregisterCategory(const char* categoryPath) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT UnregisterComponent(const char* categoryPath, REFCLSID clsid) = 0;
  virtual HRESULT UnregisterClass(REFCLSID clsid) = 0;

 protected:
  ~IHostRegistration() = default;
};

class IHostPropertyWriter : public IUnknown {
 public:
  virtual HRESULT Attach(IStorage* storage) = 0;
  virtual HRESULT Finish() = 0;
  // S_OK with task-allocated data that the caller frees, S_FALSE (1) when the property is absent.
  virtual HRESULT GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) = 0;
  virtual HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) = 0;
  virtual HRESULT RemoveProperty(ULONG tag, ULONG index) = 0;
  virtual HRESULT Close() = 0;

 protected:
  ~IHostPropertyWriter() = default;
};

class IHostPropertyBag : public IUnknown {
 public:
  // Replaces the content by the entries encoded in the buffer; an empty buffer empties the bag.
  virtual HRESULT Reset(const BYTE* data, ULONG size) = 0;
  // Encodes all entries into task-allocated memory.
  virtual HRESULT SaveToMemory(BYTE** data, ULONG* size) = 0;
  virtual HRESULT SetProperty(ULONG tag, ULONG index, const void* data, ULONG size) = 0;
  virtual HRESULT GetProperty(ULONG tag, ULONG index, BYTE** data, ULONG* size) = 0;

 protected:
  ~IHostPropertyBag() = default;
};

class IHostMarkerWriter : public IUnknown {
 public:
  virtual HRESULT Attach(IStorage* storage) = 0;
  virtual HRESULT BeginMarker(LONG position, LONG points) = 0;
  virtual HRESULT SetType(const char* type) = 0;
  virtual HRESULT SetDate(double date) = 0;
  virtual HRESULT SetDescription(const char* description) = 0;
  virtual HRESULT SetChannel(LONG channel) = 0;  // -1 for all channels
  virtual HRESULT SetFlag() = 0;
  virtual HRESULT AddMarker() = 0;
  virtual HRESULT Commit() = 0;

 protected:
  ~IHostMarkerWriter() = default;
};

class IHostConverter : public IUnknown {
 public:
  virtual HRESULT ValueToDate(double value, LONG* year, LONG* month, LONG* day) = 0;
  virtual HRESULT DateToValue(LONG year, LONG month, LONG day, LONG hour, LONG minute, LONG second, LONG microsecond,
                              double* value) = 0;
  virtual HRESULT LookupCoordinates(const char* label, float coordinates[3]) = 0;
  // A task-allocated copy of the label in the host's form; the caller frees it.
  virtual HRESULT ConvertLabel(const char* label, char** converted) = 0;

 protected:
  ~IHostConverter() = default;
};

// A recording's data: implemented by the host data class and by the reader object.
class IEEGData : public IUnknown {
 public:
  virtual HRESULT LoadFromStorage(IStorage* storage, LONG option) = 0;
  virtual HRESULT GetProperties(IHostPropertyWriter** properties) = 0;
  // A task-allocated block of count × channels × values 32-bit floats that the caller frees.
  virtual HRESULT GetData(LONG first, LONG count, float** block, const LONG* channels, LONG channelCount) = 0;
  // Operations 4 to 8 belong to the host; the reader forwards 4 to 7 and answers 8 itself.
  virtual HRESULT Operation4(LONG a, LONG b, LONG c, LONG d) = 0;
  virtual HRESULT Operation5(LONG a) = 0;
  virtual HRESULT Operation6(LONG a, LONG b) = 0;
  virtual HRESULT Operation7(LONG a, LONG b) = 0;
  virtual HRESULT Operation8(LONG* value) = 0;

 protected:
  ~IEEGData() = default;
};

class IEEGRawFileReader : public IUnknown {
 public:
  virtual HRESULT OpenRawFile(const char* path, LONG* opened) = 0;
  virtual HRESULT CreateStorageEntries(IStorage* storage, LONG ignored) = 0;

 protected:
  ~IEEGRawFileReader() = default;
};

class ISylvexVersion : public IUnknown {
 public:
  virtual HRESULT GetVersion(LONG* version) = 0;
  // A task-allocated text that the caller frees.
  virtual HRESULT GetVersionText(char** text) = 0;

 protected:
  ~ISylvexVersion() = default;
};

// Fixed identifiers shared with the host.
GDR_INTERFACE_ID(IHostMessages, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x01)
GDR_INTERFACE_ID(IHostRegistration, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x02)
GDR_INTERFACE_ID(IHostPropertyWriter, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x03)
GDR_INTERFACE_ID(IHostPropertyBag, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x04)
GDR_INTERFACE_ID(IHostMarkerWriter, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x05)
GDR_INTERFACE_ID(IHostConverter, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x06)
GDR_INTERFACE_ID(IEEGData, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x10)
GDR_INTERFACE_ID(IEEGRawFileReader, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x11)
GDR_INTERFACE_ID(ISylvexVersion, 0x5B1C7A01, 0x6E2D, 0x4F30, 0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x00, 0x12)

// The host's two classes: the toolbox (every interface above but IEEGData) and the host data class.
constexpr CLSID CLSID_HostToolbox = {0x5B1C7A02, 0x6E2D, 0x4F30, {0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x01, 0x00}};
constexpr CLSID CLSID_HostData = {0x5B1C7A02, 0x6E2D, 0x4F30, {0x9A, 0x41, 0x0C, 0x7E, 0x21, 0xD4, 0x02, 0x00}};
