#include "download.h"

#include <urlmon.h>
#include <wininet.h>

#include <atomic>
#include <cstring>
#include <utility>

#include "files.h"
#include "raii.h"
#include "text.h"
#include "updatefiles.h"
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

  // Written by the binding's callbacks on the thread that downloads, read there once it ended.
  DWORD status = 0;
  long long contentLength = -1;
  ULONG progressMax = 0;
  bool fromFolder = false;  // the answer came from the file's own folder
  // Written on one thread and read on the other (the watchdog's).
  std::atomic<bool> givenUp{false};
  std::atomic<bool> redirectedOut{false};
  std::atomic<bool> late{false};

  // Whether the download should be given up (read on the watchdog thread): the file passed its
  // limit, it was sent elsewhere, the server has been silent too long, or the whole download has
  // taken longer than a download may.
  bool Overdue(DWORD stallMs, DWORD deadlineMs) {
    DWORD now = GetTickCount();
    if (now - started_ > deadlineMs) late = true;
    return tooLarge_ || redirectedOut || late || now - lastActivity_.load() > stallMs;
  }
  // Stops the binding (on the watchdog thread); false while there is none yet to stop.
  bool GiveUp() {
    winapp::ComPtr<IBinding> binding = HeldBinding();
    if (!binding) return false;
    givenUp = true;
    binding->Abort();
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
      binding->AddRef();
      *binding_.put() = binding;
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
    winapp::ComPtr<IBinding> binding;
    {
      winapp::CriticalSection::Guard guard(lock_);
      *binding.put() = binding_.detach();
    }
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
    if (responseHeaders) contentLength = core::ContentLengthOf(winapp::Ansi(responseHeaders));
    if (contentLength > largest_) tooLarge_ = true;
    if (additional) *additional = nullptr;
    return S_OK;
  }

  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID, REFIID riid, void** out) override { return QueryInterface(riid, out); }

 private:
  ~DownloadWatch() = default;
  // The binding now running, with a reference of the caller's own; null when there is none.
  winapp::ComPtr<IBinding> HeldBinding() {
    winapp::ComPtr<IBinding> held;
    winapp::CriticalSection::Guard guard(lock_);
    if (binding_) {
      binding_->AddRef();
      *held.put() = binding_.get();
    }
    return held;
  }
  void Touch() { lastActivity_ = GetTickCount(); }

  // The URL of the answer, through the binding's IWinInetInfo; empty when it cannot be had. The
  // option comes back in ANSI on Windows and in UTF-16 under Wine: a URL is ASCII, so a NUL as
  // its second byte tells them apart.
  std::string AnsweringUrl() {
    winapp::ComPtr<IBinding> binding = HeldBinding();
    if (!binding) return {};
    std::string url;
    winapp::ComPtr<IWinInetInfo> info;
    if (SUCCEEDED(binding->QueryInterface(IID_IWinInetInfo, info.put_void())) && info) {
      char buffer[4096] = {};
      DWORD size = sizeof buffer - 2;
      if (info->QueryOption(INTERNET_OPTION_URL, buffer, &size) == S_OK) {
        if (buffer[0] && !buffer[1]) url = winapp::Ansi(reinterpret_cast<const wchar_t*>(buffer));
        else url = buffer;
      }
    }
    return url;
  }

  LONG refs_ = 1;
  const long long largest_;
  const std::string folder_;
  const DWORD started_;
  std::atomic<DWORD> lastActivity_;
  std::atomic<bool> tooLarge_{false};
  winapp::CriticalSection lock_;
  winapp::ComPtr<IBinding> binding_;
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

// Downloads `url` into the temporary file `temp` and reads it back. The file is removed again
// whatever happens; `bytes` holds it when it came whole with "200 OK" and `look` approved it.
bool Download(const std::string& url, const std::string& temp, DownloadReport& r, long long largestBytes,
              std::string& bytes, const Acceptance& look) {
  r = DownloadReport{};
  // A stale copy of an earlier, interrupted download would otherwise be read back if this one
  // writes nothing.
  DeleteFileA(temp.c_str());
  // A copy kept by the browser's cache would be handed back instead of the server's file.
  DeleteUrlCacheEntryA(url.c_str());
  size_t slash = url.find_last_of('/');
  winapp::ComPtr<DownloadWatch> watch;
  *watch.put() = new DownloadWatch(largestBytes, url.substr(0, slash + 1));
  winapp::Handle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Watchdog watchdog{watch.get(), done.get(), StallMs, DeadlineMs};
  winapp::Handle watcher(done ? CreateThread(nullptr, 0, WatchDownload, &watchdog, 0, nullptr) : nullptr);
  if (watcher) r.result = URLDownloadToFileA(nullptr, url.c_str(), temp.c_str(), 0, watch.get());
  if (done) SetEvent(done.get());
  if (watcher) WaitForSingleObject(watcher.get(), INFINITE);
  r.givenUp = watch->givenUp;
  r.redirectedOut = watch->redirectedOut;
  bool fromFolder = watch->fromFolder;
  r.late = watch->late;
  r.status = watch->status;
  const long long announced = watch->contentLength;
  r.expectedBytes = watch->contentLength >= 0 ? watch->contentLength
                    : watch->progressMax ? static_cast<long long>(watch->progressMax) : -1;
  watch.reset();
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
  DeleteFileA(temp.c_str());
  r.accepted = whole && (!look || look(file.bytes));
  if (r.accepted) bytes = std::move(file.bytes);
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

bool FetchBytes(const std::string& url, const std::string& tempPath, std::string& bytes, const Acceptance& acceptable,
                DownloadReport* report, long long largestBytes) {
  DownloadReport local;
  return Download(url, tempPath, report ? *report : local, largestBytes, bytes, acceptable);
}

bool FetchFile(const std::string& url, const std::string& path, const Acceptance& acceptable,
               DownloadReport* report, long long largestBytes) {
  DownloadReport local;
  DownloadReport& r = report ? *report : local;
  std::string bytes;
  if (!Download(url, path + ".download", r, largestBytes, bytes, acceptable)) return false;
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

bool IsImageForThisBuild(std::string_view bytes, bool library) {
  return bytes.size() <= static_cast<size_t>(LargestProgram) && core::IsWindowsImage(bytes, BuildMachine(), library);
}

}  // namespace newerly
