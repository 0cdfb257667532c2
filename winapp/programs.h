// What the programs of the system know of one another: their file names, the token that a
// program started by another of them must be given, the shared files of the program folder, and
// the messages that name a missing one.
#pragma once

#include <string>

namespace winapp {

// The argument that clear.exe and tray.exe require: started without it, they do nothing.
constexpr const char* LaunchToken = "K4T9B3";

// clear.exe given this instead counts what a run would erase and shows it (the Analyze window).
constexpr const char* AnalyzeCommand = "K4T9B3 /analyze";

constexpr const char* ClearProgram = "clear.exe";
constexpr const char* PanelProgram = "panel.exe";
constexpr const char* TrayProgram = "tray.exe";
constexpr const char* UpdateProgram = "update.exe";

constexpr const char* SettingsFileName = "quietrail.ini";
constexpr const char* ExcludeFileName = "exclude.ini";

// The settings file of `folder` is missing: the panel writes a fresh one.
inline std::string SettingsMissingMessage(const std::string& folder) {
  return folder + "\\" + SettingsFileName + " not found. Please run panel.exe (user interface) again from " + folder;
}

// A file the installation holds is missing (`path`): the message without its closing full stop,
// which some windows give and others do not.
inline std::string ReinstallMessage(const std::string& path) {
  return path + " not found. Please reinstall Quietrail or locate the file and try again";
}

}  // namespace winapp
