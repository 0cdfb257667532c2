// What the update checker reads from bytes a server sent: the length an HTTP answer announces,
// whether a file is a Windows program or library of a given machine type, a value of the signed
// version list, and the update folder of each processor. Plain C++, built for Windows with the
// program and natively for the fuzzers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace core {

// Machine types of the PE file header.
constexpr unsigned MachineI386 = 0x014C;
constexpr unsigned MachineAmd64 = 0x8664;

// The value of the Content-Length header among `headers` (lines ending in LF or CR LF, the name
// without regard to case); -1 when there is none, it holds no digits or it passes 2^50.
long long ContentLengthOf(std::string_view headers);

// Whether `image` is a whole Windows image for `machine`: the MZ header, the PE signature, that
// machine, an executable image, a library (`library`) or a program (otherwise), the optional
// header of that bitness, and every section's data inside the file.
bool IsWindowsImage(std::string_view image, unsigned machine, bool library);

// The machine type of a Windows image's file header (of a program or a library), 0 when `image`
// is not one.
unsigned MachineOf(std::string_view image);

// The value of `key` in `section` of an INI text, read as the platform's profile functions read
// a file: lines end in LF (a CR before it dropped), the section and key names match without regard
// to case and to the blanks around them, the first such key of the first such section counts, and
// the value loses the blanks around it. Nothing when the key is not there.
std::optional<std::string> ProfileValue(std::string_view text, std::string_view section, std::string_view key);

// The update folder of the programs of one processor: the 64-bit set keeps the folder itself
// (where every earlier checker looks), the 32-bit set its subfolder "x86/". Empty for another
// machine type. `base` ends in "/".
std::string UpdateFolderFor(const std::string& base, unsigned machine);

}  // namespace core
