// Fetching files from the update server. A download goes to a temporary file beside its target
// and replaces the target only when it arrived whole, with the server's "200 OK", and passed the
// caller's check; otherwise the target stays as it was and the temporary file is removed. The
// platform's download saves an error page or a cut body as if it were the file, so the response
// is watched and the result checked here.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace newerly {

// The largest files taken: a version list is a few hundred bytes, a program well under a megabyte.
// A download that passes its limit is given up at once rather than fetched whole.
constexpr long long LargestList = 1LL << 20;
constexpr long long LargestProgram = 64LL << 20;

// How long the server may send nothing before a download is given up, in milliseconds. The
// release keeps a minute; the test build shortens it (NEWERLY_STALL_MS) so that its tests of a
// stalled server end in seconds.
inline unsigned long StallMs = 60000;

// What a download saw of the server's answer.
struct DownloadReport {
  HRESULT result = E_FAIL;      // URLDownloadToFileA's own result
  DWORD status = 0;             // HTTP status, 0 when none was seen
  long long expectedBytes = -1; // from Content-Length, -1 when not given
  long long receivedBytes = -1;
  bool givenUp = false;         // stalled or over its limit, and stopped
  bool accepted = false;        // the caller's check approved the file
  bool replaced = false;        // the target now holds the download
};

// Downloads `url` to `path`. `acceptable`, when given, looks at the complete downloaded file
// (by its temporary path) before it may replace the target. A file over `largestBytes`, or a
// server silent for StallMs, fails the download.
bool FetchFile(const std::string& url, const std::string& path,
               const std::function<bool(const std::string&)>& acceptable = {},
               DownloadReport* report = nullptr, long long largestBytes = LargestProgram);

// Whether `image` is a whole Windows program (not a library) for the machine type `machine`:
// the MZ header, the PE signature, that machine, an executable image, the optional header of
// that bitness, and every section's data inside the file.
bool IsWindowsProgram(std::string_view image, WORD machine);

// The machine type of this build: AMD64 for the 64-bit set, I386 for the 32-bit one.
WORD BuildMachine();

// IsWindowsProgram for a file on disk and this build's machine. Files over LargestProgram are
// refused.
bool IsProgramForThisBuild(const std::string& path);

}  // namespace newerly
