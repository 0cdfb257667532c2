#include <windows.h>

#include "cleaners.h"

bool IsTemporaryFileEntry(std::string_view name) { return name.find("Cookie") == std::string_view::npos; }

bool IsCookieEntry(std::string_view name) { return name.substr(0, 6) == "Cookie"; }

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  if (!upper.empty()) CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

std::vector<std::string> UpperCaseEntries(const std::vector<std::string>& entries) {
  std::vector<std::string> upper;
  upper.reserve(entries.size());
  for (const std::string& e : entries) upper.push_back(UpperCase(e));
  return upper;
}

bool IsExcluded(std::string_view name, const std::vector<std::string>& upperEntries) {
  if (upperEntries.empty()) return false;
  std::string upperName = UpperCase(name);
  // An empty entry (a trailing comma, as the editor's own example "yahoo," has, or an empty
  // line) names no site: it would otherwise occur in every name and spare every cookie. The
  // first entry that occurs decides: the later ones cannot clear the mark.
  for (const std::string& entry : upperEntries)
    if (!entry.empty() && upperName.find(entry) != std::string::npos) return true;
  return false;
}
