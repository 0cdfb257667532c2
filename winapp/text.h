// Text between the programs' ANSI code page and the wide strings of COM, in one place; and between
// the ANSI code page and the code page the stored files are written in.
//
// The programs declare the UTF-8 code page in their manifests (Windows 10 1903 and later, and
// Wine), so that every ANSI call takes any folder name. The files they share (settings,
// exclusion list, user database) keep the bytes earlier versions wrote: text in the system's own
// ANSI code page. Reading such a file converts its text from that code page; writing converts it
// back. Where the process runs in the system's code page (older Windows, a script host without
// the manifest), both are the same and nothing is converted.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace winapp {

std::wstring Wide(std::string_view ansi);
std::string Ansi(std::wstring_view wide);
// The text of a BSTR (null reads as empty).
std::string AnsiOf(BSTR text);

// The code page of the stored files' text: the system's ANSI code page as the registry names it
// (what GetACP gives a program without the UTF-8 declaration), else the system locale's.
UINT StoredCodePage();
// True when the process's ANSI code page is the stored files' own.
bool AnsiIsStored();
// Wide text as a stored file holds it (characters the code page lacks become their nearest
// ones, as the ANSI conversion always made them), and back.
std::string StoredText(std::wstring_view wide);
std::wstring WideOfStored(std::string_view stored);
// Between the process's ANSI text and a stored file's bytes. Unchanged when the code pages are
// the same.
std::string ToStored(std::string_view ansi);
std::string FromStored(std::string_view stored);
// True when the bytes are all ASCII, which every ANSI code page and UTF-8 read alike.
bool IsAscii(std::string_view bytes);
// True when a file's bytes begin with a UTF-16 or UTF-8 byte-order mark: the profile functions
// read and write such a file in its own encoding, whatever the code page, so it is not converted.
bool HasByteOrderMark(std::string_view bytes);

}  // namespace winapp
