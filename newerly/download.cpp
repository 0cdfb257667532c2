#include "download.h"

#include <urlmon.h>
#include <wininet.h>

#include <cstring>

#include "raii.h"

namespace newerly {

namespace {

// Watches one download: the HTTP status and the announced length. The platform's download asks
// for IHttpNegotiate through the callback it is given.
//
// It also keeps the download bounded: the watchdog thread (WatchDownload) asks it whether the
// server has been silent too long or the file has passed its limit, and then stops the binding.
class DownloadWatch final : public IBindStatusCallback, public IHttpNegotiate, public IServiceProvider {
 public:
  explicit DownloadWatch(long long largest) : largest_(largest), lastActivity_(GetTickCount()) {
    InitializeCriticalSection(&lock_);
  }

  DWORD status = 0;
  long long contentLength = -1;
  ULONG progressMax = 0;
  volatile LONG givenUp = 0;

  // Whether the download should be given up (read on the watchdog thread).
  bool Overdue(DWORD stallMs) const {
    return tooLarge_ || GetTickCount() - static_cast<DWORD>(lastActivity_) > stallMs;
  }
  // Stops the binding (on the watchdog thread); false while there is none yet to stop.
  bool GiveUp() {
    EnterCriticalSection(&lock_);
    IBinding* binding = binding_;
    if (binding) binding->AddRef();
    LeaveCriticalSection(&lock_);
    if (!binding) return false;
    InterlockedExchange(&givenUp, 1);
    binding->Abort();
    binding->Release();
    return true;
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IBindStatusCallback)
      *out = static_cast<IBindStatusCallback*>(this);
    else if (riid == IID_IHttpNegotiate)
      *out = static_cast<IHttpNegotiate*>(this);
    else if (riid == IID_IServiceProvider)
      *out = static_cast<IServiceProvider*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IBindStatusCallback
  STDMETHODIMP OnStartBinding(DWORD, IBinding* binding) override {
    Touch();
    EnterCriticalSection(&lock_);
    if (!binding_ && binding) {
      binding_ = binding;
      binding_->AddRef();
    }
    LeaveCriticalSection(&lock_);
    return S_OK;
  }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG progress, ULONG max, ULONG, LPCWSTR) override {
    Touch();
    if (max) progressMax = max;
    if (progress > largest_ || max > largest_) tooLarge_ = true;
    return S_OK;
  }
  STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override {
    EnterCriticalSection(&lock_);
    IBinding* binding = binding_;
    binding_ = nullptr;
    LeaveCriticalSection(&lock_);
    if (binding) binding->Release();
    return S_OK;
  }
  STDMETHODIMP GetBindInfo(DWORD* flags, BINDINFO*) override {
    if (flags) *flags = BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE;
    return S_OK;
  }
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    Touch();
    return S_OK;
  }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // IHttpNegotiate
  STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additional) override {
    // Past any cache on the way: the list and the programs must be the server's current ones.
    static const wchar_t headers[] = L"Pragma: no-cache\r\nCache-Control: no-cache\r\n";
    if (additional) {
      *additional = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof headers));
      if (*additional) std::memcpy(*additional, headers, sizeof headers);
    }
    return S_OK;
  }
  STDMETHODIMP OnResponse(DWORD code, LPCWSTR responseHeaders, LPCWSTR, LPWSTR* additional) override {
    Touch();
    status = code;
    if (responseHeaders) contentLength = ContentLength(responseHeaders);
    if (contentLength > largest_) tooLarge_ = true;
    if (additional) *additional = nullptr;
    return S_OK;
  }

  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID, REFIID riid, void** out) override { return QueryInterface(riid, out); }

 private:
  ~DownloadWatch() {
    if (binding_) binding_->Release();
    DeleteCriticalSection(&lock_);
  }
  void Touch() { InterlockedExchange(&lastActivity_, static_cast<LONG>(GetTickCount())); }

  LONG refs_ = 1;
  const long long largest_;
  volatile LONG lastActivity_;
  volatile bool tooLarge_ = false;
  CRITICAL_SECTION lock_;
  IBinding* binding_ = nullptr;

  // The Content-Length header's value, -1 when absent or unreadable.
  static long long ContentLength(const wchar_t* headers) {
    static const wchar_t name[] = L"content-length:";
    const size_t nameLength = wcslen(name);
    for (const wchar_t* line = headers; *line;) {
      const wchar_t* end = wcschr(line, L'\n');
      size_t length = end ? static_cast<size_t>(end - line) : wcslen(line);
      if (length > nameLength && _wcsnicmp(line, name, nameLength) == 0) {
        long long value = 0;
        bool digits = false;
        for (size_t i = nameLength; i < length; ++i) {
          wchar_t c = line[i];
          if (c == L' ' || c == L'\t') {
            if (digits) break;
            continue;
          }
          if (c < L'0' || c > L'9') break;
          digits = true;
          if (value > (1LL << 50)) return -1;
          value = value * 10 + (c - L'0');
        }
        return digits ? value : -1;
      }
      if (!end) break;
      line = end + 1;
    }
    return -1;
  }
};

// The watchdog of one download: until `done` is set, it stops the download once the server has
// been silent for StallMs or the file has passed its limit. The platform's download blocks the
// thread that asked for it, so the watch must come from another.
struct Watchdog {
  DownloadWatch* watch;
  HANDLE done;
  DWORD stallMs;
};

DWORD WINAPI WatchDownload(void* parameter) {
  Watchdog* w = static_cast<Watchdog*>(parameter);
  bool stopped = false;
  while (WaitForSingleObject(w->done, 100) == WAIT_TIMEOUT)
    if (!stopped && w->watch->Overdue(w->stallMs)) stopped = w->watch->GiveUp();
  return 0;
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Shortens a file to its first `size` bytes.
bool CutTo(const char* path, long long size) {
  winapp::File file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER at;
  at.QuadPart = size;
  return SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

unsigned Read16(std::string_view b, size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
unsigned long Read32(std::string_view b, size_t at) {
  return Read16(b, at) | static_cast<unsigned long>(Read16(b, at + 2)) << 16;
}

}  // namespace

bool FetchFile(const std::string& url, const std::string& path,
               const std::function<bool(const std::string&)>& acceptable, DownloadReport* report,
               long long largestBytes) {
  DownloadReport local;
  DownloadReport& r = report ? *report : local;
  r = DownloadReport{};

  char temp[MAX_PATH];
  if (!GetTempFileNameA(FolderOf(path).c_str(), "upd", 0, temp)) return false;
  // A copy kept by the browser's cache would be handed back instead of the server's file.
  DeleteUrlCacheEntryA(url.c_str());
  DownloadWatch* watch = new DownloadWatch(largestBytes);
  winapp::Handle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Watchdog watchdog{watch, done.get(), StallMs};
  winapp::Handle watcher(done ? CreateThread(nullptr, 0, WatchDownload, &watchdog, 0, nullptr) : nullptr);
  if (watcher) r.result = URLDownloadToFileA(nullptr, url.c_str(), temp, 0, watch);
  if (done) SetEvent(done.get());
  if (watcher) WaitForSingleObject(watcher.get(), INFINITE);
  r.givenUp = watch->givenUp != 0;
  r.status = watch->status;
  const long long announced = watch->contentLength;
  r.expectedBytes = watch->contentLength >= 0 ? watch->contentLength
                    : watch->progressMax ? static_cast<long long>(watch->progressMax) : -1;
  watch->Release();
  DeleteUrlCacheEntryA(url.c_str());
  r.receivedBytes = FileSize(temp);
  // The answer is as long as its Content-Length says; what a server sends after it is not part
  // of the file. Windows stops reading there, Wine at times hands the rest on too: cut it off,
  // so that both see the same file.
  if (r.result == S_OK && announced >= 0 && r.receivedBytes > announced && CutTo(temp, announced))
    r.receivedBytes = announced;

  bool whole = r.result == S_OK && !r.givenUp && r.status == 200 && r.receivedBytes >= 0 &&
               r.receivedBytes <= largestBytes &&
               (r.expectedBytes < 0 || r.receivedBytes == r.expectedBytes);
  r.accepted = whole && (!acceptable || acceptable(temp));
  r.replaced = r.accepted && MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!r.replaced) DeleteFileA(temp);
  return r.replaced;
}

WORD BuildMachine() {
#ifdef _WIN64
  return IMAGE_FILE_MACHINE_AMD64;
#else
  return IMAGE_FILE_MACHINE_I386;
#endif
}

bool IsWindowsProgram(std::string_view b, WORD machine) {
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return false;
  size_t pe = Read32(b, 0x3C);
  if (pe < 0x40 || pe > b.size() || b.size() - pe < 24) return false;
  if (b.substr(pe, 4) != std::string_view("PE\0\0", 4)) return false;
  size_t file = pe + 4;
  if (Read16(b, file) != machine) return false;
  unsigned sections = Read16(b, file + 2);
  unsigned optionalSize = Read16(b, file + 16);
  unsigned characteristics = Read16(b, file + 18);
  if (!(characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) || (characteristics & IMAGE_FILE_DLL)) return false;
  size_t optional = file + 20;
  if (optionalSize < 2 || b.size() < optional + optionalSize) return false;
  unsigned magic = Read16(b, optional);
  unsigned wanted = machine == IMAGE_FILE_MACHINE_AMD64 ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC;
  if (magic != wanted || sections == 0) return false;
  size_t table = optional + optionalSize;
  if (b.size() < table + static_cast<size_t>(sections) * 40) return false;
  // A file cut short loses the data of its last sections.
  for (unsigned i = 0; i < sections; ++i) {
    size_t s = table + static_cast<size_t>(i) * 40;
    unsigned long long rawSize = Read32(b, s + 16), rawAt = Read32(b, s + 20);
    if (rawSize && rawAt + rawSize > b.size()) return false;
  }
  return true;
}

bool IsProgramForThisBuild(const std::string& path) {
  long long size = FileSize(path);
  if (size <= 0 || size > LargestProgram) return false;
  winapp::File f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  DWORD got = 0;
  if (!ReadFile(f.get(), bytes.data(), static_cast<DWORD>(size), &got, nullptr) || got != size) return false;
  return IsWindowsProgram(bytes, BuildMachine());
}

}  // namespace newerly
