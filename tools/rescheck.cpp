// Checks at build time what every shipped file carries for Windows and its users: an icon (where
// asked for), a version block with the file's own name and version, and a manifest for the
// file's processor (a 64-bit program asking for the 32-bit Common Controls does not start on
// Windows, though Wine runs it), asking to run as the invoker. Any file that lacks one fails the
// build with a line saying what is wrong.
//
//   rescheck STAMP FILE=ORIGINALNAME=VERSION=icon|noicon ...
//
// VERSION is the version text ("1.14"); the fixed version must be the same numbers ("1.14.0.0").
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Expected {
  std::string file, name, version;
  bool icon = false;
};

uint16_t U16(const Bytes& b, size_t at) { return at + 2 <= b.size() ? uint16_t(b[at] | b[at + 1] << 8) : 0; }
uint32_t U32(const Bytes& b, size_t at) { return at + 4 <= b.size() ? uint32_t(U16(b, at) | U16(b, at + 2) << 16) : 0; }

// A PE file's machine, kind and resources, as the loader and Explorer find them.
struct Image {
  uint16_t machine = 0;
  bool library = false;
  // type -> id -> bytes of the first language's data (named entries under id 0xFFFF... are kept
  // by name in `named`).
  std::map<uint32_t, std::map<uint32_t, Bytes>> byId;
  std::map<uint32_t, std::vector<Bytes>> named;
};

struct Section {
  uint32_t rva, size, raw, rawSize;
};

std::optional<size_t> Offset(const std::vector<Section>& sections, uint32_t rva) {
  for (const auto& s : sections)
    if (rva >= s.rva && rva < s.rva + std::max(s.size, s.rawSize)) return size_t(rva - s.rva + s.raw);
  return std::nullopt;
}

bool ReadImage(const Bytes& b, Image& image, std::string& why) {
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return why = "not a Windows program", false;
  size_t pe = U32(b, 0x3C);
  if (U32(b, pe) != 0x00004550) return why = "no PE header", false;
  image.machine = U16(b, pe + 4);
  uint16_t sectionCount = U16(b, pe + 6), optionalSize = U16(b, pe + 20);
  image.library = (U16(b, pe + 22) & 0x2000) != 0;
  size_t opt = pe + 24;
  uint16_t magic = U16(b, opt);
  size_t directories = opt + (magic == 0x20B ? 112 : 96);
  uint32_t resourceRva = U32(b, directories + 2 * 8);
  std::vector<Section> sections;
  for (size_t i = 0, at = opt + optionalSize; i < sectionCount; ++i, at += 40)
    sections.push_back({U32(b, at + 12), U32(b, at + 8), U32(b, at + 20), U32(b, at + 16)});
  if (!resourceRva) return true;  // no resources at all
  auto base = Offset(sections, resourceRva);
  if (!base) return why = "resource directory outside every section", false;
  // Three levels: type, name, language. Only the first language of each resource is taken.
  auto entries = [&](size_t dir, auto&& each) {
    uint16_t n = U16(b, dir + 12) + U16(b, dir + 14);
    for (uint16_t i = 0; i < n; ++i) each(U32(b, dir + 16 + 8 * i), U32(b, dir + 20 + 8 * i));
  };
  entries(*base, [&](uint32_t type, uint32_t typeAt) {
    if (!(typeAt & 0x80000000) || (type & 0x80000000)) return;  // named types are none of ours
    entries(*base + (typeAt & 0x7FFFFFFF), [&](uint32_t name, uint32_t nameAt) {
      if (!(nameAt & 0x80000000)) return;
      size_t languages = *base + (nameAt & 0x7FFFFFFF);
      uint32_t leaf = U32(b, languages + 20);
      if (leaf & 0x80000000) return;
      size_t data = *base + leaf;
      auto at = Offset(sections, U32(b, data));
      uint32_t size = U32(b, data + 4);
      if (!at || *at + size > b.size()) return;
      Bytes bytes(b.begin() + long(*at), b.begin() + long(*at + size));
      if (name & 0x80000000) image.named[type].push_back(std::move(bytes));
      else image.byId[type][name] = std::move(bytes);
    });
  });
  return true;
}

// The fixed version and the string values of a version block.
struct Version {
  uint32_t fileMs = 0, fileLs = 0;
  std::map<std::string, std::string> strings;
};

std::string Narrow(const Bytes& b, size_t at, size_t* end) {
  std::string s;
  while (at + 1 < b.size() && U16(b, at)) {
    s += char(U16(b, at) & 0x7F);
    at += 2;
  }
  *end = at + 2;
  return s;
}

size_t Align4(size_t at) { return (at + 3) & ~size_t(3); }

// Walks a version node: its key, its value, then its children, collecting strings of every
// StringTable met on the way.
void VersionNode(const Bytes& b, size_t at, size_t limit, int depth, Version& v) {
  uint16_t length = U16(b, at), valueLength = U16(b, at + 2), type = U16(b, at + 4);
  size_t end = std::min(limit, at + length), keyEnd = 0;
  std::string key = Narrow(b, at + 6, &keyEnd);
  size_t value = Align4(keyEnd);
  if (depth == 0 && valueLength >= 52 && U32(b, value) == 0xFEEF04BD) {
    v.fileMs = U32(b, value + 8);
    v.fileLs = U32(b, value + 12);
  }
  if (depth == 3) {  // String: key and its text
    size_t ignored;
    v.strings[key] = type == 1 && valueLength ? Narrow(b, value, &ignored) : std::string();
    return;
  }
  size_t child = Align4(value + (type == 1 ? valueLength * 2u : valueLength));
  while (child + 6 <= end && U16(b, child)) {
    VersionNode(b, child, end, depth + 1, v);
    child = Align4(child + U16(b, child));
  }
}

std::string Attribute(const std::string& text, size_t from, const std::string& name, size_t* at) {
  size_t p = text.find(name + "=\"", from);
  if (p == std::string::npos) return *at = std::string::npos, std::string();
  size_t start = p + name.size() + 2, stop = text.find('"', start);
  *at = stop;
  return text.substr(start, stop - start);
}

std::vector<std::string> Check(const Expected& e) {
  std::vector<std::string> faults;
  std::ifstream in(e.file, std::ios::binary);
  Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Image image;
  std::string why;
  if (b.empty()) return {"cannot be read"};
  if (!ReadImage(b, image, why)) return {why};
  const char* arch = image.machine == 0x8664 ? "amd64" : image.machine == 0x14C ? "x86" : nullptr;
  if (!arch) return {"machine type " + std::to_string(image.machine) + " is none of the builds'"};

  if (e.icon) {
    auto& groups = image.byId[14];
    Bytes group = !groups.empty() ? groups.begin()->second
                  : !image.named[14].empty() ? image.named[14].front() : Bytes();
    if (group.size() < 6 || U16(group, 4) == 0) faults.push_back("no icon");
    for (size_t i = 0, n = U16(group, 4); i < n; ++i)
      if (!image.byId[3].count(U16(group, 6 + 14 * i + 12))) faults.push_back("an icon image of its group is missing");
  }

  auto& versions = image.byId[16];
  if (versions.empty()) {
    faults.push_back("no version block");
  } else {
    Version v;
    const Bytes& block = versions.begin()->second;
    VersionNode(block, 0, block.size(), 0, v);
    std::istringstream parts(e.version);
    unsigned n[4] = {0, 0, 0, 0};
    char dot;
    parts >> n[0] >> dot >> n[1];
    uint32_t ms = n[0] << 16 | n[1], ls = n[2] << 16 | n[3];
    if (v.fileMs != ms || v.fileLs != ls) faults.push_back("fixed file version is not " + e.version + ".0.0");
    if (v.strings["FileVersion"] != e.version)
      faults.push_back("FileVersion \"" + v.strings["FileVersion"] + "\", not \"" + e.version + "\"");
    if (v.strings["OriginalFilename"] != e.name)
      faults.push_back("OriginalFilename \"" + v.strings["OriginalFilename"] + "\", not \"" + e.name + "\"");
  }

  // A program's manifest is resource 1, a library's resource 2 (the loader reads no other).
  auto& manifests = image.byId[24];
  uint32_t id = image.library ? 2 : 1;
  if (!manifests.count(id)) {
    faults.push_back("no manifest (RT_MANIFEST " + std::to_string(id) + ")");
  } else {
    std::string text(manifests[id].begin(), manifests[id].end());
    size_t at = 0, identities = 0;
    while ((at = text.find("<assemblyIdentity", at)) != std::string::npos) {
      size_t close = text.find('>', at), found;
      std::string value = Attribute(text.substr(at, close - at), 0, "processorArchitecture", &found);
      if (found == std::string::npos) {
        if (identities > 0) faults.push_back("a dependency names no processorArchitecture");
      } else if (value != arch && value != "*") {
        faults.push_back("manifest asks for processorArchitecture \"" + value + "\" in a file for " + arch);
      }
      ++identities;
      at = close;
    }
    if (identities == 0) faults.push_back("manifest without assemblyIdentity");
    if (!image.library && text.find("level=\"asInvoker\"") == std::string::npos)
      faults.push_back("manifest does not ask to run as the invoker (asInvoker)");
  }
  return faults;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: rescheck STAMP FILE=NAME=VERSION=icon|noicon...\n";
    return 2;
  }
  int failed = 0;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    Expected e;
    size_t a = arg.rfind('='), b2 = arg.rfind('=', a - 1), c = arg.rfind('=', b2 - 1);
    if (a == std::string::npos || b2 == std::string::npos || c == std::string::npos) {
      std::cerr << "rescheck: bad argument " << arg << "\n";
      return 2;
    }
    e.file = arg.substr(0, c);
    e.name = arg.substr(c + 1, b2 - c - 1);
    e.version = arg.substr(b2 + 1, a - b2 - 1);
    e.icon = arg.substr(a + 1) == "icon";
    for (const std::string& fault : Check(e)) {
      std::cerr << e.file << ": " << fault << "\n";
      ++failed;
    }
  }
  if (failed) return 1;
  std::ofstream(argv[1]) << "checked\n";
  return 0;
}
