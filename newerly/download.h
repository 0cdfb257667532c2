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

// The caller's check of a whole download's bytes.
using Acceptance = std::function<bool(const std::string& bytes)>;

// Whether `url` names a plain file (core::IsServerFileName) right inside the folder URL `folder`
// (ending in "/"): same scheme and host, letter case aside, and the same path.
bool IsInFolder(const std::string& url, const std::string& folder);

// Downloads `url` into `bytes` by way of the temporary file `tempPath` (named by the caller, so
// that every name the checker can leave is known), which is removed again whatever happens. A
// redirect out of the URL's own folder, a file over `largestBytes`, a server silent for StallMs or
// a download longer than DeadlineMs fails it, as does `acceptable` saying no.
bool FetchBytes(const std::string& url, const std::string& tempPath, std::string& bytes,
                const Acceptance& acceptable = {}, DownloadReport* report = nullptr,
                long long largestBytes = LargestProgram);

// Downloads `url` to `path` by way of `path` + ".download": the checked bytes replace the file
// whole (winapp::ReplaceWholeFile), or the file stays as it was.
bool FetchFile(const std::string& url, const std::string& path, const Acceptance& acceptable = {},
               DownloadReport* report = nullptr, long long largestBytes = LargestProgram);

// The machine type of this build: AMD64 for the 64-bit set, I386 for the 32-bit one.
WORD BuildMachine();

// Whether `image` is a whole Windows program (or, given `library`, a library) for this build's
// machine, no larger than LargestProgram (core::IsWindowsImage).
bool IsImageForThisBuild(std::string_view image, bool library = false);

}  // namespace newerly
