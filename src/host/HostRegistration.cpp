#include <string>

#include "host/HostToolbox.h"

namespace {

const std::string kComponentsKey = "Software\\Sylvex\\Components\\";

std::string ClassKey(REFCLSID clsid) { return "CLSID\\" + GuidToString(clsid); }
std::string ComponentKey(const char* categoryPath, REFCLSID clsid) {
  return kComponentsKey + categoryPath + "\\" + GuidToString(clsid);
}

HRESULT FromRegistry(LONG error) { return HRESULT_FROM_WIN32(error); }

// Creates the key and sets its default value (or the named one); hands the key out when asked to.
HRESULT SetKeyValue(HKEY root, const std::string& key, const char* name, const std::string& value,
                    HKEY* opened = nullptr) {
  HKEY made = nullptr;
  LONG error = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &made, nullptr);
  if (error != ERROR_SUCCESS) return FromRegistry(error);
  error = RegSetValueExA(made, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
  if (opened && error == ERROR_SUCCESS)
    *opened = made;
  else
    RegCloseKey(made);
  return FromRegistry(error);
}

HRESULT GetKeyValue(HKEY root, const std::string& key, std::string& value) {
  HKEY opened = nullptr;
  LONG error = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened);
  if (error != ERROR_SUCCESS) return FromRegistry(error);
  char text[4096];
  DWORD size = sizeof text;
  error = RegQueryValueExA(opened, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(opened);
  if (error == ERROR_SUCCESS) value = text;
  return FromRegistry(error);
}

}  // namespace

HRESULT HostRegistration::RegisterComponent(const char* categoryPath, HKEY* key, REFCLSID clsid,
                                            const char* description) {
  if (!categoryPath || !description) return E_POINTER;
  if (key) *key = nullptr;
  if (const HRESULT result = SetKeyValue(HKEY_CLASSES_ROOT, ClassKey(clsid), nullptr, description); FAILED(result))
    return result;
  return SetKeyValue(HKEY_CURRENT_USER, ComponentKey(categoryPath, clsid), nullptr, description, key);
}

HRESULT HostRegistration::RegisterCategory(const char* categoryPath, const char* description) {
  if (!categoryPath || !description) return E_POINTER;
  return SetKeyValue(HKEY_CURRENT_USER, kComponentsKey + categoryPath, nullptr, description);
}

HRESULT HostRegistration::RegisterClass(REFCLSID clsid, HINSTANCE module, const char* progId) {
  if (!progId) return E_POINTER;
  char path[4096];
  if (GetModuleFileNameA(module, path, sizeof path) == 0) return E_INVALIDARG;
  const std::string classKey = ClassKey(clsid);
  HRESULT result = SetKeyValue(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", nullptr, path);
  if (SUCCEEDED(result))
    result = SetKeyValue(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel", "Apartment");
  if (SUCCEEDED(result)) result = SetKeyValue(HKEY_CLASSES_ROOT, classKey + "\\ProgID", nullptr, progId);
  if (SUCCEEDED(result))
    result = SetKeyValue(HKEY_CLASSES_ROOT, std::string(progId) + "\\CLSID", nullptr, GuidToString(clsid));
  return result;
}

HRESULT HostRegistration::FindComponent(const char* progId, CLSID* clsid) {
  if (!progId || !clsid) return E_POINTER;
  std::string text;
  if (const HRESULT result = GetKeyValue(HKEY_CLASSES_ROOT, std::string(progId) + "\\CLSID", text); FAILED(result))
    return REGDB_E_CLASSNOTREG;
  const std::optional<GUID> found = StringToGuid(text);
  if (!found) return REGDB_E_CLASSNOTREG;
  *clsid = *found;
  return S_OK;
}

HRESULT HostRegistration::UnregisterCategory(const char* categoryPath) {
  if (!categoryPath) return E_POINTER;
  return FromRegistry(RegDeleteTreeA(HKEY_CURRENT_USER, (kComponentsKey + categoryPath).c_str()));
}

HRESULT HostRegistration::UnregisterComponent(const char* categoryPath, REFCLSID clsid) {
  if (!categoryPath) return E_POINTER;
  return FromRegistry(RegDeleteTreeA(HKEY_CURRENT_USER, ComponentKey(categoryPath, clsid).c_str()));
}

HRESULT HostRegistration::UnregisterClass(REFCLSID clsid) {
  const std::string classKey = ClassKey(clsid);
  std::string progId;
  if (SUCCEEDED(GetKeyValue(HKEY_CLASSES_ROOT, classKey + "\\ProgID", progId)))
    RegDeleteTreeA(HKEY_CLASSES_ROOT, progId.c_str());
  return FromRegistry(RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str()));
}
