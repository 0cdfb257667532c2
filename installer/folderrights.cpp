// folderrights.exe private|check FOLDER: the installation folder's security, for the setup
// program. The Run entry starts launch.exe from the folder at every sign-in and the programs load
// their control from it, so no other account may change what it holds.
//
//   private  for a folder Setup made or an empty one it was given: refused when another account
//            owns it; otherwise the user becomes its owner and its access list is replaced by
//            one of its own, cut from what it would inherit: full access for the user, SYSTEM and
//            the Administrators, for the folder and all it will hold.
//   check    for an earlier installation (an upgrade): refused when another account owns it or
//            may change anything in it.
//
// Exit code: 0 done (private made, or check passed), 3 owned by another account, 4 another
// account may write to it, 5 its security could not be read or set, 2 a bad command line.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "folderrights.h"

namespace folderrights {

namespace {

struct Sid {
  std::vector<BYTE> bytes;
  PSID get() { return bytes.empty() ? nullptr : bytes.data(); }
};

Sid UserSid() {
  Sid sid;
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> info(size ? size : 1);
  if (size && GetTokenInformation(token, TokenUser, info.data(), size, &size)) {
    PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    sid.bytes.assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + GetLengthSid(user));
  }
  CloseHandle(token);
  return sid;
}

Sid WellKnown(WELL_KNOWN_SID_TYPE type) {
  Sid sid;
  DWORD size = SECURITY_MAX_SID_SIZE;
  sid.bytes.resize(size);
  if (!CreateWellKnownSid(type, nullptr, sid.bytes.data(), &size)) sid.bytes.clear();
  return sid;
}

// Rights that change the folder or what it holds.
constexpr DWORD WriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                              FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct Descriptor {
  PSECURITY_DESCRIPTOR sd = nullptr;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  ~Descriptor() {
    if (sd) LocalFree(sd);
  }
};

bool Read(const std::wstring& folder, Descriptor& d) {
  return GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                               &d.owner, nullptr, &d.dacl, nullptr, &d.sd) == ERROR_SUCCESS;
}

}  // namespace

bool OthersMayWrite(PACL dacl, PSID user) {
  if (!dacl) return true;  // no list at all: everyone may do anything
  Sid system = WellKnown(WinLocalSystemSid), admins = WellKnown(WinBuiltinAdministratorsSid);
  Sid creator = WellKnown(WinCreatorOwnerSid);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return true;
    auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      // Denials take nothing away from the user; any other kind of grant cannot be judged here.
      if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
      return true;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (!(allowed->Mask & WriteRights)) continue;
    PSID who = &allowed->SidStart;
    // Creator Owner stands for the owner of what is made inside, who can only be someone already
    // allowed to make it.
    if (EqualSid(who, user) || (system.get() && EqualSid(who, system.get())) ||
        (admins.get() && EqualSid(who, admins.get())) || (creator.get() && EqualSid(who, creator.get())))
      continue;
    return true;
  }
  return false;
}

Verdict Check(const std::wstring& folder) {
  Descriptor d;
  Sid user = UserSid();
  if (!user.get() || !Read(folder, d) || !d.owner) return Verdict::Failed;
  if (!EqualSid(d.owner, user.get())) return Verdict::Foreign;
  return OthersMayWrite(d.dacl, user.get()) ? Verdict::Writable : Verdict::Fine;
}

DWORD SetPrivate(const std::wstring& name, SE_OBJECT_TYPE type, PSID user) {
  Sid system = WellKnown(WinLocalSystemSid), admins = WellKnown(WinBuiltinAdministratorsSid);
  if (!user || !system.get() || !admins.get()) return ERROR_INVALID_SID;
  EXPLICIT_ACCESS_W access[3] = {};
  PSID who[3] = {user, system.get(), admins.get()};
  for (int i = 0; i < 3; ++i) {
    access[i].grfAccessPermissions = FILE_ALL_ACCESS;
    access[i].grfAccessMode = SET_ACCESS;
    access[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access[i].Trustee.TrusteeType = i == 2 ? TRUSTEE_IS_GROUP : TRUSTEE_IS_USER;
    access[i].Trustee.ptstrName = static_cast<LPWSTR>(who[i]);
  }
  PACL dacl = nullptr;
  if (DWORD rc = SetEntriesInAclW(3, access, nullptr, &dacl); rc != ERROR_SUCCESS) return rc;
  std::wstring path = name;
  DWORD rc = SetNamedSecurityInfoW(path.data(), type,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   user, nullptr, dacl, nullptr);
  LocalFree(dacl);
  return rc;
}

Verdict MakePrivate(const std::wstring& folder) {
  Descriptor d;
  Sid user = UserSid();
  if (!user.get() || !Read(folder, d) || !d.owner) return Verdict::Failed;
  // A folder Setup made itself belongs to the user (elevated, to the Administrators, whose
  // member the user then is); one of another account is not taken over.
  Sid admins = WellKnown(WinBuiltinAdministratorsSid);
  BOOL elevated = FALSE;
  if (admins.get() && !CheckTokenMembership(nullptr, admins.get(), &elevated)) elevated = FALSE;
  if (!EqualSid(d.owner, user.get()) && !(elevated && EqualSid(d.owner, admins.get()))) return Verdict::Foreign;
  if (SetPrivate(folder, SE_FILE_OBJECT, user.get()) != ERROR_SUCCESS) return Verdict::Failed;
  // What was asked for is what the folder now has.
  return Check(folder) == Verdict::Fine ? Verdict::Fine : Verdict::Failed;
}

}  // namespace folderrights

#ifndef FOLDERRIGHTS_NO_MAIN
int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  std::wstring action = argv[1], folder = argv[2];
  folderrights::Verdict v;
  if (action == L"private") v = folderrights::MakePrivate(folder);
  else if (action == L"check") v = folderrights::Check(folder);
  else return 2;
  switch (v) {
    case folderrights::Verdict::Fine: return 0;
    case folderrights::Verdict::Foreign: return 3;
    case folderrights::Verdict::Writable: return 4;
    default: return 5;
  }
}
#endif
