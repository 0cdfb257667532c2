#include "control.h"

#include <new>
#include <utility>

#include "accesskeep_ids.h"
#include "codec.h"
#include "database.h"
#include "fault.h"
#include "form.h"
#include "frmAbout.h"
#include "module.h"
#include "system.h"
#include "text.h"

namespace accesskeep {

using winapp::Ansi;
using winapp::Wide;

namespace {

constexpr const char* MessageTitle = "Kestrovane Software Login";
constexpr const wchar_t* NotLoggedIn = L"Not Logged In";
constexpr const wchar_t* Incompatible =
    L"The INI database file specified is incompatible with this version of the Login control";
constexpr const wchar_t* WrongLogin = L"The username or password entered is incorrect";
constexpr const wchar_t* NoUsername = L"You must specify a username";
constexpr const wchar_t* NoIniFile = L"You must specify an INI file";
constexpr const wchar_t* BadLength = L"Password must be between 6 and 20 charcetrs in length";
constexpr const wchar_t* IllegalCharacters = L"The specified password contains illegal characters";

std::wstring Text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

HRESULT PutText(const std::wstring& text, BSTR* out) {
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// Message boxes only when the caller asks with the automation value true (-1).
void Warn(bool notify, const std::wstring& text) {
  if (notify) winapp::ShowMessage(Ansi(text), MessageTitle, MB_OK | MB_ICONEXCLAMATION);
}
// A refusal: its warning, then its status.
long Warned(bool notify, const std::wstring& text, long status) {
  Warn(notify, text);
  return status;
}
void Inform(bool notify, const std::wstring& text) {
  if (notify) winapp::ShowMessage(Ansi(text), MessageTitle, MB_OK | MB_ICONINFORMATION);
}

// A text that goes into the file as a section, key or value must stand on one line: a line break
// would start keys or sections of its own (a password among them), and the profile functions
// would cut a text at a null character, so that it addressed another user's section. Nor may it
// be longer than the profile functions take. Checked before the first write, so that a refused
// call leaves the file as it was.
void RefuseUnwritable(const std::wstring& text) {
  if (text.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos || !FitsProfile(text))
    throw Fault{E_INVALIDARG};
}

// A setting name must read back as that key: an equals sign would split it, and a line that
// begins with a bracket or a semicolon is a section header or a comment. Judged on the form the
// file gets, so that full-width signs, which reach it as the plain ones, are refused as well.
void RefuseUnreadableKey(const std::wstring& key) {
  RefuseUnwritable(key);
  std::wstring name = ProfileName(key);
  if (name.find(L'=') != std::wstring::npos || (!name.empty() && (name[0] == L'[' || name[0] == L';')))
    throw Fault{E_INVALIDARG};
}

// A user's section is named by the user name, and its slot holds it: a bracket would end or begin
// a section header, an equals sign or a semicolon would make the slot or the header read as
// something else, and the database's own sections would take the user's password and settings
// among the user list ("count" or "1" rewriting it) or the version. Judged on the form the file
// gets, letter case and surrounding blanks aside, as the profile functions compare names.
bool ForgesSection(const std::wstring& user) {
  return ProfileName(user).find_first_of(L"[]=;") != std::wstring::npos || SameProfileName(user, L"Users") ||
         SameProfileName(user, L"General");
}

const wchar_t* DescriptionOf(HRESULT code) {
  switch (code) {
    case DISP_E_TYPEMISMATCH: return L"Type mismatch";
    case DISP_E_OVERFLOW: return L"Overflow";
    case E_INVALIDARG: return L"Invalid procedure call or argument";
    case E_OUTOFMEMORY: return L"Out of memory";
    default: return L"Unexpected error";
  }
}

// The error of a failed call, also as error information: automation callers receive it in
// EXCEPINFO from IDispatch::Invoke.
HRESULT Failed(HRESULT code) {
  winapp::ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.put()))) {
    create->SetGUID(IID_AccessKeepDefault);
    create->SetSource(const_cast<LPOLESTR>(ProgIdW));
    create->SetDescription(const_cast<LPOLESTR>(DescriptionOf(code)));
    winapp::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.put_void()))) SetErrorInfo(0, info.get());
  }
  return code;
}

// Every method of the interface runs its body here: whatever goes wrong inside becomes the
// method's error, never an exception in the host.
template <class Body>
HRESULT Guarded(Body&& body) {
  try {
    return body();
  } catch (const Fault& fault) {
    return Failed(fault.code);
  } catch (const std::bad_alloc&) {
    return Failed(E_OUTOFMEMORY);
  } catch (...) {
    return Failed(E_UNEXPECTED);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The operations

long AccessKeep::DoCreateUser(const std::wstring& Username, const std::wstring& Password,
                              const std::wstring& INIFile, bool Notify) {
  if (Username.empty()) return Warned(Notify, NoUsername, 1);
  if (Password.empty()) return Warned(Notify, L"You must specify a password", 2);
  if (INIFile.empty()) return Warned(Notify, NoIniFile, 3);
  if (Username == L" ") return Warned(Notify, L"Username cannot be a space character", 4);
  std::wstring stored = EncodePassword(Password);
  if (stored == L"1") return Warned(Notify, BadLength, 5);
  if (stored == L"2") return Warned(Notify, IllegalCharacters, 7);
  RefuseUnwritable(Username);
  if (ForgesSection(Username))
    return Warned(Notify, L"Username cannot contain [ ] = or ; and cannot be Users or General", 4);
  short count = PrepareUserCount(INIFile);
  // Not only the same name: one that the profile functions take for the same section (another
  // letter case, blanks around it) would take over that user's password and settings.
  if (FindSectionOwner(INIFile, Username, count))
    return Warned(Notify, L"A user already exists with the username specified", 6);
  if (count == 32767) Overflow();
  std::wstring slot = std::to_wstring(count + 1);
  WriteKeys(INIFile, {{L"Users", L"count", slot}, {L"Users", slot, Username}, {Username, L"Pswd", stored}});
  Inform(Notify, Username + L" has been created!");
  return 0;
}

long AccessKeep::DoValidateUser(const std::wstring& Username, const std::wstring& Password,
                                const std::wstring& INIFile, bool Notify) {
  // Whatever the outcome short of success, nobody is logged in afterwards.
  LoggedInName.clear();
  LoggedInPassword.clear();
  if (!CheckVersion(INIFile)) return Warned(Notify, Incompatible, 3);
  short count = PrepareUserCount(INIFile);
  if (!FindUser(INIFile, Username, count)) return Warned(Notify, WrongLogin, 1);
  std::wstring password = DecodePassword(ReadUserKey(INIFile, Username, L"Pswd"));
  // A blank password is one KillUser left behind (no password can be set empty): it lets no one
  // in, not even with an empty password.
  if (password.empty() || password != Password) return Warned(Notify, WrongLogin, 2);
  LoggedInName = Username;
  LoggedInPassword = password;
  Inform(Notify, L"Login Successful!");
  return 0;
}

long AccessKeep::DoChangePassword(const std::wstring& Username, const std::wstring& Password,
                                  const std::wstring& INIFile, bool Notify) {
  if (!CheckVersion(INIFile)) return Warned(Notify, Incompatible, 6);
  const bool someoneLoggedIn = !LoggedInName.empty();
  if (Username.empty()) return Warned(Notify, NoUsername, 1);
  if (Password.empty()) return Warned(Notify, L"You must specify a new password", 2);
  if (INIFile.empty()) return Warned(Notify, NoIniFile, 3);
  std::wstring stored = EncodePassword(Password);
  if (stored == L"1") return Warned(Notify, BadLength, 4);
  if (stored == L"2") return Warned(Notify, IllegalCharacters, 7);
  short count = PrepareUserCount(INIFile);
  // Such a name cannot have been created here; one found in a file made elsewhere would write its
  // password into another section.
  if (ForgesSection(Username) || !FindUser(INIFile, Username, count))
    return Warned(Notify, L"The username does not exist", 5);
  WriteSectionKey(INIFile, Username, L"Pswd", stored);
  // Only the logged-in user's own new password replaces the one remembered for the login.
  if (someoneLoggedIn && Username == LoggedInName) LoggedInPassword = Password;
  Inform(Notify, Username + L"'s password has been changed.");
  return 0;
}

long AccessKeep::DoKillUser(const std::wstring& Username, const std::wstring& INIFile) {
  if (Username.empty()) return 1;
  if (INIFile.empty()) return 2;
  const short count = ReadUserCount(INIFile);
  int found = 0;
  for (int slot = 1; slot <= count && !found; ++slot)
    if (ReadUsersKey(INIFile, std::to_wstring(slot)) == Username) found = slot;
  if (!found) return 3;
  // One change of the file: the names after it move up a slot, the last slot is blanked, the
  // count goes down.
  std::vector<KeyWrite> writes;
  for (int slot = found + 1; slot <= count; ++slot)
    writes.push_back({L"Users", std::to_wstring(slot - 1), ReadUsersKey(INIFile, std::to_wstring(slot))});
  writes.push_back({L"Users", std::to_wstring(count), L" "});
  writes.push_back({L"Users", L"count", std::to_wstring(count - 1)});
  // The name leaves the list; a name that addresses another section leaves that section alone.
  if (!ForgesSection(Username)) writes.push_back({Username, L"Pswd", L" "});
  WriteKeys(INIFile, writes);
  return 0;
}

long AccessKeep::DoStoreSetting(const std::wstring& Username, const std::wstring& Setting,
                                const std::wstring& Value, const std::wstring& INIFile) {
  // The profile functions ignore letter case and surrounding blanks in key names: "PSWD" or
  // " Pswd" would reach the stored password as surely as "Pswd".
  if (SameProfileName(Setting, L"Pswd")) return 2;
  RefuseUnreadableKey(Setting);
  RefuseUnwritable(Value);
  short count = PrepareUserCount(INIFile);
  if (ForgesSection(Username) || !FindUser(INIFile, Username, count)) return 1;
  // A database that cannot be written (a read-only folder) has not stored a new value: saying 0
  // would let the panel take protection as switched when it was not. A value it holds already
  // needed no writing.
  if (!WriteSectionKey(INIFile, Username, Setting, Value) && ReadUserKey(INIFile, Username, Setting) != Value)
    return 3;
  return 0;
}

std::wstring AccessKeep::DoRetrieveSetting(const std::wstring& Username, const std::wstring& Setting,
                                           const std::wstring& INIFile) {
  std::wstring value = ReadUserKey(INIFile, Username, Setting);
  auto first = value.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return value.substr(first, value.find_last_not_of(L' ') - first + 1);
}

SAFEARRAY* AccessKeep::DoUserArray(const std::wstring& INIFile) {
  const short count = ReadUserCount(INIFile);
  // The names joined by the pilcrow (182 in the ANSI code page), then split at every pilcrow: a
  // name holding one comes back as two.
  const std::wstring pilcrow = winapp::WideOfStored("\xB6");
  std::wstring text;
  for (int slot = 1; slot <= count; ++slot) {
    if (!text.empty()) text += pilcrow;
    text += ReadUsersKey(INIFile, std::to_wstring(slot));
  }
  std::vector<std::wstring> names;
  if (!text.empty()) {
    for (size_t start = 0;;) {
      size_t at = pilcrow.empty() ? std::wstring::npos : text.find(pilcrow, start);
      names.push_back(text.substr(start, at == std::wstring::npos ? at : at - start));
      if (at == std::wstring::npos) break;
      start = at + pilcrow.size();
    }
  }
  winapp::SafeArray array(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(names.size())));
  if (!array) throw std::bad_alloc();
  for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
    winapp::Bstr name(SysAllocStringLen(names[i].data(), static_cast<UINT>(names[i].size())));
    HRESULT hr = name ? SafeArrayPutElement(array.get(), &i, name.get()) : E_OUTOFMEMORY;
    if (FAILED(hr)) throw std::bad_alloc();
  }
  return array.release();
}

// ---------------------------------------------------------------------------------------------
// The interface

AccessKeep::AccessKeep() { LockModule(); }
AccessKeep::~AccessKeep() { UnlockModule(); }

HRESULT AccessKeep::Create(REFIID riid, void** ppv) {
  auto* object = new (std::nothrow) AccessKeep;
  if (!object) return E_OUTOFMEMORY;
  winapp::ComPtr<ITypeInfo> info;
  HRESULT hr = LoadTypeInfo(IID_AccessKeepDefault, info.put());
  // The dual interface is called through its vtable part.
  if (SUCCEEDED(hr)) {
    HREFTYPE vtable;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable)))
      hr = info->GetRefTypeInfo(vtable, object->typeInfo_.put());
    else
      *object->typeInfo_.put() = info.detach();
  }
  if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

HRESULT AccessKeep::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  // Every interface the object answers, each by its own part of the object.
  const std::pair<const IID*, void*> parts[] = {
      {&IID_IUnknown, static_cast<_AccessKeep*>(this)},
      {&IID_IDispatch, static_cast<_AccessKeep*>(this)},
      {&IID_AccessKeepDefault, static_cast<_AccessKeep*>(this)},
      {&IID_IProvideClassInfo, static_cast<IProvideClassInfo2*>(this)},
      {&IID_IProvideClassInfo2, static_cast<IProvideClassInfo2*>(this)},
      {&IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(this)},
      {&IID_IOleObject, static_cast<IOleObject*>(this)},
      {&IID_IOleWindow, static_cast<IOleInPlaceObject*>(this)},
      {&IID_IOleInPlaceObject, static_cast<IOleInPlaceObject*>(this)},
      {&IID_IOleInPlaceActiveObject, static_cast<IOleInPlaceActiveObject*>(this)},
      {&IID_IOleControl, static_cast<IOleControl*>(this)},
      {&IID_IViewObject, static_cast<IViewObject2*>(this)},
      {&IID_IViewObject2, static_cast<IViewObject2*>(this)},
      {&IID_IPersist, static_cast<IPersistStreamInit*>(this)},
      {&IID_IPersistStreamInit, static_cast<IPersistStreamInit*>(this)},
      {&IID_IPersistPropertyBag, static_cast<IPersistPropertyBag*>(this)},
      {&IID_IPersistStorage, static_cast<IPersistStorage*>(this)},
      {&IID_IConnectionPointContainer, static_cast<IConnectionPointContainer*>(this)},
      {&IID_IQuickActivate, static_cast<IQuickActivate*>(this)},
  };
  for (const auto& [iid, part] : parts) {
    if (!IsEqualIID(riid, *iid)) continue;
    *ppv = part;
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG AccessKeep::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG AccessKeep::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) {
    // Held up while it lets go of its container, which may call back in on the way.
    refs_ = 1;
    Disconnect();
    delete this;
  }
  return static_cast<ULONG>(left);
}

HRESULT AccessKeep::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT AccessKeep::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return LoadTypeInfo(IID_AccessKeepDefault, info);
}

HRESULT AccessKeep::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
}

HRESULT AccessKeep::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  SetErrorInfo(0, nullptr);
  return typeInfo_->Invoke(static_cast<_AccessKeep*>(this), id, flags, params, result, exception, argError);
}

HRESULT AccessKeep::StoreSetting(BSTR Username, BSTR Setting, BSTR Value, BSTR INIFile, LONG* Status) {
  if (!Status) return E_POINTER;
  return Guarded([&] {
    *Status = DoStoreSetting(Text(Username), Text(Setting), Text(Value), Text(INIFile));
    return S_OK;
  });
}

HRESULT AccessKeep::RetrieveSetting(BSTR Username, BSTR Setting, BSTR INIFile, BSTR* Value) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  return Guarded([&] { return PutText(DoRetrieveSetting(Text(Username), Text(Setting), Text(INIFile)), Value); });
}

HRESULT AccessKeep::CreateUser(BSTR Username, BSTR Password, BSTR INIFile, VARIANT_BOOL Notify, LONG* Status) {
  if (!Status) return E_POINTER;
  return Guarded([&] {
    *Status = DoCreateUser(Text(Username), Text(Password), Text(INIFile), Notify == VARIANT_TRUE);
    return S_OK;
  });
}

HRESULT AccessKeep::ValidateUser(BSTR Username, BSTR Password, BSTR INIFile, VARIANT_BOOL Notify, LONG* Status) {
  if (!Status) return E_POINTER;
  return Guarded([&] {
    *Status = DoValidateUser(Text(Username), Text(Password), Text(INIFile), Notify == VARIANT_TRUE);
    return S_OK;
  });
}

HRESULT AccessKeep::About() {
  return Guarded([] {
    ShowAboutBox();
    return S_OK;
  });
}

HRESULT AccessKeep::CurrentUserName(BSTR* Name) {
  if (!Name) return E_POINTER;
  *Name = nullptr;
  return Guarded([&] { return PutText(LoggedInName.empty() ? NotLoggedIn : LoggedInName, Name); });
}

HRESULT AccessKeep::GetStatus(BSTR* Status) {
  if (!Status) return E_POINTER;
  *Status = nullptr;
  return Guarded([&] {
    if (LoggedInName.empty()) return PutText(NotLoggedIn, Status);
    return PutText(L"\"" + LoggedInName + L"\" is logged in with \"" + LoggedInPassword + L"\" as password.", Status);
  });
}

HRESULT AccessKeep::CurrentPassword(BSTR* Password) {
  if (!Password) return E_POINTER;
  *Password = nullptr;
  return Guarded([&] { return PutText(LoggedInPassword.empty() ? NotLoggedIn : LoggedInPassword, Password); });
}

HRESULT AccessKeep::Logout(VARIANT* Result) {
  if (!Result) return E_POINTER;
  VariantInit(Result);
  LoggedInPassword.clear();
  LoggedInName.clear();
  return S_OK;
}

HRESULT AccessKeep::ChangePassword(BSTR Username, BSTR* Password, BSTR* INIFile, VARIANT_BOOL* Notify,
                                   LONG* Status) {
  if (!Status || !Password || !INIFile || !Notify) return E_POINTER;
  return Guarded([&] {
    *Status = DoChangePassword(Text(Username), Text(*Password), Text(*INIFile), *Notify == VARIANT_TRUE);
    return S_OK;
  });
}

HRESULT AccessKeep::KillUser(BSTR Username, BSTR INIFile, LONG* Status) {
  if (!Status) return E_POINTER;
  return Guarded([&] {
    *Status = DoKillUser(Text(Username), Text(INIFile));
    return S_OK;
  });
}

HRESULT AccessKeep::UserArray(BSTR INIFile, VARIANT* Users) {
  if (!Users) return E_POINTER;
  VariantInit(Users);
  return Guarded([&] {
    SAFEARRAY* names = DoUserArray(Text(INIFile));
    V_VT(Users) = VT_ARRAY | VT_BSTR;
    V_ARRAY(Users) = names;
    return S_OK;
  });
}

HRESULT AccessKeep::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  return LoadTypeInfo(ClsId, info);
}

HRESULT AccessKeep::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = IID_AccessKeepEvents;
  return S_OK;
}

HRESULT AccessKeep::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID_AccessKeepDefault) ? S_OK : S_FALSE;
}

}  // namespace accesskeep
