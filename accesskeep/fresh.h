// The database a fresh installation holds, and the one repair a host makes to it before the
// control is asked anything. Kept apart from the rest of the database code, and built on winapp's
// file kit alone, so that a host linking these few lines takes none of the control's own
// reading, writing and password code with them.
#pragma once

#include <string>

namespace accesskeep {

// The one user "default", without a password, and the welcome still to come. The build lays the
// program folder's copy down from this very line.
#define ACCESSKEEP_FRESH_DATABASE "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=0\r\nShowWelcome=0\r\n"
constexpr const char* DefaultUser = "default";

// Writes the fresh installation's database at `path`, whole or not at all.
bool WriteFreshDatabase(const std::string& path);

// Makes sure the database at `path` holds the user `name`, added as CreateUser adds one (the next
// slot and the count), every other entry of the file staying as it is. A count that is not a
// number starts the database afresh, as the control does; one the control refuses (outside 0 to
// 32766) is left alone.
void EnsureUser(const std::string& path, const char* name);

}  // namespace accesskeep
