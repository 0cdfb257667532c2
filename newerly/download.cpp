#include "download.h"

#include <urlmon.h>
#include <wininet.h>

#include <cstring>
#include <utility>

#include "files.h"
#include "raii.h"
#include "text.h"
#include "versions.h"

namespace newerly {

namespace {

// Watches one download: the HTTP status, the announced length and where the answer came from
// (the folder of the URL asked for, and nowhere else). The platform's download asks for
// IHttpNegotiate through the callback it is given.
//
// It also keeps the download bounded: the watchdog thread (WatchDownload) asks it whether the
// server has been silent too long, the download has passed its deadline, the file has passed its
// limit or was sent elsewhere, and then stops the binding.
class DownloadWatch final : public IBindStatusCallback, public IHttpNegotiate, public IServiceProvider {
 public:
  DownloadWatch(long long largest, std::string folder)
      : largest_(largest), folder_(std::move(folder)), started_(GetTickCount()), lastActivity_(GetTickCount()) {}

  DWORD status = 0;
  long long contentLength = -1;
  ULONG progressMax = 0;
  volatile LONG givenUp = 0;
  volatile bool redirectedOut = false;
  volatile bool late = false;
  bool fromFolder = false;  // the answer came from the file's own folder

  // Whether the download should be given up (read on the watchdog thread): the file passed its
  // limit, it was sent elsewhere, the server has been silent too long, or the whole download has
  // taken longer than a download may.
  bool Overdue(DWORD stallMs, DWORD deadlineMs) {
    DWORD now = GetTickCount();
    if (now - started_ > deadlineMs) late = true;
    return tooLarge_ || redirectedOut || late || now - static_cast<DWORD>(lastActivity_) > stallMs;
  }
  // Stops the binding (on the watchdog thread); false while there is none yet to stop.
  bool GiveUp() {
    IBinding* binding = HeldBinding();
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
    winapp::CriticalSection::Guard guard(lock_);
    if (!binding_ && binding) {
      binding_ = binding;
      binding_->AddRef();
    }
    return S_OK;
  }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG progress, ULONG max, ULONG code, LPCWSTR text) override {
    Touch();
    if (code == BINDSTATUS_REDIRECTING) {
      // The file is fetched from its own folder and nowhere else: a redirect out of it (another
      // host, another scheme, another folder) ends the download before anything arrives.
      if (!text || !IsInFolder(winapp::Ansi(text), folder_)) {
        redirectedOut = true;
        return E_ABORT;
      }
      return S_OK;
    }
    if (max) progressMax = max;
    if (progress > largest_ || max > largest_) tooLarge_ = true;
    return S_OK;
  }
  STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override {
    IBinding* binding = nullptr;
    {
      winapp::CriticalSection::Guard guard(lock_);
      binding = std::exchange(binding_, nullptr);
    }
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
    // Where the answer really came from: the platform may follow a redirect without reporting
    // it (Wine does not pass BINDSTATUS_REDIRECTING on), so the answering URL is asked of the
    // binding. One that cannot be learnt is not trusted either.
    std::string answered = AnsweringUrl();
    if (answered.empty() || !IsInFolder(answered, folder_)) redirectedOut = true;
    else fromFolder = true;
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
  }
  // The binding now running, with a reference of the caller's own; null when there is none.
  IBinding* HeldBinding() {
    winapp::CriticalSection::Guard guard(lock_);
    if (binding_) binding_->AddRef();
    return binding_;
  }
  void Touch() { InterlockedExchange(&lastActivity_, static_cast<LONG>(GetTickCount())); }

  // The URL of the answer, through the binding's IWinInetInfo; empty when it cannot be had. The
  // option comes back in ANSI on Windows and in UTF-16 under Wine: a URL is ASCII, so a NUL as
  // its second byte tells them apart.
  std::string AnsweringUrl() {
    IBinding* binding = HeldBinding();
    if (!binding) return {};
    std::string url;
    IWinInetInfo* info = nullptr;
    if (SUCCEEDED(binding->QueryInterface(IID_IWinInetInfo, reinterpret_cast<void**>(&info))) && info) {
      char buffer[4096] = {};
      DWORD size = sizeof buffer - 2;
      if (info->QueryOption(INTERNET_OPTION_URL, buffer, &size) == S_OK) {
        if (buffer[0] && !buffer[1]) url = winapp::Ansi(reinterpret_cast<const wchar_t*>(buffer));
        else url = buffer;
      }
      info->Release();
    }
    binding->Release();
    return url;
  }

  LONG refs_ = 1;
  const long long largest_;
  const std::string folder_;
  const DWORD started_;
  volatile LONG lastActivity_;
  volatile bool tooLarge_ = false;
  winapp::CriticalSection lock_;
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
  DWORD deadlineMs;
};

DWORD WINAPI WatchDownload(void* parameter) {
  Watchdog* w = static_cast<Watchdog*>(parameter);
  bool stopped = false;
  while (WaitForSingleObject(w->done, 100) == WAIT_TIMEOUT)
    if (!stopped && w->watch->Overdue(w->stallMs, w->deadlineMs)) stopped = w->watch->GiveUp();
  return 0;
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

// Downloads `url` into a new temporary file in `folder` and reads it back. The file is removed
// again whatever happens; `bytes` holds it when it came whole with "200 OK".
bool Download(const std::string& url, const std::string& folder, DownloadReport& r, long long largestBytes,
              std::string& bytes, const std::function<bool(const std::string&, const std::string&)>& look = {}) {
  r = DownloadReport{};
  char temp[MAX_PATH];
  if (!GetTempFileNameA(folder.c_str(), "upd", 0, temp)) return false;
  // A copy kept by the browser's cache would be handed back instead of the server's file.
  DeleteUrlCacheEntryA(url.c_str());
  size_t slash = url.find_last_of('/');
  DownloadWatch* watch = new DownloadWatch(largestBytes, url.substr(0, slash + 1));
  winapp::Handle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Watchdog watchdog{watch, done.get(), StallMs, DeadlineMs};
  winapp::Handle watcher(done ? CreateThread(nullptr, 0, WatchDownload, &watchdog, 0, nullptr) : nullptr);
  if (watcher) r.result = URLDownloadToFileA(nullptr, url.c_str(), temp, 0, watch);
  if (done) SetEvent(done.get());
  if (watcher) WaitForSingleObject(watcher.get(), INFINITE);
  r.givenUp = watch->givenUp != 0;
  r.redirectedOut = watch->redirectedOut;
  bool fromFolder = watch->fromFolder;
  r.late = watch->late;
  r.status = watch->status;
  const long long announced = watch->contentLength;
  r.expectedBytes = watch->contentLength >= 0 ? watch->contentLength
                    : watch->progressMax ? static_cast<long long>(watch->progressMax) : -1;
  watch->Release();
  DeleteUrlCacheEntryA(url.c_str());

  winapp::FileContent file = winapp::ReadWholeFile(temp, static_cast<size_t>(largestBytes));
  // The answer is as long as its Content-Length says; what a server sends after it is not part
  // of the file. Windows stops reading there, Wine at times hands the rest on too: it is cut off,
  // so that both see the same file.
  if (file.read() && r.result == S_OK && announced >= 0 && file.bytes.size() > static_cast<size_t>(announced))
    file.bytes.resize(static_cast<size_t>(announced));
  if (file.read()) r.receivedBytes = static_cast<long long>(file.bytes.size());
  bool whole = r.result == S_OK && !r.givenUp && !r.redirectedOut && fromFolder && r.status == 200 && file.read() &&
               (r.expectedBytes < 0 || r.receivedBytes == r.expectedBytes);
  if (whole) bytes = std::move(file.bytes);
  r.accepted = whole && (!look || look(temp, bytes));
  DeleteFileA(temp);
  return r.accepted;
}

}  // namespace

bool IsInFolder(const std::string& url, const std::string& folder) {
  // The scheme and the host compare without regard to case, the path exactly.
  size_t host = folder.find("://");
  size_t path = host == std::string::npos ? std::string::npos : folder.find('/', host + 3);
  if (path == std::string::npos || url.size() <= folder.size()) return false;
  if (_strnicmp(url.c_str(), folder.c_str(), path) != 0) return false;
  if (url.compare(path, folder.size() - path, folder, path) != 0) return false;
  return core::IsServerFileName(std::string_view(url).substr(folder.size()));
}

bool FetchBytes(const std::string& url, const std::string& folder, std::string& bytes, DownloadReport* report,
                long long largestBytes) {
  DownloadReport local;
  return Download(url, folder, report ? *report : local, largestBytes, bytes);
}

bool FetchFile(const std::string& url, const std::string& path, const Acceptance& acceptable,
               DownloadReport* report, long long largestBytes) {
  DownloadReport local;
  DownloadReport& r = report ? *report : local;
  std::string bytes;
  if (!Download(url, FolderOf(path), r, largestBytes, bytes, acceptable)) return false;
  // What was checked is what is installed: the checked bytes are written out afresh, flushed
  // and moved into place.
  r.replaced = winapp::ReplaceWholeFile(path, bytes);
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

bool IsProgramForThisBuild(std::string_view bytes) {
  return bytes.size() <= static_cast<size_t>(LargestProgram) && IsWindowsProgram(bytes, BuildMachine());
}

}  // namespace newerly
