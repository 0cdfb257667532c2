// Helpers the tests share: scratch folders, whole files, pumping messages until a condition holds.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testutil {

// The switch for folders named in another script: with QR_FOREIGN_FOLDER set in the environment,
// a test program that runs in the UTF-8 code page (utf8_code_page in CMake) makes every
// TempFolder a folder named ForeignFolderName (UTF-8), which the system's ANSI code page cannot
// spell, so that the programs it runs from there meet such a name in every path.
constexpr const char* ForeignFolderName = "\xC5\x81ukasz \xE7\x94\xB0\xE4\xB8\xAD";  // "Łukasz 田中"
bool ForeignFolders();

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
  std::string outer_;
};

std::string ReadWholeFile(const std::string& path, bool* ok = nullptr);
bool WriteWholeFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);
bool CopyInto(const std::string& from, const std::string& toFolder, const std::string& name = {});
void RemoveTree(const std::string& path);
// Copies the folder `from` with all it holds to `to` (made with its parents when missing).
void CopyTree(const std::string& from, const std::string& to);

// Processor time of this process so far, in seconds, and, when the environment's BENCH_SERVER_PID
// names the prefix's wineserver, the server's too: under Wine much of a file or cache call's
// work is done there (the benchmarks).
double ProcessorSeconds();

// Pumps messages until `done` holds or the deadline passes; returns whether it held.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(20));
// Pumps messages for a while (to let a window settle); not a way to wait for a result.
void PumpFor(std::chrono::milliseconds span);

// A Unix folder the build passes in an environment variable, as a Windows path (empty when unset).
std::string FolderFromEnvironment(const char* variable);
// The built program folder (the build passes its Unix path in QR_PROGRAM_DIR).
std::string ProgramFolder();
// The build's copies of a fresh installation's files (QR_FRESH_DIR).
std::string FreshFolder();

// Window text of a window.
std::string TextOf(HWND w);

// Top-level windows of a process (0: this one) with the window class `cls` (a form's name), the
// visible ones only when asked.
std::vector<HWND> TopWindows(const char* cls, DWORD pid = 0, bool visibleOnly = false);
// A form's control window by the control's name.
HWND ChildNamed(HWND form, const char* name);
// The texts (or, without text, the ids) of a window's controls marked visible that reach beyond
// its client area: a control cut off by the window's edge.
std::vector<std::string> ControlsOutside(HWND form);

// GDI objects of this process: GetGuiResources where the system counts them, otherwise (Wine)
// the live entries of the process's GDI handle table.
int GdiObjectCount();
// USER objects of this process: GetGuiResources where the system counts them, otherwise the
// windows of this thread, child windows included.
int UserObjectCount();

}  // namespace testutil
