// Files of the update tests: version files, the programs served and installed, and the folder
// the test binaries live in.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace newerlytest {

// "[WIN]" and the keys given, in order, CR LF line ends; a key whose value is null is left out.
std::string VersionFile(const std::vector<std::pair<const char*, const char*>>& keys);

// library.ini of an installation with these versions.
std::string Library(const char* quiet, const char* panel, const char* launch, const char* clear);

// A whole available.ini: its serial, versions, sizes, the usual file names and, for each program
// given, its byte count and SHA-256 (PanelBytes, PanelHash, ...).
struct Offer {
  const char* serial = "1";
  const char* quiet = "1.14";
  const char* panel = "1.14";
  const char* launch = "1.14";
  const char* clear = "1.14";
  const char* panelSize = "120.9";
  const char* launchSize = "64";
  const char* clearSize = "80";
  const char* panelFile = "panel_new.exe";
  const char* launchFile = "launch_new.exe";
  const char* clearFile = "clear_new.exe";
  std::string panelProgram, launchProgram, clearProgram;  // empty: not described
  // The browser module's keys, after the others; none without a version.
  const char* browsers = nullptr;
  const char* browsersSize = "40";
  const char* browsersFile = "browsers_new.dll";
  std::string browsersModule;  // empty: not described
};
std::string Available(const Offer& offer);

// The folder of the running test binary (the test binaries and the stand-in program).
std::string TestBinFolder();

// A Windows program of this build's machine that ends at once (or waits, given "stay"), carrying
// `mark` after its last section so that each copy can be told from the others.
std::string ProgramBytes(const std::string& mark);

// The same program marked as a library (a browser module of this build's machine).
std::string ModuleBytes(const std::string& mark);

// The same program with its machine type changed to `machine`.
std::string ProgramForMachine(const std::string& mark, unsigned short machine);

// Programs differ only in the mark at their end: failures name the marks, not the bytes.
std::string MarkOf(const std::string& bytes);

}  // namespace newerlytest

#define EXPECT_SAME_FILE(actual, expected)                                                          \
  EXPECT_TRUE((actual) == (expected)) << ::newerlytest::MarkOf(actual) << " instead of " \
                                      << ::newerlytest::MarkOf(expected)
