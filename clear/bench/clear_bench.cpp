// Measures the clearing work of one run against the bare platform work it cannot avoid.
//   clear_bench seed FOLDER CONTENT COOKIES EXCLUSIONS  fills the cache and writes exclude.ini
//   clear_bench bare FOLDER     the platform calls of a run alone: the baseline
//   clear_bench minimal FOLDER  one walk with a reused buffer, then the same deletes
//   clear_bench run FOLDER      the first tick of the real progress window (cache and cookie steps)
//   clear_bench count           entries left in the cache
// Each measuring mode prints "seconds=S cpu_s=C peak_mb=M left=N": C is the processor time of
// the measured part, this process's and, when BENCH_SERVER_PID names the prefix's wineserver, the
// server's too (under Wine most of the cache's work is done there, in answer to this process).
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

double FileTimeSeconds(const FILETIME& t) {
  return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

// The wineserver's user and system time from its line in /proc, which Wine shows as drive Z:.
double ServerCpu() {
  const char* pid = std::getenv("BENCH_SERVER_PID");
  if (!pid || !*pid) return 0;
  std::string path = std::string("Z:\\proc\\") + pid + "\\stat";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  char line[1024] = {};
  size_t n = std::fread(line, 1, sizeof line - 1, f);
  std::fclose(f);
  line[n] = 0;
  // Fields after the command name in parentheses: state is the 3rd, utime and stime the 14th and 15th.
  const char* p = std::strrchr(line, ')');
  if (!p) return 0;
  unsigned long long utime = 0, stime = 0;
  if (std::sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2) return 0;
  return static_cast<double>(utime + stime) / 100.0;  // clock ticks of the kernel, 100 a second
}

double CpuNow() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  return FileTimeSeconds(kernel) + FileTimeSeconds(user) + ServerCpu();
}

// Wall and processor time of one measured part.
struct Stopwatch {
  double wall = Now(), cpu = CpuNow();
  void Report() const;
};

double PeakMb() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.PeakWorkingSetSize / (1024.0 * 1024.0);
}

void Stopwatch::Report() const {
  double seconds = Now() - wall, processor = CpuNow() - cpu, peak = PeakMb();
  size_t left = testcache::AllEntries().size();
  std::printf("seconds=%.3f cpu_s=%.2f peak_mb=%.1f left=%zu\n", seconds, processor, peak, left);
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

int Bare(const std::string& folder) {
  Stopwatch watch;
  for (const std::string& name : ProbeWalk())
    if (IsTemporaryFileEntry(name)) DeleteUrlCacheEntryA(name.c_str());
  auto text = winapp::ReadExclusionText(folder + "\\exclude.ini");
  auto entries = UpperCaseEntries(winapp::SplitAtCommas(text.value_or("")));
  for (const std::string& name : ProbeWalk())
    if (IsCookieEntry(name) && !IsExcluded(name, entries)) DeleteUrlCacheEntryA(name.c_str());
  watch.Report();
  return 0;
}

// Another way to the same result: one walk with a reused buffer that grows when needed, then one
// delete per entry that goes.
int Minimal(const std::string& folder) {
  auto text = winapp::ReadExclusionText(folder + "\\exclude.ini");
  auto entries = UpperCaseEntries(winapp::SplitAtCommas(text.value_or("")));
  Stopwatch watch;
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
  watch.Report();
  return 0;
}

int Run(const std::string& folder) {
  frmError error;
  frmMain run(error, folder, winapp::LaunchToken);
  run.ShowAsStartup();
  Stopwatch watch;
  SendMessageA(run.hwnd(), WM_TIMER, winapp::ControlId("Timer1"), 0);
  watch.Report();
  run.Unload();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "seed" && argc == 6) return Seed(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  if (mode == "bare" && argc == 3) return Bare(argv[2]);
  if (mode == "minimal" && argc == 3) return Minimal(argv[2]);
  if (mode == "run" && argc == 3) return Run(argv[2]);
  if (mode == "count") {
    std::printf("left=%zu\n", testcache::AllEntries().size());
    return 0;
  }
  if (mode == "empty") {
    testcache::EmptyCache();
    return 0;
  }
  std::fprintf(stderr, "usage: clear_bench seed|bare|run|count|empty ...\n");
  return 2;
}
