#include "settings.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "files.h"
#include "raii.h"
#include "text.h"
#include "system.h"

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

bool SettingsFileExists(const std::string& path) {
  SettingsFilesLock lock;
  return FileExists(path);
}

std::string ReadIniValue(const std::string& file, const char* section, const char* key) {
  SettingsFilesLock lock;
  char buffer[50] = {};
  DWORD got = GetPrivateProfileStringA(section, key, file.c_str(), buffer, sizeof buffer, file.c_str());
  return core::CutProfileValue(std::string_view(buffer, got), sizeof buffer);
}

bool WriteIniFlag(const std::string& file, const char* section, const char* key, short value) {
  return WritePrivateProfileStringA(section, key, value == 1 ? "1" : "0", file.c_str()) != FALSE;
}

bool WriteIniFlags(const std::string& file, const IniFlag* flags, size_t count) {
  // One save, one lock: from the read of the old file to the move of the new one. No other save
  // can come in between and be lost, and a lock that cannot be had is waited for once.
  SettingsFilesLock lock;
  return EditThroughCopy(file, [&](const std::string& copy) {
    bool ok = true;
    for (size_t i = 0; i < count; ++i)
      ok = WritePrivateProfileStringA(flags[i].section, flags[i].key, flags[i].value == 1 ? "1" : "0",
                                      copy.c_str()) && ok;
    // Written out, and no copy kept in this process's profile cache.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str());
    for (size_t i = 0; ok && i < count; ++i)
      ok = ReadIniValue(copy, flags[i].section, flags[i].key) == (flags[i].value == 1 ? "1" : "0");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str());
    return ok;
  });
}

std::string FirstRunSettingsText() {
  static const char* const lines[] = {
      "; Quietrail INI File", "", "[Settings]", "History=0", "TmpInt=0", "Cookies=0", "Recent=0",
      "URL=0", "Startup=1", "ClearDialog=1", "", "[Launch]", "Splash=1", "Tray=1"};
  std::string text;
  for (const char* line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void WriteFirstRunFiles(const std::string& folder) {
  SettingsFilesLock lock;
  std::string settings = folder + "\\" + SettingsFileName;
  DeleteFileA(settings.c_str());
  ReplaceWholeFile(settings, FirstRunSettingsText());
  CreateEmptyFile(folder + "\\" + ExcludeFileName);
}

bool CreateEmptyFile(const std::string& path) {
  File f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(f);
}

bool CreateFileIfMissing(const std::string& path) {
  File f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                     nullptr));
  return f || GetLastError() == ERROR_FILE_EXISTS || FileExists(path);
}

std::string ExclusionTextOf(std::string content) {
  // A list saved as Unicode (UTF-16 with its byte-order mark) or as UTF-8 with one, as a text
  // editor may save it, holds the same entries: read them in the ANSI code page. Taken byte for
  // byte, it would give entries that name no cookie, and every cookie it keeps would go.
  std::wstring wide;
  if (content.size() >= 2 && content[0] == '\xFF' && content[1] == '\xFE') {
    wide.resize((content.size() - 2) / 2);
    for (size_t i = 0; i < wide.size(); ++i)
      wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(content[2 + 2 * i]) |
                                     static_cast<unsigned char>(content[3 + 2 * i]) << 8);
    content = Ansi(wide);
  } else if (content.size() >= 3 && content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    int n = MultiByteToWideChar(CP_UTF8, 0, content.data() + 3, static_cast<int>(content.size() - 3), nullptr, 0);
    wide.resize(static_cast<size_t>(std::max(n, 0)));
    if (n > 0)
      MultiByteToWideChar(CP_UTF8, 0, content.data() + 3, static_cast<int>(content.size() - 3), wide.data(), n);
    content = Ansi(wide);
  } else {
    // Without a mark the list is in the stored code page, as the programs always wrote it.
    content = FromStored(content);
  }
  // NUL bytes are damage, not the end of the list: a run of them inside a line parts two entries
  // as a line end does, and one at the start or end of a line goes, so that the entries after it
  // keep their cookies and no empty entries are made of it.
  if (content.find('\0') == std::string::npos) return content;
  std::string text;
  text.reserve(content.size());
  for (size_t i = 0, n = content.size(); i < n;) {
    if (content[i] != '\0') {
      text += content[i++];
      continue;
    }
    size_t after = content.find_first_not_of('\0', i);
    if (after == std::string::npos) after = n;
    bool lineStart = text.empty() || text.back() == '\n' || text.back() == '\r';
    bool lineEnd = after == n || content[after] == '\r' || content[after] == '\n';
    if (!lineStart && !lineEnd) text += '\n';
    i = after;
  }
  return text;
}

std::optional<std::string> ReadExclusionText(const std::string& path) {
  SettingsFilesLock lock;
  FileContent file = ReadWholeFile(path, MaxExclusionFileSize);
  if (!file.read()) return std::nullopt;
  return JoinExclusionFields(ExclusionTextOf(std::move(file.bytes)));
}

bool WriteExclusionText(const std::string& path, std::string_view text) {
  return ReplaceWholeFile(path, ToStored(ExclusionFileContent(text)));
}

}  // namespace winapp
