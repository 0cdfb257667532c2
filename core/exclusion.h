// The cookie exclusion list as text: how the file's fields are read and joined, and how an edited
// text is split into the file's entries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

// Reads the list field by field (a field ends at a comma or a line end, leading blanks are
// skipped, enclosing double quotes dropped, an empty line or a doubled comma gives an empty
// field) and joins the fields with a comma put in front of a field only after a non-empty text.
// A NUL byte ends the text; CR LF, a lone CR and a lone LF all end a line.
std::string JoinExclusionFields(std::string_view content);

// Splits at every comma, keeping empty pieces; an empty text gives no pieces.
std::vector<std::string> SplitAtCommas(std::string_view text);

// The file's bytes for a text: split at every comma, untrimmed, one entry a line with CR LF.
std::string ExclusionFileContent(std::string_view text);

}  // namespace core
