// What the clearing-run tests share: a program folder of their own, a clean platform, and the
// URL history class pointed at a stand-in while a test needs it.
#pragma once

#include <windows.h>

#include <string>

#include "test_util.h"

namespace cleartest {

constexpr const char* HistoryClassKey =
    "Software\\Classes\\CLSID\\{3C374A40-BAE4-11CF-BF7D-00AA006946EE}\\InprocServer32";
constexpr const char* TypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";

// Points the URL history class at another in-process server for the guard's life, then puts the
// original registration back.
class HistoryClassOverride {
 public:
  explicit HistoryClassOverride(const std::string& serverPath);
  ~HistoryClassOverride();

 private:
  bool hadKey_ = false;
  std::string original_;
  std::string threading_;
};

// The folder of the running test binary (the stand-in history DLL lies beside it).
std::string TestBinFolder();

// The settings file with the five step flags, ClearDialog and, when given, Browsers.
void WriteSettings(const std::string& folder, const char* history, const char* tmpInt, const char* cookies,
                   const char* recent, const char* url, const char* clearDialog = "1", const char* browsers = nullptr);

// Typed URLs as the browser keeps them.
void SeedTypedUrls();
bool TypedUrlsPresent();

// Shortcuts in the user's Recent folder and the shell's RecentDocs key.
std::string RecentFolder();
void SeedRecentDocs();
int RecentShortcutCount();

// Lines of history_calls.txt written by the stand-in.
std::string HistoryCalls();
void ForgetHistoryCalls();

}  // namespace cleartest
