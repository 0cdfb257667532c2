#include "browserdata.h"

namespace core {

const JsonValue* JsonValue::Member(std::string_view name) const {
  if (kind != Object) return nullptr;
  for (const JsonMember& member : members)
    if (member.name == name) return &member.value;
  return nullptr;
}

namespace {

class JsonReader {
 public:
  JsonReader(std::string_view text, int maxDepth) : s_(text), maxDepth_(maxDepth) {}

  bool Document(JsonValue& out) {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") i_ = 3;
    if (!Value(out, 0)) return false;
    Blanks();
    return i_ == s_.size();
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
  int maxDepth_;

  void Blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  bool Take(char c) {
    Blanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  bool Value(JsonValue& v, int depth) {
    if (depth > maxDepth_) return false;
    Blanks();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '{') return ObjectValue(v, depth);
    if (c == '[') return ArrayValue(v, depth);
    if (c == '"') {
      v.kind = JsonValue::String;
      return StringValue(v.text);
    }
    if (c == 't' || c == 'f') {
      v.kind = JsonValue::Bool;
      v.text = c == 't' ? "true" : "false";
      return Word(v.text);
    }
    if (c == 'n') {
      v.kind = JsonValue::Null;
      return Word("null");
    }
    return NumberValue(v);
  }

  bool ObjectValue(JsonValue& v, int depth) {
    v.kind = JsonValue::Object;
    ++i_;
    if (Take('}')) return true;
    do {
      Blanks();
      std::string key;
      if (i_ >= s_.size() || s_[i_] != '"' || !StringValue(key) || !Take(':')) return false;
      v.members.push_back({std::move(key), JsonValue{}});
      if (!Value(v.members.back().value, depth + 1)) return false;
    } while (Take(','));
    return Take('}');
  }

  bool ArrayValue(JsonValue& v, int depth) {
    v.kind = JsonValue::Array;
    ++i_;
    if (Take(']')) return true;
    do {
      v.items.emplace_back();
      if (!Value(v.items.back(), depth + 1)) return false;
    } while (Take(','));
    return Take(']');
  }

  bool NumberValue(JsonValue& v) {
    size_t start = i_;
    auto digits = [&] {
      size_t from = i_;
      while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
      return i_ > from;
    };
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    if (i_ < s_.size() && s_[i_] == '0') {
      ++i_;
    } else if (!digits()) {
      return false;
    }
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      if (!digits()) return false;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (!digits()) return false;
    }
    v.kind = JsonValue::Number;
    v.text = std::string(s_.substr(start, i_ - start));
    return true;
  }

  bool Hex4(unsigned& code) {
    if (s_.size() - i_ < 4) return false;
    code = 0;
    for (int k = 0; k < 4; ++k) {
      char c = s_[i_++];
      code <<= 4;
      if (c >= '0' && c <= '9') code |= c - '0';
      else if (c >= 'a' && c <= 'f') code |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') code |= c - 'A' + 10;
      else return false;
    }
    return true;
  }

  static void Utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // At the opening quote.
  bool StringValue(std::string& out) {
    ++i_;
    out.clear();
    while (i_ < s_.size()) {
      unsigned char c = static_cast<unsigned char>(s_[i_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned code;
          if (!Hex4(code)) return false;
          // A high surrogate takes its low one along; one left alone stands as U+FFFD.
          if (code >= 0xD800 && code < 0xDC00) {
            unsigned low;
            if (s_.substr(i_, 2) == "\\u") {
              size_t at = i_;
              i_ += 2;
              if (Hex4(low) && low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
              } else {
                i_ = at;
                code = 0xFFFD;
              }
            } else {
              code = 0xFFFD;
            }
          } else if (code >= 0xDC00 && code < 0xE000) {
            code = 0xFFFD;
          }
          Utf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
};

void CollectBookmarkUrls(const JsonValue& node, std::vector<std::string>& urls, int depth) {
  if (depth > 200) return;
  if (node.kind == JsonValue::Object) {
    const JsonValue* type = node.Member("type");
    const JsonValue* url = node.Member("url");
    if (type && type->kind == JsonValue::String && type->text == "url" && url && url->kind == JsonValue::String)
      urls.push_back(url->text);
    for (const JsonMember& member : node.members) CollectBookmarkUrls(member.value, urls, depth + 1);
  } else if (node.kind == JsonValue::Array) {
    for (const JsonValue& item : node.items) CollectBookmarkUrls(item, urls, depth + 1);
  }
}

// One INI line's pieces: a section header or a key and its value, blanks around them removed.
struct IniReader {
  std::string_view text;
  size_t at = 0;

  static std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  }
  // False at the end. `section` is set for a header line, `key`/`value` for a key line.
  bool Next(std::string_view& section, std::string_view& key, std::string_view& value, bool& header) {
    while (at < text.size()) {
      size_t end = text.find_first_of("\r\n", at);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = Trim(text.substr(at, end - at));
      at = end + 1;
      if (line.empty() || line[0] == ';' || line[0] == '#') continue;
      if (line.front() == '[') {
        size_t close = line.find(']');
        if (close == std::string_view::npos) continue;
        section = Trim(line.substr(1, close - 1));
        header = true;
        return true;
      }
      size_t eq = line.find('=');
      if (eq == std::string_view::npos) continue;
      key = Trim(line.substr(0, eq));
      value = Trim(line.substr(eq + 1));
      header = false;
      return true;
    }
    return false;
  }
};

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t k = 0; k < prefix.size(); ++k) {
    char a = s[k], b = prefix[k];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

bool IsAbsoluteDrivePath(std::string_view path) {
  if (path.size() < 4) return false;
  char d = path[0];
  if (!((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z')) || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
    return false;
  return IsPlainRelativePath(path.substr(3));
}

void AddProfile(std::vector<FirefoxProfilePath>& out, std::string_view path, bool relative) {
  if (relative ? !IsPlainRelativePath(path) : !IsAbsoluteDrivePath(path)) return;
  FirefoxProfilePath p{std::string(path), relative};
  for (const auto& known : out)
    if (known == p) return;
  out.push_back(std::move(p));
}

}  // namespace

bool ParseJson(std::string_view text, JsonValue& out, int maxDepth) {
  out = JsonValue{};
  return JsonReader(text, maxDepth).Document(out);
}

std::vector<std::string> ChromiumProfileNames(std::string_view localState) {
  std::vector<std::string> names;
  JsonValue root;
  if (!ParseJson(localState, root)) return names;
  const JsonValue* profile = root.Member("profile");
  const JsonValue* cache = profile ? profile->Member("info_cache") : nullptr;
  if (!cache) return names;
  for (const JsonMember& member : cache->members)
    if (IsPlainFolderName(member.name)) names.push_back(member.name);
  return names;
}

std::vector<std::string> ChromiumBookmarkUrls(std::string_view bookmarks, bool& ok) {
  std::vector<std::string> urls;
  JsonValue root;
  ok = ParseJson(bookmarks, root);
  if (ok) CollectBookmarkUrls(root, urls, 0);
  return urls;
}

std::vector<FirefoxProfilePath> FirefoxProfilePaths(std::string_view profilesIni, std::string_view installsIni) {
  std::vector<FirefoxProfilePath> out;
  // profiles.ini: a profile section names its folder and says whether that is relative.
  IniReader ini{profilesIni};
  std::string_view section, key, value;
  bool header = false, inProfile = false, relative = true;
  std::string path;
  auto flush = [&] {
    if (inProfile && !path.empty()) AddProfile(out, path, relative);
    path.clear();
    relative = true;
  };
  while (ini.Next(section, key, value, header)) {
    if (header) {
      flush();
      inProfile = StartsWithNoCase(section, "Profile");
    } else if (inProfile && key == "Path") {
      path = std::string(value);
    } else if (inProfile && key == "IsRelative") {
      relative = value != "0";
    }
  }
  flush();
  // installs.ini: each installation's default profile.
  IniReader installs{installsIni};
  while (installs.Next(section, key, value, header)) {
    if (header || key != "Default" || value.empty()) continue;
    bool absolute = value.size() > 1 && value[1] == ':';
    AddProfile(out, value, !absolute);
  }
  return out;
}

bool IsPlainFolderName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
        c == '"' || c == '<' || c == '>' || c == '|')
      return false;
  // The platform drops trailing dots and blanks from a name: such a name would mean another folder.
  return name.back() != '.' && name.back() != ' ';
}

bool IsPlainRelativePath(std::string_view path) {
  if (path.empty()) return false;
  size_t start = 0;
  for (;;) {
    size_t sep = path.find_first_of("/\\", start);
    std::string_view part = path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    if (!IsPlainFolderName(part)) return false;
    if (sep == std::string_view::npos) return true;
    start = sep + 1;
  }
}

}  // namespace core
