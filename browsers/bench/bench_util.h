// What both browser benchmarks measure with: the seeded profile's place, the clock and the peak of
// the working set.
#pragma once

#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <string>

namespace bench {

inline std::string LocalFolder() {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
inline const std::string Profile = LocalFolder() + "\\Chromium\\User Data\\Default";

inline double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

inline double PeakMb() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.PeakWorkingSetSize / (1024.0 * 1024.0);
}

}  // namespace bench
