#include "text.h"

namespace winapp {

namespace {

std::wstring WideIn(UINT page, std::string_view text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string TextIn(UINT page, std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

UINT FindStoredCodePage() {
  // The registry value is the one the system sets its own ANSI code page from at start-up
  // (65001 where the user chose UTF-8 for the whole system); the locale's default is the same
  // everywhere else.
  wchar_t value[16] = {};
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    DWORD size = sizeof value - sizeof(wchar_t), type = 0;
    LONG rc = RegQueryValueExW(key, L"ACP", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    UINT page = 0;
    for (const wchar_t* p = value; rc == ERROR_SUCCESS && type == REG_SZ && *p >= L'0' && *p <= L'9' && page < 100000; ++p)
      page = page * 10 + (*p - L'0');
    if (page != 0 && IsValidCodePage(page)) return page;
  }
  DWORD page = 0;
  if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<wchar_t*>(&page), sizeof page / sizeof(wchar_t)) &&
      page != 0 && IsValidCodePage(page))
    return page;
  return GetACP();
}

}  // namespace

std::wstring Wide(std::string_view ansi) { return WideIn(CP_ACP, ansi); }

std::string Ansi(std::wstring_view wide) { return TextIn(CP_ACP, wide); }

std::string AnsiOf(BSTR text) { return text ? Ansi({text, SysStringLen(text)}) : std::string(); }

UINT StoredCodePage() {
  // Looked up once. A constant-initialised static needs no guard: a guarded one would bring the
  // thread library's once-only machinery into every program, some 30 KB. Two threads that both
  // look it up find the same page.
  static UINT page = 0;
  if (!page) page = FindStoredCodePage();
  return page;
}

bool AnsiIsStored() { return GetACP() == StoredCodePage(); }

std::string StoredText(std::wstring_view wide) { return TextIn(StoredCodePage(), wide); }

std::wstring WideOfStored(std::string_view stored) { return WideIn(StoredCodePage(), stored); }

bool IsAscii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool HasByteOrderMark(std::string_view bytes) {
  return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

std::string ToStored(std::string_view ansi) {
  if (AnsiIsStored() || IsAscii(ansi)) return std::string(ansi);
  return StoredText(Wide(ansi));
}

std::string FromStored(std::string_view stored) {
  if (AnsiIsStored() || IsAscii(stored)) return std::string(stored);
  return Ansi(WideOfStored(stored));
}

}  // namespace winapp
