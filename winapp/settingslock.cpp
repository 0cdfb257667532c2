// The settings lock on its own object: a program or library that edits a file through the file
// kit takes the lock without the settings and exclusion-list code beside it.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "raii.h"
#include "settings.h"

namespace winapp {

namespace {

// The outermost lock of each thread; the locks taken inside it join it.
const DWORD OuterLockSlot = TlsAlloc();

// The TOKEN_USER of this process's token; empty when it cannot be read.
std::vector<BYTE> TokenUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  Handle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (size == 0 || !GetTokenInformation(token, ::TokenUser, user.data(), size, &size)) return {};
  return user;
}

PSID SidOf(std::vector<BYTE>& user) { return reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid; }

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return {};
  std::string out = text;
  LocalFree(text);
  return out;
}

// True when the user is the owner of the object: what the user's own programs create carries the
// user as owner, and no other account can give an object that owner.
bool OwnedBy(HANDLE object, PSID user) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &sd) !=
      ERROR_SUCCESS)
    return false;
  bool same = owner && EqualSid(owner, user);
  LocalFree(sd);
  return same;
}

std::string LockNameFor(const std::string& sid) { return "Local\\QuietrailSettingsFiles-" + sid; }

// The user's lock, created for the user alone; null when it cannot be had safely. The caller
// owns what it returns.
HANDLE OpenUserLock() {
  std::vector<BYTE> user = TokenUser();
  if (user.empty()) return nullptr;
  std::string sid = SidText(SidOf(user));
  if (sid.empty()) return nullptr;
  std::string name = LockNameFor(sid);
  // Owner and the only entry: the user. No one else may wait for it, hold it or replace it.
  std::string sddl = "O:" + sid + "D:P(A;;GA;;;" + sid + ")";
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
    return nullptr;
  LocalBlock descriptor(sd);
  SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
  Handle mutex(CreateMutexA(&sa, FALSE, name.c_str()));
  // One that was there already counts only when it is the user's own.
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS && !OwnedBy(mutex.get(), SidOf(user))) return nullptr;
  return mutex.release();
}

}  // namespace

std::string SettingsFilesLockName() {
  std::vector<BYTE> user = TokenUser();
  std::string sid = user.empty() ? std::string() : SidText(SidOf(user));
  return sid.empty() ? sid : LockNameFor(sid);
}

SettingsFilesLock::SettingsFilesLock() {
  if (OuterLockSlot != TLS_OUT_OF_INDEXES) {
    outer_ = static_cast<const SettingsFilesLock*>(TlsGetValue(OuterLockSlot));
    if (outer_) return;
    TlsSetValue(OuterLockSlot, this);
  }
  mutex_.reset(OpenUserLock());
  if (!mutex_) return;
  DWORD waited = WaitForSingleObject(mutex_.get(), 5000);
  owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

SettingsFilesLock::~SettingsFilesLock() {
  if (outer_) return;
  if (owned_) ReleaseMutex(mutex_.get());
  mutex_.reset();
  if (OuterLockSlot != TLS_OUT_OF_INDEXES) TlsSetValue(OuterLockSlot, nullptr);
}

bool SettingsFilesLock::Held() const { return outer_ ? outer_->Held() : owned_; }

}  // namespace winapp
