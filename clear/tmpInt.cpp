#include <windows.h>

#include "cleaners.h"

bool IsTemporaryFileEntry(std::string_view name) { return name.find("Cookie") == std::string_view::npos; }
