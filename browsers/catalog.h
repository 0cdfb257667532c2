// The one list of the browsers the module knows: their names, where each keeps its profiles, the
// file names of its programs and the folders it installs them to.
#pragma once

#include "browsers.h"

namespace browsers {

enum class Family { Chromium, Firefox };

// How a browser lays out its profiles.
enum class Layout {
  UserData,  // Chromium's "User Data" folder under the local application data: profiles inside
  Opera,     // Opera's folder under the roaming and local "Opera Software": itself a profile
  Mozilla,   // profiles.ini and the profiles under the roaming folder, their caches under the local
};

struct CatalogEntry {
  BrowserId id;
  const char* name;       // as the progress window and the questions name it
  Family family;
  Layout layout;
  const wchar_t* folder;  // its data folder, relative to the application data folder of its layout
  // The file names of its programs and the folders they lie in, each relative to Program Files,
  // Program Files (x86), the local application data or its Programs folder: a program of the
  // same file name anywhere else is some other program.
  const wchar_t* images[2];
  const wchar_t* installs[2];
};

// In the order a run names them.
inline constexpr CatalogEntry Catalog[] = {
    {BrowserChrome, "Chrome", Family::Chromium, Layout::UserData, L"Google\\Chrome\\User Data",
     {L"chrome.exe"}, {L"Google\\Chrome\\Application"}},
    {BrowserChromeBeta, "Chrome Beta", Family::Chromium, Layout::UserData, L"Google\\Chrome Beta\\User Data",
     {L"chrome.exe"}, {L"Google\\Chrome Beta\\Application"}},
    {BrowserChromeDev, "Chrome Dev", Family::Chromium, Layout::UserData, L"Google\\Chrome Dev\\User Data",
     {L"chrome.exe"}, {L"Google\\Chrome Dev\\Application"}},
    {BrowserChromeCanary, "Chrome Canary", Family::Chromium, Layout::UserData, L"Google\\Chrome SxS\\User Data",
     {L"chrome.exe"}, {L"Google\\Chrome SxS\\Application"}},
    {BrowserEdge, "Edge", Family::Chromium, Layout::UserData, L"Microsoft\\Edge\\User Data",
     {L"msedge.exe"}, {L"Microsoft\\Edge\\Application"}},
    {BrowserEdgeBeta, "Edge Beta", Family::Chromium, Layout::UserData, L"Microsoft\\Edge Beta\\User Data",
     {L"msedge.exe"}, {L"Microsoft\\Edge Beta\\Application"}},
    {BrowserEdgeDev, "Edge Dev", Family::Chromium, Layout::UserData, L"Microsoft\\Edge Dev\\User Data",
     {L"msedge.exe"}, {L"Microsoft\\Edge Dev\\Application"}},
    {BrowserEdgeCanary, "Edge Canary", Family::Chromium, Layout::UserData, L"Microsoft\\Edge SxS\\User Data",
     {L"msedge.exe"}, {L"Microsoft\\Edge SxS\\Application"}},
    {BrowserBrave, "Brave", Family::Chromium, Layout::UserData, L"BraveSoftware\\Brave-Browser\\User Data",
     {L"brave.exe"}, {L"BraveSoftware\\Brave-Browser\\Application"}},
    {BrowserVivaldi, "Vivaldi", Family::Chromium, Layout::UserData, L"Vivaldi\\User Data",
     {L"vivaldi.exe"}, {L"Vivaldi\\Application"}},
    {BrowserOpera, "Opera", Family::Chromium, Layout::Opera, L"Opera Software\\Opera Stable",
     {L"opera.exe"}, {L"Opera"}},
    {BrowserOperaGX, "Opera GX", Family::Chromium, Layout::Opera, L"Opera Software\\Opera GX Stable",
     {L"opera.exe"}, {L"Opera GX"}},
    {BrowserChromium, "Chromium", Family::Chromium, Layout::UserData, L"Chromium\\User Data",
     {L"chrome.exe"}, {L"Chromium\\Application"}},
    {BrowserFirefox, "Firefox", Family::Firefox, Layout::Mozilla, L"Mozilla\\Firefox",
     {L"firefox.exe"}, {L"Mozilla Firefox"}},
    {BrowserLibreWolf, "LibreWolf", Family::Firefox, Layout::Mozilla, L"librewolf",
     {L"librewolf.exe"}, {L"LibreWolf"}},
    {BrowserWaterfox, "Waterfox", Family::Firefox, Layout::Mozilla, L"Waterfox",
     {L"waterfox.exe"}, {L"Waterfox"}},
    {BrowserFloorp, "Floorp", Family::Firefox, Layout::Mozilla, L"Floorp",
     {L"floorp.exe"}, {L"Ablaze Floorp"}},
    {BrowserZen, "Zen", Family::Firefox, Layout::Mozilla, L"zen",
     {L"zen.exe"}, {L"Zen Browser"}},
};
static_assert(sizeof Catalog / sizeof Catalog[0] == BrowserCount, "every browser once in the list");

// The entry of a browser; null for a number the list does not hold.
inline const CatalogEntry* CatalogOf(int id) {
  for (const CatalogEntry& e : Catalog)
    if (e.id == id) return &e;
  return nullptr;
}

}  // namespace browsers
