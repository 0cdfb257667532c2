// Fetching files from the update server. A download goes to a temporary file beside its target
// and is taken only when it arrived whole, with the server's "200 OK", from the folder it was
// asked of, and passed the caller's check; the checked bytes then replace the target whole
// (flushed to the disk before they are moved into place). Otherwise the target stays as it was
// and the temporary file is removed. The platform's download saves an error page or a cut body
// as if it were the file, so the response is watched and the result checked here.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace newerly {

// The largest files taken: a version list is a few hundred bytes, its signature under a hundred,
// a program well under a megabyte. A download that passes its limit is given up at once rather
// than fetched whole.
constexpr long long LargestList = 1LL << 20;
constexpr long long LargestSignature = 4096;
constexpr long long LargestProgram = 64LL << 20;

// How long the server may send nothing before a download is given up, and how long a whole
// download may take, in milliseconds. The release keeps a minute of silence and ten minutes a
// download (64 MB at 110 KB/s, far more than any program of the system); the test build
// shortens both (NEWERLY_STALL_MS, NEWERLY_DEADLINE_MS) so that its tests of a stalled or
// trickling server end in seconds.
inline unsigned long StallMs = 60000;
inline unsigned long DeadlineMs = 600000;

// What a download saw of the server's answer.
struct DownloadReport {
  HRESULT result = E_FAIL;      // URLDownloadToFileA's own result
  DWORD status = 0;             // HTTP status, 0 when none was seen
  long long expectedBytes = -1; // from Content-Length, -1 when not given
  long long receivedBytes = -1;
  bool givenUp = false;         // stalled, over its limit or its time, or sent elsewhere, and stopped
  bool redirectedOut = false;   // the server sent it out of its folder
  bool late = false;            // it passed DeadlineMs
  bool accepted = false;        // it came whole and the caller's check approved it
  bool replaced = false;        // the target now holds the download
};

// The caller's check of a whole download: the temporary file's path (for readers that want a
// file) and its bytes.
using Acceptance = std::function<bool(const std::string& file, const std::string& bytes)>;

// Whether `url` names a plain file (core::IsServerFileName) right inside the folder URL `folder`
// (ending in "/"): same scheme and host, letter case aside, and the same path.
bool IsInFolder(const std::string& url, const std::string& folder);

// Downloads `url` to `path`. A redirect out of the URL's own folder, a file over `largestBytes`,
// a server silent for StallMs or a download longer than DeadlineMs fails it.
bool FetchFile(const std::string& url, const std::string& path, const Acceptance& acceptable = {},
               DownloadReport* report = nullptr, long long largestBytes = LargestProgram);

// Downloads `url` into `bytes` alone, by way of a temporary file in `folder` that is removed
// again; the same rules as FetchFile.
bool FetchBytes(const std::string& url, const std::string& folder, std::string& bytes,
                DownloadReport* report = nullptr, long long largestBytes = LargestSignature);

// Whether `image` is a whole Windows program (not a library) for the machine type `machine`:
// the MZ header, the PE signature, that machine, an executable image, the optional header of
// that bitness, and every section's data inside the file.
bool IsWindowsProgram(std::string_view image, WORD machine);

// The machine type of this build: AMD64 for the 64-bit set, I386 for the 32-bit one.
WORD BuildMachine();

// IsWindowsProgram for this build's machine, files over LargestProgram refused.
bool IsProgramForThisBuild(std::string_view image);

}  // namespace newerly
