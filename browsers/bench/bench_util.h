// What both browser benchmarks measure with: the seeded profile's place, the clock, the peak of
// the working set, and the command line they share.
#pragma once

#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cleaners.h"
#include "test_util.h"

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

// Lays the profile out from the made one (MADE) with four sizes, and writes FOLDER\exclude.ini.
using SeedProfile = int (*)(const std::string& folder, const std::string& made, int, int, int, int);

// The command line of both: "seed FOLDER MADE A B C D", "run FOLDER" (the clearing run's own call
// with `choices`) or "bare FOLDER" (the written-out baseline); a measuring mode ends with
// report(folder, seconds, processor seconds) and answers 0 when the pass went through. A benchmark
// with modes of its own passes `more(mode, folder)`, which answers -1 for a mode it does not know.
template <class Report>
int Main(int argc, char** argv, const char* usage, SeedProfile seed, const BrowserFlags& choices,
         int (*bare)(const std::string&), Report report,
         int (*more)(const std::string&, const std::string&) = nullptr) {
  std::string mode = argc > 1 ? argv[1] : "", folder = argc > 2 ? argv[2] : "";
  if (mode == "seed" && argc == 8)
    return seed(folder, argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), std::atoi(argv[7]));
  double start = Now(), cpu = testutil::ProcessorSeconds();
  int rc;
  if (mode == "run") {
    std::string line = ClearOtherBrowsers(folder, choices);
    rc = line.empty() ? 0 : 1;
    if (rc) std::fprintf(stderr, "%s\n", line.c_str());
  } else if (mode == "bare") {
    rc = bare(folder);
  } else if (!more || (rc = more(mode, folder)) < 0) {
    std::fprintf(stderr, "usage: %s seed|run|bare FOLDER ...\n", usage);
    return 2;
  }
  double seconds = Now() - start;
  report(folder, seconds, testutil::ProcessorSeconds() - cpu);
  return rc;
}

}  // namespace bench
