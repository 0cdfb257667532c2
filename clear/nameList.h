// The working list of cache entry names that a cache walk fills and a cache step goes through.
// It is not the progress window's hidden list box: under Wine every message to a control of the
// form layer costs a round trip to the wineserver (the control is found by a window property),
// several per name, and the box keeps a wide copy of every name besides. Here the names of one
// walk lie end to end in one block of text, each ended by a NUL so that it goes to the platform
// as it stands, and emptying the list keeps the block for the next walk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class NameList {
 public:
  void Clear() {
    text_.clear();
    starts_.clear();
    sizes_.clear();
  }
  // `size`: the bytes of the entry's stored file, as the cache reports them.
  void AddItem(std::string_view name, unsigned long long size = 0) {
    starts_.push_back(text_.size());
    sizes_.push_back(size);
    text_.append(name);
    text_.push_back('\0');
  }
  int ListCount() const { return static_cast<int>(starts_.size()); }
  // The name at `index` (0 to ListCount() - 1), NUL-terminated; valid until the list changes.
  std::string_view List(int index) const {
    size_t start = starts_[static_cast<size_t>(index)];
    size_t end = static_cast<size_t>(index) + 1 < starts_.size() ? starts_[static_cast<size_t>(index) + 1] : text_.size();
    return {text_.data() + start, end - start - 1};
  }
  unsigned long long Size(int index) const { return sizes_[static_cast<size_t>(index)]; }

 private:
  std::string text_;
  std::vector<size_t> starts_;
  std::vector<unsigned long long> sizes_;
};
