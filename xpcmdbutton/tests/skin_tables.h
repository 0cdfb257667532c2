// The button skin's colour tables, as they are written down, and a reader for them (the tests
// check the strip and the faces against these).
#pragma once

#include <windows.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

namespace skintables {

// Middle column (rows 0-20), middle row (columns 0-17, "4-13" for the flat run), side bands
// (rows 3, 10, 17: columns 1, 2, 15, 16 of cells 0, 1, 3, 4) and corners (rows split by " / ").
inline const char* const Text = R"(
| 0 | #003C74 | #003C74 | #C9C7BA | #003C74 | #003C74 |
| 1 | #FFFFFF | #D1CCC1 | #F5F4EA | #FFF0CF | #CEE7FF |
| 2 | #FEFEFE | #DCD8CF | #F5F4EA | #FDD889 | #BCD4F6 |
| 3 | #FCFCFB | #E5E4DD | #F5F4EA | #FCFCFB | #FCFCFB |
| 4 | #FAFAF9 | #E6E6E0 | #F5F4EA | #FAFAF9 | #FAFAF9 |
| 5 | #F8F8F6 | #E5E4DE | #F5F4EA | #F8F8F6 | #F8F8F6 |
| 6 | #F6F6F3 | #E4E3DC | #F5F4EA | #F6F6F3 | #F6F6F3 |
| 7 | #F6F6F2 | #E4E3DC | #F5F4EA | #F6F6F2 | #F6F6F2 |
| 8 | #F5F5F1 | #E3E3DB | #F5F4EA | #F5F5F1 | #F5F5F1 |
| 9 | #F4F4F0 | #E3E2DA | #F5F4EA | #F4F4F0 | #F4F4F0 |
| 10 | #F3F3EF | #E2E1DA | #F5F4EA | #F3F3EF | #F3F3EF |
| 11 | #F3F3EE | #E2E1D9 | #F5F4EA | #F3F3EE | #F3F3EE |
| 12 | #F2F2ED | #E2E1D9 | #F5F4EA | #F2F2ED | #F2F2ED |
| 13 | #F1F1ED | #E1E0D9 | #F5F4EA | #F1F1ED | #F1F1ED |
| 14 | #F1F1EC | #E1E0D8 | #F5F4EA | #F1F1EC | #F1F1EC |
| 15 | #F0F0EB | #E0E0D7 | #F5F4EA | #F0F0EB | #F0F0EB |
| 16 | #F0F0EA | #E0E0D7 | #F5F4EA | #F0F0EA | #F0F0EA |
| 17 | #ECEBE6 | #E2E2DA | #F5F4EA | #ECEBE6 | #ECEBE6 |
| 18 | #E2DFD6 | #EAE9E3 | #F5F4EA | #F8B330 | #89ADE4 |
| 19 | #D6D0C5 | #F2F1EE | #F5F4EA | #E59700 | #6982EE |
| 20 | #003C74 | #003C74 | #C9C7BA | #003C74 | #003C74 |
| 0 | #003C74 | #003C74 | #C9C7BA | #003C74 | #003C74 |
| 1 | #F4F4F0 | #D7D4CB | #F5F4EA | #FCCA69 | #A0BEEC |
| 2 | #F4F4F0 | #DDDBD3 | #F5F4EA | #FBCA6A | #A0BEEC |
| 3 | #F3F3EF | #E1E0D9 | #F5F4EA | #F3F3EF | #F3F3EF |
| 4–13 | #F3F3EF | #E2E1DA | #F5F4EA | #F3F3EF | #F3F3EF |
| 14 | #F2F2EE | #E2E1DB | #F5F4EA | #F2F2EE | #F2F2EE |
| 15 | #EEEDE7 | #E3E2DB | #F5F4EA | #FBCA6A | #A1BEED |
| 16 | #E8E5DF | #E4E3DC | #F5F4EA | #FCCA69 | #A0BEEC |
| 17 | #003C74 | #003C74 | #C9C7BA | #003C74 | #003C74 |
| 3 | #FDFDFC #FDFDFC #FBFBFA #F6F4F2 | #D8D4CB #DDDAD1 #E4E3DC #E5E4DD | #FEDF9A #FCD279 #FCD279 #FDE09B | #BAD3F5 #BAD3F6 #BAD3F5 #BAD3F6 |
| 10 | #F4F4F0 #F4F4F0 #EEEDE7 #E8E5DF | #D7D4CB #DDDBD3 #E3E2DB #E4E3DC | #FCCA69 #FBCA6A #FBCA6A #FCCA69 | #A0BEEC #A0BEEC #A1BEED #A0BEEC |
| 17 | #ECEBE6 #EBEBE5 #E4E2DA #E0DED4 | #DAD8CF #DFDED6 #E6E5DF #E6E5DF | #F9B435 #F8B535 #F8B535 #F8B435 | #89ADE4 #89ADE4 #89ADE4 #89ADE4 |
| 0 | #BCD4F6 #65869F #225583 / #65869F #557DA2 #C0CFDD / #225583 #BFCEDC #FEFEFE | #154C7D #577C99 #BCD4F6 / #D5DFE8 #557DA2 #6586A0 / #FEFEFD #BFCEDC #225583 | #154C7D #BFC7CA #E2DFD6 / #567B99 #4A7193 #A3AEB4 / #BCD4F6 #6A8BA3 #225583 | #DBD7CD #B6BDBD #154C7D / #B1B7B6 #486E90 #5E829E / #154C7D #6184A0 #BCD4F6 |
| 1 | #BCD4F6 #65869F #225583 / #65869F #466D8E #9DA8AC / #225583 #A0ABB1 #D6D0C6 | #154C7D #577C99 #BCD4F6 / #B1B7B7 #497092 #6586A0 / #DCD9D0 #A9B5BD #225583 | #154C7D #BCC5C7 #E6E6DF / #567B99 #4D7598 #B2C1CB / #BCD4F6 #6A8BA3 #225583 | #EDECE7 #C4CED2 #154C7D / #CAD3DA #4F779B #5E829E / #154C7D #6184A0 #BCD4F6 |
| 2 | #BCD4F6 #C9C7BA #C9C7BA / #C9C7BA #D8D6CA #EAE9DE / #C9C7BA #EAE9DE #F5F4EA | #C9C7BA #C9C7BA #BCD4F6 / #EEEDE2 #D8D6CA #C9C7BA / #F5F4EA #EAE9DE #C9C7BA | #C9C7BA #EEEDE2 #F5F4EA / #C9C7BA #D8D6CA #EAE9DE / #BCD4F6 #C9C7BA #C9C7BA | #F5F4EA #EEEDE2 #C9C7BA / #EEEDE2 #D8D6CA #C9C7BA / #C9C7BA #C9C7BA #BCD4F6 |
| 3 | #BCD4F6 #65869F #225583 / #65869F #8D9EA1 #EFE8D2 / #225583 #EEDCAD #FCD279 | #154C7D #577C99 #BCD4F6 / #F8EDD3 #8D9EA1 #6586A0 / #FCD279 #EEDCAD #225583 | #154C7D #EFB549 #F8B230 / #567B99 #848671 #E59700 / #BCD4F6 #6A8BA3 #225583 | #F8B330 #EDB547 #154C7D / #E59700 #83846F #5E829E / #154C7D #6184A0 #BCD4F6 |
| 4 | #BCD4F6 #65869F #225583 / #65869F #274D85 #CEE7FF / #225583 #BCD4F6 #BCD4F6 | #154C7D #577C99 #BCD4F6 / #CEE7FF #274D85 #6586A0 / #BCD4F6 #BCD4F6 #225583 | #154C7D #89ADE4 #89ADE4 / #567B99 #274D85 #4D7DC1 / #BCD4F6 #6A8BA3 #225583 | #89ADE4 #89ADE4 #154C7D / #6982EE #274D85 #5E829E / #154C7D #6184A0 #BCD4F6 |
)";

struct Tables {
  COLORREF middleColumn[5][21]{};
  COLORREF middleRow[5][18]{};
  COLORREF bands[5][3][4]{};          // cell, row (3, 10, 17), column (1, 2, 15, 16)
  COLORREF corners[5][4][3][3]{};     // cell, corner (top-left, top-right, bottom-left, bottom-right), row, column
  bool complete = false;
};

inline COLORREF Hex(const std::string& s) {
  unsigned v = std::stoul(s.substr(1), nullptr, 16);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// The cells of a table line, without the leading and trailing bars.
inline std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream in(line);
  std::string cell;
  std::getline(in, cell, '|');
  while (std::getline(in, cell, '|')) {
    size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
    if (a != std::string::npos) out.push_back(cell.substr(a, b - a + 1));
  }
  return out;
}

inline std::vector<COLORREF> Colours(const std::string& cell) {
  std::vector<COLORREF> out;
  for (size_t p = cell.find('#'); p != std::string::npos; p = cell.find('#', p + 1)) out.push_back(Hex(cell.substr(p, 7)));
  return out;
}

inline Tables Parse() {
  Tables t;
  std::stringstream in(Text);
  std::string line;
  std::vector<std::vector<std::string>> rows;
  while (std::getline(in, line))
    if (!line.empty()) rows.push_back(Cells(line));
  if (rows.size() != 38) return t;
  for (int y = 0; y < 21; ++y)
    for (int c = 0; c < 5; ++c) t.middleColumn[c][y] = Hex(rows[y][1 + c]);
  for (int r = 21; r < 30; ++r) {
    const std::string& key = rows[r][0];
    int from = key == "4–13" || key == "4-13" ? 4 : std::stoi(key), to = from == 4 ? 13 : from;
    for (int x = from; x <= to; ++x)
      for (int c = 0; c < 5; ++c) t.middleRow[c][x] = Hex(rows[r][1 + c]);
  }
  const int bandCells[4] = {0, 1, 3, 4};
  for (int r = 0; r < 3; ++r)
    for (int i = 0; i < 4; ++i) {
      auto colours = Colours(rows[30 + r][1 + i]);
      for (int b = 0; b < 4 && b < static_cast<int>(colours.size()); ++b) t.bands[bandCells[i]][r][b] = colours[b];
    }
  for (int c = 0; c < 5; ++c)
    for (int corner = 0; corner < 4; ++corner) {
      // The table's order: top-left, top-right, bottom-left, bottom-right.
      auto colours = Colours(rows[33 + c][1 + corner]);
      if (colours.size() != 9) return t;
      for (int i = 0; i < 9; ++i) t.corners[c][corner][i / 3][i % 3] = colours[i];
    }
  t.complete = true;
  return t;
}

}  // namespace skintables
