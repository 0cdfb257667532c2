// What every program of the system needs from its surroundings: where it lives, what it was
// started with, whether a file is there, and how to start another program.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "values.h"

namespace winapp {

// The folder of the running program, without a trailing backslash.
std::string ProgramFolder();

// A file of the program folder: the folder, a backslash and the name.
std::string InProgramFolder(std::string_view name);

// The directory look-up the programs use before they touch a file: true when the path names an
// existing file (a folder of that name does not count).
bool FileExists(const std::string& path);

// The text after the program's own name on its command line, leading blanks skipped and
// everything else kept as it stands.
std::string CommandText();
std::string CommandTextOf(const char* commandLine);

// Starts a program of the program folder: "Open", the file's full path in quotes, one parameter
// string, the program folder as working directory, shown normally. When the folder has no such
// file nothing starts; the result is not examined.
void StartProgram(HWND owner, const char* file, const char* parameters);

// The shared text rules (core/values.h).
using core::ParseNumber;
using core::TrimSpaces;

}  // namespace winapp
