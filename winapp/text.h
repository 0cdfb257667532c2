// Text between the programs' ANSI code page and the wide strings of COM, in one place.
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

}  // namespace winapp
