#include "registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <vector>

#include "accesskeep_ids.h"
#include "raii.h"

namespace accesskeep {

namespace {

// One value of the registry, below the classes root. In keys and values, {CLSID}, {LIBID},
// {PROGID} and {PATH} stand for the control's identifiers and the library's path, {MISC} for
// the control's OLEMISC flags. A null name is the key's default value; a null value makes the key
// alone.
struct Entry {
  const wchar_t* key;
  const wchar_t* name;
  const wchar_t* value;
};

constexpr Entry Entries[] = {
    {L"CLSID\\{CLSID}", nullptr, L"{PROGID}"},
    {L"CLSID\\{CLSID}\\InprocServer32", nullptr, L"{PATH}"},
    {L"CLSID\\{CLSID}\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\{CLSID}\\ProgID", nullptr, L"{PROGID}"},
    {L"CLSID\\{CLSID}\\VERSION", nullptr, L"1.0"},
    {L"CLSID\\{CLSID}\\TypeLib", nullptr, L"{LIBID}"},
    {L"CLSID\\{CLSID}\\Control", nullptr, nullptr},
    {L"CLSID\\{CLSID}\\Programmable", nullptr, nullptr},
    {L"CLSID\\{CLSID}\\ToolboxBitmap32", nullptr, L"{PATH}, 30000"},
    {L"CLSID\\{CLSID}\\MiscStatus", nullptr, L"0"},
    {L"CLSID\\{CLSID}\\MiscStatus\\1", nullptr, L"{MISC}"},  // DVASPECT_CONTENT
    // CATID_Control
    {L"CLSID\\{CLSID}\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", nullptr, nullptr},
    {L"{PROGID}", nullptr, L"{PROGID}"},
    {L"{PROGID}\\CLSID", nullptr, L"{CLSID}"},
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring Expand(std::wstring text, const std::wstring& path) {
  const std::pair<const wchar_t*, std::wstring> fields[] = {
      {L"{CLSID}", GuidText(ClsId)}, {L"{LIBID}", GuidText(LibId)}, {L"{PROGID}", ProgIdW}, {L"{PATH}", path},
      {L"{MISC}", std::to_wstring(MiscStatus)}};
  for (const auto& [field, replacement] : fields)
    for (size_t at; (at = text.find(field)) != std::wstring::npos;) text.replace(at, wcslen(field), replacement);
  return text;
}

// Deletes a key with everything below it; a missing key is fine.
void DeleteTree(HKEY parent, const std::wstring& path) {
  winapp::RegKey key;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  std::vector<std::wstring> children;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.emplace_back(name, length);
  }
  for (const auto& child : children) DeleteTree(key.get(), child);
  key.reset();
  RegDeleteKeyW(parent, path.c_str());
}

// The ProgID key is ours only while it names our class: another library may have taken it over.
bool ProgIdIsOurs(HKEY root) {
  winapp::RegKey key;
  if (RegOpenKeyExW(root, (std::wstring(ProgIdW) + L"\\CLSID").c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return false;
  wchar_t value[64] = {};
  DWORD size = sizeof value - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  return _wcsicmp(value, GuidText(ClsId).c_str()) == 0;
}

using TypeLibForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnTypeLibForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// Per-user type library registration exists from Windows Vista on.
template <class Function>
Function OleAutomation(const char* name) {
  HMODULE oleaut = GetModuleHandleA("oleaut32.dll");
  FARPROC found = oleaut ? GetProcAddress(oleaut, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

HRESULT RegisterTypeLibrary(const std::wstring& path, bool perUser) {
  winapp::ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
  if (FAILED(hr)) return hr;
  std::wstring copy = path;
  if (!perUser) return RegisterTypeLib(library.get(), copy.data(), nullptr);
  auto forUser = OleAutomation<TypeLibForUser>("RegisterTypeLibForUser");
  return forUser ? forUser(library.get(), copy.data(), nullptr) : E_NOTIMPL;
}

}  // namespace

HRESULT WriteClassEntries(HKEY classesRoot, const std::wstring& libraryPath) {
  for (const Entry& e : Entries) {
    winapp::RegKey key;
    LONG rc = RegCreateKeyExW(classesRoot, Expand(e.key, libraryPath).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              key.put(), nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    if (!e.value) continue;
    std::wstring value = Expand(e.value, libraryPath);
    rc = RegSetValueExW(key.get(), e.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  }
  return S_OK;
}

void RemoveClassEntries(HKEY classesRoot) {
  DeleteTree(classesRoot, Expand(L"CLSID\\{CLSID}", L""));
  if (ProgIdIsOurs(classesRoot)) DeleteTree(classesRoot, ProgIdW);
}

bool PerUserClassesIgnored() {
  // Wine's COM reads classes from the machine's root alone; Wine is known by the version export
  // of its ntdll, which Windows' has not.
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

namespace {

// The user's own classes and type library. Hosts find the control without its type library in
// the registry (it is embedded), so a system that cannot register that per user still has a
// working control.
HRESULT RegisterInUserClasses(const std::wstring& libraryPath) {
  winapp::RegKey user;
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_WRITE | KEY_READ, nullptr,
                            user.put(), nullptr);
  if (rc != ERROR_SUCCESS) return SELFREG_E_CLASS;
  if (FAILED(WriteClassEntries(user.get(), libraryPath))) {
    RemoveClassEntries(user.get());
    return SELFREG_E_CLASS;
  }
  RegisterTypeLibrary(libraryPath, true);
  return S_OK;
}

}  // namespace

HRESULT RegisterControlForUser(const std::wstring& libraryPath) {
  return RegisterControlForUser(libraryPath, PerUserClassesIgnored());
}

HRESULT RegisterControlForUser(const std::wstring& libraryPath, bool machineClassesOnly) {
  if (machineClassesOnly) return RegisterControl(libraryPath);
  // The user's own classes only, elevated or not: an installation of one user never changes what
  // the machine's other accounts load.
  return RegisterInUserClasses(libraryPath);
}

HRESULT RegisterControl(const std::wstring& libraryPath) {
  HRESULT hr = WriteClassEntries(HKEY_CLASSES_ROOT, libraryPath);
  if (SUCCEEDED(hr)) {
    if (FAILED(RegisterTypeLibrary(libraryPath, false))) return SELFREG_E_TYPELIB;
    return S_OK;
  }
  // No right to the machine's classes: the user's own, which Windows merges into HKEY_CLASSES_ROOT.
  RemoveClassEntries(HKEY_CLASSES_ROOT);
  return RegisterInUserClasses(libraryPath);
}

// The library registers under the platform of the code that loads it (win32 or win64).
constexpr SYSKIND LibSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

HRESULT UnregisterControl() {
  RemoveClassEntries(HKEY_CLASSES_ROOT);
  winapp::RegKey user;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ | KEY_WRITE, user.put()) == ERROR_SUCCESS)
    RemoveClassEntries(user.get());
  UnRegisterTypeLib(LibId, LibMajor, LibMinor, LibLocale, LibSysKind);
  if (auto forUser = OleAutomation<UnTypeLibForUser>("UnRegisterTypeLibForUser"))
    forUser(LibId, LibMajor, LibMinor, LibLocale, LibSysKind);
  return S_OK;
}

}  // namespace accesskeep
