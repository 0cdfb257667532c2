#include "exclusion.h"

namespace core {

std::string JoinExclusionFields(std::string_view in) {
  // A NUL ends the text, as it ends the file for the text reader.
  in = in.substr(0, in.find('\0'));
  std::string joined;
  size_t i = 0, n = in.size();
  auto line_end = [&](size_t at) { return in[at] == '\r' || in[at] == '\n'; };
  // Steps over one line end (CR LF, a lone CR or a lone LF).
  auto skip_line_end = [&] {
    if (in[i] == '\r' && i + 1 < n && in[i + 1] == '\n') ++i;
    ++i;
  };
  while (i < n) {
    while (i < n && in[i] == ' ') ++i;
    std::string_view field;
    if (i < n && in[i] == '"') {
      // A quoted field runs to its closing quote; an unbalanced one ends at the line end. What
      // follows a closing quote up to the next comma or line end is not part of any field.
      size_t start = ++i;
      while (i < n && in[i] != '"' && !line_end(i)) ++i;
      field = in.substr(start, i - start);
      if (i < n && in[i] == '"') ++i;
      while (i < n && in[i] != ',' && !line_end(i)) ++i;
    } else {
      size_t start = i;
      while (i < n && in[i] != ',' && !line_end(i)) ++i;
      field = in.substr(start, i - start);
    }
    if (!joined.empty()) joined += ',';
    joined += field;
    if (i < n) {
      if (in[i] == ',') {
        ++i;
        // A comma at the very end of a line or of the file leaves one more, empty field.
        if (i >= n) {
          if (!joined.empty()) joined += ',';
        } else if (line_end(i)) {
          if (!joined.empty()) joined += ',';
          skip_line_end();
        }
      } else {
        skip_line_end();
      }
    }
  }
  return joined;
}

std::vector<std::string> SplitAtCommas(std::string_view text) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    pieces.emplace_back(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return pieces;
}

std::string ExclusionFileContent(std::string_view text) {
  std::string content;
  content.reserve(text.size() + text.size() / 4 + 2);
  for (const std::string& entry : SplitAtCommas(text)) {
    content += entry;
    content += "\r\n";
  }
  return content;
}

}  // namespace core
