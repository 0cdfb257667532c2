// Measures the clearing work of one run against the bare platform work it cannot avoid.
//   clear_bench seed FOLDER CONTENT COOKIES EXCLUSIONS  fills the cache and writes exclude.ini
//   clear_bench bare FOLDER     the platform calls of a run alone: the baseline
//   clear_bench minimal FOLDER  one walk with a reused buffer, then the same deletes
//   clear_bench run FOLDER      the first tick of the real progress window (cache and cookie steps)
// The measuring modes all load the progress window first; only `run` lets it tick.
//   clear_bench count           entries left in the cache
// Each measuring mode prints "seconds=S cpu_s=C calls_s=K over_calls=R peak_mb=M left=N":
//   C  processor time of the measured part, this process's and, when BENCH_SERVER_PID names the
//      prefix's wineserver, the server's too (under Wine much of the cache's work is done there);
//   K  time spent inside the URL cache functions, each call timed through the import table, and
//      R = S / K, what the part spends beyond its cache calls, measured on those very calls.
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cleaners.h"
#include "form.h"
#include "frmError.h"
#include "frmMain.h"
#include "settings.h"
#include "test_cache.h"
#include "test_util.h"

namespace {

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// ---------------------------------------------------------------------------------------------
// The cache functions, timed where this program calls them: their entries in its import table
// are pointed at wrappers that add up the time spent inside them.

double callSeconds = 0;

struct CallTimer {
  double start = Now();
  ~CallTimer() {
    DWORD error = GetLastError();  // the walk reads the last error of a probe
    callSeconds += Now() - start;
    SetLastError(error);
  }
};

decltype(&FindFirstUrlCacheEntryA) realFindFirst;
decltype(&FindNextUrlCacheEntryA) realFindNext;
decltype(&FindCloseUrlCache) realFindClose;
decltype(&DeleteUrlCacheEntryA) realDelete;

HANDLE WINAPI TimedFindFirst(LPCSTR pattern, LPINTERNET_CACHE_ENTRY_INFOA info, LPDWORD size) {
  CallTimer t;
  return realFindFirst(pattern, info, size);
}
BOOL WINAPI TimedFindNext(HANDLE find, LPINTERNET_CACHE_ENTRY_INFOA info, LPDWORD size) {
  CallTimer t;
  return realFindNext(find, info, size);
}
BOOL WINAPI TimedFindClose(HANDLE find) {
  CallTimer t;
  return realFindClose(find);
}
BOOL WINAPI TimedDelete(LPCSTR name) {
  CallTimer t;
  return realDelete(name);
}

// Points this program's import of `function` from `dll` at `replacement`; false if not found.
bool RedirectImport(const char* dll, const char* function, void* replacement, void** original) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + imp->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
      DWORD was;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &was)) return false;
      *original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, was, &was);
      return true;
    }
  }
  return false;
}

bool TimeCacheCalls() {
  struct {
    const char* name;
    void* timed;
    void** real;
  } calls[] = {
      {"FindFirstUrlCacheEntryA", reinterpret_cast<void*>(&TimedFindFirst), reinterpret_cast<void**>(&realFindFirst)},
      {"FindNextUrlCacheEntryA", reinterpret_cast<void*>(&TimedFindNext), reinterpret_cast<void**>(&realFindNext)},
      {"FindCloseUrlCache", reinterpret_cast<void*>(&TimedFindClose), reinterpret_cast<void**>(&realFindClose)},
      {"DeleteUrlCacheEntryA", reinterpret_cast<void*>(&TimedDelete), reinterpret_cast<void**>(&realDelete)},
  };
  for (auto& c : calls)
    if (!RedirectImport("wininet.dll", c.name, c.timed, c.real)) {
      std::fprintf(stderr, "cannot time %s\n", c.name);
      return false;
    }
  return true;
}

// Wall and processor time of one measured part, and the time its cache calls took.
struct Stopwatch {
  double wall = Now(), cpu = testutil::ProcessorSeconds(), calls = callSeconds;
  void Report() const;
};

double PeakMb() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.PeakWorkingSetSize / (1024.0 * 1024.0);
}

void Stopwatch::Report() const {
  double seconds = Now() - wall, processor = testutil::ProcessorSeconds() - cpu, inCalls = callSeconds - calls, peak = PeakMb();
  size_t left = testcache::AllEntries().size();
  std::printf("seconds=%.3f cpu_s=%.2f calls_s=%.3f over_calls=%.4f peak_mb=%.1f left=%zu\n", seconds,
              processor, inCalls, inCalls > 0 ? seconds / inCalls : 0.0, peak, left);
}

int Seed(const std::string& folder, int content, int cookies, int exclusions) {
  for (int i = 0; i < content; ++i)
    if (!testcache::SeedContent("http://bench" + std::to_string(i % 97) + ".example/page" + std::to_string(i) + ".html"))
      return 1;
  for (int i = 0; i < cookies; ++i)
    if (!testcache::SeedCookie("Cookie:user@host" + std::to_string(i) + ".example/")) return 1;
  // Every tenth cookie host is kept.
  std::string list;
  for (int j = 0; j < exclusions; ++j) list += "host" + std::to_string(j * 10) + ".example/,";
  if (!list.empty()) list.pop_back();
  winapp::WriteFirstRunFiles(folder);
  winapp::WriteExclusionText(folder + "\\exclude.ini", list);
  std::string ini = folder + "\\quietrail.ini";
  winapp::WriteIniFlag(ini, "Settings", "TmpInt", 1);
  winapp::WriteIniFlag(ini, "Settings", "Cookies", 1);
  winapp::WriteIniFlag(ini, "Settings", "ClearDialog", 0);
  return 0;
}

// The platform calls of a run and nothing else: the cache walked with a probe and an exactly
// sized block per entry, the content entries deleted, the cache walked again, the cookies that no
// exclusion protects deleted. Names go into a plain vector instead of the progress window's list.
std::vector<std::string> ProbeWalk() {
  std::vector<std::string> names;
  DWORD size = 0;
  HANDLE find = FindFirstUrlCacheEntryA(nullptr, nullptr, &size);
  if (find || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return names;
  HLOCAL block = LocalAlloc(LMEM_FIXED, size);
  static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block)->dwStructSize = size;
  find = FindFirstUrlCacheEntryA(nullptr, static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block), &size);
  while (find) {
    auto* info = static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block);
    if (info->CacheEntryType & NORMAL_CACHE_ENTRY) names.emplace_back(info->lpszSourceUrlName);
    LocalFree(block);
    block = nullptr;
    size = 0;
    FindNextUrlCacheEntryA(find, nullptr, &size);
    if (size == 0) break;
    block = LocalAlloc(LMEM_FIXED, size);
    static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block)->dwStructSize = size;
    if (!FindNextUrlCacheEntryA(find, static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block), &size)) break;
  }
  if (block) LocalFree(block);
  if (find) FindCloseUrlCache(find);
  return names;
}

void Bare(const std::string& folder) {
  for (const std::string& name : ProbeWalk())
    if (IsTemporaryFileEntry(name)) DeleteUrlCacheEntryA(name.c_str());
  auto text = winapp::ReadExclusionText(folder + "\\exclude.ini");
  auto entries = UpperCaseEntries(winapp::SplitAtCommas(text.value_or("")));
  for (const std::string& name : ProbeWalk())
    if (IsCookieEntry(name) && !IsExcluded(name, entries)) DeleteUrlCacheEntryA(name.c_str());
}

// Another way to the same result: one walk with a reused buffer that grows when needed, then one
// delete per entry that goes.
void Minimal(const std::string& folder) {
  auto text = winapp::ReadExclusionText(folder + "\\exclude.ini");
  auto entries = UpperCaseEntries(winapp::SplitAtCommas(text.value_or("")));
  std::vector<std::string> names;
  std::vector<char> buffer(4096);
  DWORD size = static_cast<DWORD>(buffer.size());
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
  HANDLE find = FindFirstUrlCacheEntryA(nullptr, info, &size);
  while (find) {
    names.emplace_back(info->lpszSourceUrlName);
    size = static_cast<DWORD>(buffer.size());
    if (FindNextUrlCacheEntryA(find, info, &size)) continue;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.resize(size);
    info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
    if (!FindNextUrlCacheEntryA(find, info, &size)) break;
  }
  if (find) FindCloseUrlCache(find);
  for (const std::string& name : names)
    if (IsTemporaryFileEntry(name) || (IsCookieEntry(name) && !IsExcluded(name, entries)))
      DeleteUrlCacheEntryA(name.c_str());
}

// Every measuring mode works with the progress window loaded (hidden, as the seeded settings
// say), so that the processes compared differ only in the measured part.
int Measure(const std::string& mode, const std::string& folder) {
  frmError error;
  frmMain run(error, folder, winapp::LaunchToken);
  run.ShowAsStartup();
  Stopwatch watch;
  if (mode == "bare") Bare(folder);
  else if (mode == "minimal") Minimal(folder);
  else SendMessageA(run.hwnd(), WM_TIMER, winapp::ControlId("Timer1"), 0);  // the run's first tick
  watch.Report();
  run.Unload();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (!TimeCacheCalls()) return 1;
  if (mode == "seed" && argc == 6) return Seed(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  if ((mode == "bare" || mode == "minimal" || mode == "run") && argc == 3) return Measure(mode, argv[2]);
  if (mode == "count") {
    std::printf("left=%zu\n", testcache::AllEntries().size());
    return 0;
  }
  if (mode == "empty") {
    testcache::EmptyCache();
    return 0;
  }
  std::fprintf(stderr, "usage: clear_bench seed|bare|minimal|run|count|empty ...\n");
  return 2;
}
