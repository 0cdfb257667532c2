// The control ID that a control's or menu item's name gives its window or command: FNV-1a folded
// into the range of dialog control IDs the programs use. Stable across processes and builds, so
// that another program (the setup's helper choosing the tray's Exit, a test) finds an item by
// its name; every user of the number takes it from here.
#pragma once

#include <string_view>

namespace core {

constexpr int ControlId(std::string_view name) {
  unsigned hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return 1000 + static_cast<int>(hash % 30000u);
}

}  // namespace core
