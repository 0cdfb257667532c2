// The browsers' own small text files that a clearing run reads: the JSON of a Chromium-family
// `Local State` and `Bookmarks`, and the INI text of Firefox's `profiles.ini` and `installs.ini`.
// Plain C++ on bytes, so that damaged or hostile files can be fuzzed natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

struct JsonMember;

// A JSON value as far as the readers need it: strings are UTF-8, numbers kept as their text.
struct JsonValue {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  std::string text;  // a string's value, a number's text, "true"/"false"
  std::vector<JsonValue> items;                            // an array's items
  std::vector<JsonMember> members;  // an object's members, in file order
  // The member of that name (the first one), or null when there is none or this is no object.
  const JsonValue* Member(std::string_view name) const;
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

// Parses one JSON text (RFC 8259; a UTF-8 byte-order mark is skipped). False for anything that
// is not JSON, for nesting deeper than `maxDepth` and for trailing text.
bool ParseJson(std::string_view text, JsonValue& out, int maxDepth = 200);

// The profile folders a Chromium-family `Local State` names (the keys of profile.info_cache),
// only those that are plain folder names. Empty for a file that is not JSON.
std::vector<std::string> ChromiumProfileNames(std::string_view localState);

// Every address a Chromium-family `Bookmarks` file keeps (nodes of type "url"). `ok` is false
// when the file is not JSON: then no address can be known to be a bookmark.
std::vector<std::string> ChromiumBookmarkUrls(std::string_view bookmarks, bool& ok);

// A profile folder named by profiles.ini or installs.ini: a path relative to the Firefox folder
// (with '/' or '\' between its folder names) or an absolute one.
struct FirefoxProfilePath {
  std::string path;
  bool relative = true;
  bool operator==(const FirefoxProfilePath&) const = default;
};

// The profiles of profiles.ini ([Profile*] sections: Path=, IsRelative=) and installs.ini (the
// Default= of each install section, relative unless it is an absolute path). Relative paths that
// would leave the Firefox folder are dropped.
std::vector<FirefoxProfilePath> FirefoxProfilePaths(std::string_view profilesIni, std::string_view installsIni);

// A single folder name a profile list may name: not empty, not "." or "..", without a path
// separator, a drive colon or a control character.
bool IsPlainFolderName(std::string_view name);
// A relative path of plain folder names separated by '/' or '\'.
bool IsPlainRelativePath(std::string_view path);

}  // namespace core
