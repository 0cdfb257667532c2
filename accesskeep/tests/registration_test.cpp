// How the control presents itself: registration and its undoing, creation by ProgID and from the
// program folder, the type library a host reads, and the resources of the library file.
#include <gtest/gtest.h>

#include <olectl.h>

#include <functional>
#include <optional>

#include "host.h"
#include "registration.h"
#include "test_util.h"

using namespace akt;

namespace {

std::string GuidText(const GUID& g) {
  wchar_t text[40] = {};
  StringFromGUID2(g, text, 40);
  return Narrow(text);
}

// The default value (or `name`) of a key under HKEY_CLASSES_ROOT; null when the key is missing.
std::optional<std::string> ClassesValue(const std::string& key, const char* name = nullptr) {
  winapp::RegKey k;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) return std::nullopt;
  char value[1024] = {};
  DWORD size = sizeof value - 1, type = 0;
  if (RegQueryValueExA(k.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
    return std::string();
  return std::string(value);
}

bool KeyExists(HKEY root, const std::string& key) {
  winapp::RegKey k;
  return RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}
bool ClassesKeyExists(const std::string& key) { return KeyExists(HKEY_CLASSES_ROOT, key); }

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

// The library's own exports, called as regsvr32 calls them.
class Library {
 public:
  Library() : module_(LoadLibraryA(LibraryPath().c_str())) {}
  HRESULT Call(const char* name) const {
    auto f = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)));
    return f ? f() : E_NOTIMPL;
  }
  explicit operator bool() const { return static_cast<bool>(module_); }

 private:
  winapp::Module module_;
};

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

TEST(Registration, RegisteredByProgIdUnregisteredFromTheProgramFolder) {
  winapp::ComApartment com;
  Library library;
  ASSERT_TRUE(library);
  const std::string clsid = "CLSID\\" + GuidText(ClsId);
  const std::string typeLib = "TypeLib\\" + GuidText(LibId);
  ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);

  // Never registered: the client loads the library from the program folder.
  CLSID found;
  EXPECT_TRUE(FAILED(CLSIDFromProgID(ProgIdW, &found)));
  {
    accesskeep::AccessKeepClient client;
    ASSERT_EQ(client.Create(LibraryPath()), S_OK);
    EXPECT_TRUE(client.SideLoaded());
    std::string name;
    EXPECT_EQ(client.CurrentUserName(&name), S_OK);
    EXPECT_EQ(name, "Not Logged In");
    accesskeep::AccessKeepClient nowhere;
    EXPECT_TRUE(FAILED(nowhere.Create(testutil::ProgramFolder() + "\\no such.ocx")));
    EXPECT_FALSE(nowhere.Created());
  }

  ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
  const std::string path = LibraryPath();
  EXPECT_EQ(ClassesValue(clsid), ProgId);
  ASSERT_TRUE(ClassesValue(clsid + "\\InprocServer32").has_value());
  EXPECT_TRUE(SamePath(*ClassesValue(clsid + "\\InprocServer32"), path));
  EXPECT_EQ(ClassesValue(clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(ClassesValue(clsid + "\\ProgID"), ProgId);
  EXPECT_EQ(ClassesValue(clsid + "\\TypeLib"), GuidText(LibId));
  EXPECT_TRUE(ClassesKeyExists(clsid + "\\Control"));
  EXPECT_TRUE(SamePath(ClassesValue(clsid + "\\ToolboxBitmap32").value_or(""), path + ", 30000"));
  EXPECT_EQ(ClassesValue(std::string(ProgId) + "\\CLSID"), GuidText(ClsId));
  // A type library registers under the platform of the code that reads it.
  const std::string tlbKey = typeLib + (sizeof(void*) == 8 ? "\\1.0\\409\\win64" : "\\1.0\\409\\win32");
  ASSERT_TRUE(ClassesValue(tlbKey).has_value());
  EXPECT_TRUE(SamePath(*ClassesValue(tlbKey), path));
  EXPECT_TRUE(ClassesKeyExists("Interface\\" + GuidText(IID_AccessKeepDefault)));
  EXPECT_EQ(library.Call("DllRegisterServer"), S_OK);  // again: the same entries

  ASSERT_EQ(CLSIDFromProgID(ProgIdW, &found), S_OK);
  EXPECT_TRUE(IsEqualCLSID(found, ClsId));
  {
    accesskeep::AccessKeepClient client;
    // Registered, the class comes through COM where the program folder has no control.
    ASSERT_EQ(client.Create(testutil::ProgramFolder() + "\\no such.ocx"), S_OK);
    EXPECT_FALSE(client.SideLoaded());
    testutil::TempFolder dir;
    long status = -1;
    EXPECT_EQ(client.CreateUser("default", "Secret1", dir / "panel.dll", false, &status), S_OK);
    EXPECT_EQ(status, 0);
  }
  {
    // L03: the registration naming a stale copy in another folder; the program folder's control
    // is the one taken.
    testutil::TempFolder stale;
    ASSERT_TRUE(testutil::CopyInto(path, stale.path()));
    winapp::RegKey k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32").c_str(), 0, KEY_WRITE, k.put()),
              ERROR_SUCCESS);
    const std::string other = stale / "accesskeep.ocx";
    RegSetValueExA(k.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                   static_cast<DWORD>(other.size() + 1));
    accesskeep::AccessKeepClient client;
    ASSERT_EQ(client.Create(path), S_OK);
    EXPECT_TRUE(client.SideLoaded()) << "the registered copy was taken";
    EXPECT_FALSE(GetModuleHandleA(other.c_str())) << "the stale copy was loaded";
  }

  EXPECT_EQ(library.Call("DllUnregisterServer"), S_OK);
  EXPECT_FALSE(ClassesKeyExists(clsid));
  EXPECT_FALSE(ClassesKeyExists(ProgId));
  EXPECT_FALSE(ClassesKeyExists(typeLib));
  EXPECT_TRUE(FAILED(CLSIDFromProgID(ProgIdW, &found)));
  EXPECT_EQ(library.Call("DllUnregisterServer"), S_OK);  // nothing left to remove is fine

  // A ProgID another library has taken over is not ours to remove.
  ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
  {
    winapp::RegKey k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(ProgId) + "\\CLSID").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, k.put(), nullptr),
              ERROR_SUCCESS);
    const char other[] = "{00000000-1111-2222-3333-444444444444}";
    RegSetValueExA(k.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
  }
  EXPECT_EQ(library.Call("DllUnregisterServer"), S_OK);
  EXPECT_FALSE(ClassesKeyExists(clsid));
  EXPECT_TRUE(ClassesKeyExists(ProgId));

  // A ProgID that leads to another creatable class (here the script runtime's dictionary) is
  // not the control: hosts take the program folder's control instead.
  {
    winapp::RegKey k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, (std::string(ProgId) + "\\CLSID").c_str(), 0, KEY_WRITE, k.put()),
              ERROR_SUCCESS);
    const char dictionary[] = "{EE09B103-97E0-11CF-978F-00A02463E06F}";
    RegSetValueExA(k.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dictionary), sizeof dictionary);
  }
  {
    accesskeep::AccessKeepClient client;
    ASSERT_EQ(client.Create(LibraryPath()), S_OK);
    EXPECT_TRUE(client.SideLoaded());
    testutil::TempFolder dir;
    long status = -1;
    EXPECT_EQ(client.CreateUser("default", "Secret1", dir / "panel.dll", false, &status), S_OK);
    EXPECT_EQ(status, 0);
  }
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(ProgId) + "\\CLSID").c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, ProgId);
}

// Where an installation for one user registers the control, read from the registry after: the
// user's own classes, the machine's only where the platform reads no per-user classes (Wine).
// DllInstall "user" takes this platform's way; the way of the other platform is taken through
// the same code with the platform's answer given, so that both are run here.
TEST(Registration, APerUserInstallationWritesTheMachinesClassesOnlyWhereItMust) {
  winapp::ComApartment com;
  Library library;
  ASSERT_TRUE(library);
  winapp::Module module(LoadLibraryA(LibraryPath().c_str()));
  using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  auto install = reinterpret_cast<Install>(reinterpret_cast<void (*)()>(GetProcAddress(module.get(), "DllInstall")));
  ASSERT_TRUE(install);
  const std::string clsid = "Software\\Classes\\CLSID\\" + GuidText(ClsId) + "\\InprocServer32";
  const std::string progId = std::string("Software\\Classes\\") + ProgId;
  const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  EXPECT_EQ(accesskeep::PerUserClassesIgnored(), wine);
  struct Row {
    const char* way;
    std::function<HRESULT()> registration;
    bool machine;
  } const rows[] = {
      {"DllInstall user", [&] { return install(TRUE, L"user"); }, wine},
      {"a platform with per-user classes",
       [] { return accesskeep::RegisterControlForUser(winapp::Wide(LibraryPath()), false); }, false},
      {"a platform without", [] { return accesskeep::RegisterControlForUser(winapp::Wide(LibraryPath()), true); },
       true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.way);
    ASSERT_EQ(install(FALSE, nullptr), S_OK);
    ASSERT_EQ(r.registration(), S_OK);
    for (const std::string& key : {clsid, progId}) {
      EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, key), r.machine) << key;
      EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, key), !r.machine) << key;
    }
    ASSERT_EQ(install(FALSE, nullptr), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, clsid) || KeyExists(HKEY_CURRENT_USER, clsid)) << "left registered";
  }
}

TEST(Registration, OnlyTheOneClassComesFromTheLibrary) {
  winapp::ComApartment com;
  Library library;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  winapp::Module module(LoadLibraryA(LibraryPath().c_str()));
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void (*)()>(GetProcAddress(module.get(), "DllGetClassObject")));
  ASSERT_TRUE(get);
  winapp::ComPtr<IClassFactory> factory;
  EXPECT_EQ(get(IID_AccessKeepEvents, IID_IClassFactory, factory.put_void()), CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(get(ClsId, IID_IClassFactory, factory.put_void()), S_OK);
  winapp::ComPtr<IUnknown> outer, object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
  EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, outer.put_void()), CLASS_E_NOAGGREGATION);
  // Alive objects and factories keep the library loaded.
  EXPECT_EQ(library.Call("DllCanUnloadNow"), S_FALSE);
  object.reset();
  EXPECT_EQ(library.Call("DllCanUnloadNow"), S_FALSE);
  factory.reset();
  EXPECT_EQ(library.Call("DllCanUnloadNow"), S_OK);
}

// --- What a host reads from the type library -----------------------------------------------------

struct Method {
  const wchar_t* name;
  DISPID id;
  std::vector<VARTYPE> params;  // without the return value
  VARTYPE result;               // VT_EMPTY: none
};

const Method Methods[] = {
    {L"StoreSetting", 0x60030000, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR}, VT_I4},
    {L"RetrieveSetting", 0x60030001, {VT_BSTR, VT_BSTR, VT_BSTR}, VT_BSTR},
    {L"CreateUser", 0x60030002, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BOOL}, VT_I4},
    {L"ValidateUser", 0x6003000A, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BOOL}, VT_I4},
    {L"About", 0x6003000B, {}, VT_EMPTY},
    {L"CurrentUserName", 0x6003000E, {}, VT_BSTR},
    {L"GetStatus", 0x6003000F, {}, VT_BSTR},
    {L"CurrentPassword", 0x60030010, {}, VT_BSTR},
    {L"Logout", 0x60030011, {}, VT_VARIANT},
    {L"ChangePassword", 0x60030012, {VT_BSTR, VT_BSTR | VT_BYREF, VT_BSTR | VT_BYREF, VT_BOOL | VT_BYREF}, VT_I4},
    {L"KillUser", 0x60030015, {VT_BSTR, VT_BSTR}, VT_I4},
    {L"UserArray", 0x60030016, {VT_BSTR}, VT_VARIANT},
};

VARTYPE TypeOf(const TYPEDESC& t) {
  if (t.vt == VT_PTR) return static_cast<VARTYPE>(t.lptdesc->vt | VT_BYREF);
  return t.vt;
}

TEST(TypeLibrary, DescribesTheInterfaceAHostCallsBy) {
  winapp::ComApartment com;
  winapp::HostedObject object;
  ASSERT_EQ(winapp::HostedObject::CreateFromLibrary(ClsId, LibraryPath(), object), S_OK);
  IDispatch* d = object.get();

  // Dispatch identifiers by name, as late-bound hosts find them, and the argument kinds.
  winapp::ComPtr<ITypeInfo> info;
  ASSERT_EQ(d->GetTypeInfo(0, 0x409, info.put()), S_OK);
  for (size_t i = 0; i < std::size(Methods); ++i) {
    LPOLESTR name = const_cast<LPOLESTR>(Methods[i].name);
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id), S_OK) << "method " << i;
    EXPECT_EQ(id, Methods[i].id) << "method " << i;
  }
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID_AccessKeepDefault));
  EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE),
            TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE);
  info->ReleaseTypeAttr(attr);
  // The vtable half holds the methods with their real signatures.
  HREFTYPE vtableRef;
  winapp::ComPtr<ITypeInfo> vtable;
  ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
  ASSERT_EQ(info->GetRefTypeInfo(vtableRef, vtable.put()), S_OK);
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  const UINT functions = attr->cFuncs;
  vtable->ReleaseTypeAttr(attr);
  EXPECT_EQ(functions, std::size(Methods));
  size_t seen = 0;
  for (UINT f = 0; f < functions; ++f) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(f, &desc), S_OK);
    for (size_t i = 0; i < std::size(Methods); ++i) {
      if (desc->memid != Methods[i].id) continue;
      ++seen;
      std::vector<VARTYPE> params;
      VARTYPE result = VT_EMPTY;
      for (SHORT p = 0; p < desc->cParams; ++p) {
        const ELEMDESC& e = desc->lprgelemdescParam[p];
        if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) result = e.tdesc.lptdesc->vt;
        else params.push_back(TypeOf(e.tdesc));
      }
      EXPECT_EQ(params, Methods[i].params) << "method " << i;
      EXPECT_EQ(result, Methods[i].result) << "method " << i;
    }
    vtable->ReleaseFuncDesc(desc);
  }
  EXPECT_EQ(seen, std::size(Methods));

  // The library and the class, through IProvideClassInfo.
  winapp::ComPtr<ITypeLib> lib;
  UINT index = 0;
  ASSERT_EQ(info->GetContainingTypeLib(lib.put(), &index), S_OK);
  TLIBATTR* libAttr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&libAttr), S_OK);
  EXPECT_TRUE(IsEqualGUID(libAttr->guid, LibId));
  EXPECT_EQ(libAttr->wMajorVerNum, 1);
  EXPECT_EQ(libAttr->wMinorVerNum, 0);
  EXPECT_EQ(libAttr->lcid, 0x409u);
  lib->ReleaseTLibAttr(libAttr);
  BSTR libName = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &libName, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(std::wstring(libName), L"KestrovaneSoftwareLogin");
  SysFreeString(libName);

  winapp::ComPtr<IProvideClassInfo> provide;
  ASSERT_EQ(d->QueryInterface(IID_IProvideClassInfo, provide.put_void()), S_OK);
  winapp::ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(provide->GetClassInfo(coclass.put()), S_OK);
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, ClsId));
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
  const UINT implemented = attr->cImplTypes;
  coclass->ReleaseTypeAttr(attr);
  ASSERT_EQ(implemented, 2u);
  for (UINT i = 0; i < implemented; ++i) {
    INT flags = 0;
    HREFTYPE ref;
    winapp::ComPtr<ITypeInfo> part;
    ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, part.put()), S_OK);
    ASSERT_EQ(part->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT) << "part " << i;
    if (flags & IMPLTYPEFLAG_FSOURCE) {
      EXPECT_TRUE(IsEqualGUID(attr->guid, IID_AccessKeepEvents));
      EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
      EXPECT_EQ(attr->cFuncs, 0);  // no events
    } else {
      EXPECT_TRUE(IsEqualGUID(attr->guid, IID_AccessKeepDefault));
    }
    part->ReleaseTypeAttr(attr);
  }
}

// --- Resources ----------------------------------------------------------------------------------

std::string VersionString(const std::vector<char>& block, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return "<missing>";
  return length ? std::string(value) : std::string();
}

TEST(Resources, VersionBlockToolboxBitmapAndTypeLibrary) {
  const std::string path = LibraryPath();
  DWORD handle = 0, size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x0001000Au);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x0001000Au);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  const std::pair<const char*, const char*> strings[] = {
      {"FileVersion", "1.10"},
      {"ProductVersion", "1.10"},
      {"FileDescription", "Create and Validate Users using INI files"},
      {"Comments", "v1.1.0 - November 2002"},
      {"ProductName", "AccessKeep Active X Control"},
      {"InternalName", "accesskeep"},
      {"OriginalFilename", "accesskeep.ocx"},
      {"OLESelfRegister", ""},
  };
  for (size_t i = 0; i < std::size(strings); ++i)
    EXPECT_EQ(VersionString(block, strings[i].first), strings[i].second) << "case " << i;

  winapp::Module data(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(data);
  HRSRC bitmap = FindResourceA(data.get(), MAKEINTRESOURCEA(30000), reinterpret_cast<LPCSTR>(RT_BITMAP));
  ASSERT_TRUE(bitmap);
  auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(data.get(), bitmap)));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->biWidth, 16);
  EXPECT_EQ(header->biHeight, 15);
  EXPECT_EQ(header->biBitCount, 24);
  EXPECT_TRUE(FindResourceA(data.get(), MAKEINTRESOURCEA(1), "TYPELIB"));
}

}  // namespace
