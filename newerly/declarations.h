// What the update checker's windows share: the programs the user chose to update, the files of the
// program folder it works with, and the version rules of the compare table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "signature.h"
#include "versions.h"

namespace declarations {

// Set by the compare window for each program row that shows an update when the user proceeds;
// the download window fetches exactly these. Nothing clears them while the program runs.
inline bool UpdatePanel = false;
inline bool UpdateLaunch = false;
inline bool UpdateClear = false;
// The browser module (browsers.dll), a row of its own below the three programs.
inline bool UpdateBrowsers = false;

constexpr const char* AvailableFile = "\\available.ini";
constexpr const char* LibraryFile = "\\library.ini";
constexpr const char* VersionSection = "WIN";

// The version rules of the compare table, the download total and the server file names are the
// shared text rules' (core/versions.h).
using core::IsNewerNumber;
using core::IsNewerText;
using core::IsServerFileName;
using core::MaxTotalSizeKB;
using core::ParseFixedPoint4;
using core::ParseVersionNumber;
using core::TotalSizeKB;

// Reads one key of the section WIN: the file's own path as the default text, a 50-character
// buffer (so at most 49 characters), trimmed of spaces at both ends.
std::string ReadVersionKey(const std::string& file, const char* key);

// The browser module's version (BrowsersVer) as the table shows it: like ReadVersionKey, but
// empty when the key or the file is missing (lists and installations older than the module's
// row have none).
std::string ReadModuleVersion(const std::string& file);

// The text of the size prompt for a total.
std::string SizePromptText(short total);

// The files that can be updated, in the order they are handled: the flag the compare window
// sets, the list's keys for the file's size in KB, server file name, byte count, SHA-256 and
// version, the installed file, and whether it is a library (browsers.dll) rather than a program.
struct UpdatableProgram {
  bool* flag;
  const char* sizeKey;
  const char* fileKey;
  const char* bytesKey;
  const char* hashKey;
  const char* versionKey;
  const char* localFile;
  bool library;
};
extern const UpdatableProgram Programs[4];
inline constexpr const UpdatableProgram& BrowsersModule = Programs[3];

// Reads a key of the section WIN that may be longer than a version (a SHA-256 is 64 digits): up
// to 127 characters, trimmed; empty when the key or the file is missing.
std::string ReadListKey(const std::string& file, const char* key);

// What the list says of one program's file; nothing when its name is not a plain server file
// name, or its byte count (at most LargestProgram) or SHA-256 is missing or malformed.
struct ListedFile {
  std::string name;
  long long bytes = 0;
  newerly::Sha256Digest hash{};
};
std::optional<ListedFile> ReadListedFile(const std::string& list, const UpdatableProgram& program);

// The serial of the last list whose update was installed (`Serial` in library.ini): 0 when none
// is recorded, nothing when the record holds something else.
std::optional<long long> RecordedSerial(const std::string& library);

// The serial of a version list, read from its bytes; nothing when it has none that is a whole
// number.
std::optional<long long> SerialOf(std::string_view list);

// What a fetched version list is found to be. `Accepted`: `key`'s signature of its very bytes,
// and a serial (of those same bytes) no lower than `floor`: the larger of the last one installed
// and the lowest this program was built to take.
enum class ListVerdict { NotFetched, Accepted, BadSignature, Older, NoSerial };
ListVerdict CheckList(const std::string& bytes, const std::string& signature, const newerly::UpdateKey& key,
                      long long floor);

}  // namespace declarations
