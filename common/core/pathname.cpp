#include "pathname.h"

namespace qav {
namespace {

// One left-to-right pass over non-overlapping occurrences; an empty `from`
// leaves the text as it is.
std::u16string replaceAll(const std::u16string& text, const std::u16string& from,
                          const std::u16string& to) {
  if (from.empty()) return text;
  std::u16string out;
  size_t pos = 0;
  for (;;) {
    const size_t hit = text.find(from, pos);
    if (hit == std::u16string::npos) break;
    out.append(text, pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out.append(text, pos, std::u16string::npos);
  return out;
}

void shrinkRuns(std::u16string& text, const std::u16string& pair, const std::u16string& single) {
  while (text.find(pair) != std::u16string::npos) text = replaceAll(text, pair, single);
}

std::u16string parse(std::u16string w, int part) {
  const size_t colon = w.find(u':');
  std::u16string drive = colon == std::u16string::npos ? u"" : w.substr(0, colon + 1);
  w = replaceAll(w, drive, u"");

  const size_t slash = w.rfind(u'\\');
  const std::u16string folder = slash == std::u16string::npos ? u"" : w.substr(0, slash + 1);
  const std::u16string name = replaceAll(w, folder, u"");

  const size_t dot = name.rfind(u'.');
  std::u16string stem = dot == std::u16string::npos ? name : name.substr(0, dot + 1);
  std::u16string ext = replaceAll(name, stem, u"");
  if (ext.empty() || ext[0] != u'.') ext.insert(ext.begin(), u'.');
  while (!stem.empty() && stem.back() == u'.') stem.pop_back();

  switch (part) {
    case 1:
      for (char16_t& c : drive)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      return drive;
    case 2: return folder;
    case 3: return stem;
    case 4: return ext;
    default: return u"";
  }
}

}  // namespace

std::u16string 解析徑名(std::u16string& path, int part) {
  const std::u16string w = path;
  shrinkRuns(path, u"::", u":");
  shrinkRuns(path, u"\\\\", u"\\");
  shrinkRuns(path, u"..", u".");
  return parse(w, part);
}

std::u16string Get磁碟名(std::u16string& path) { return 解析徑名(path, 1); }
std::u16string Get路徑名(std::u16string& path) { return 解析徑名(path, 2); }
std::u16string Get主檔名(std::u16string& path) { return 解析徑名(path, 3); }
std::u16string Get副檔名(std::u16string& path) { return 解析徑名(path, 4); }

namespace stub {
std::u16string 解析徑名(const std::u16string& path, int part) { return parse(path, part); }
std::u16string Get磁碟名(const std::u16string& path) { return parse(path, 1); }
std::u16string Get路徑名(const std::u16string& path) { return parse(path, 2); }
std::u16string Get主檔名(const std::u16string& path) { return parse(path, 3); }
std::u16string Get副檔名(const std::u16string& path) { return parse(path, 4); }
}  // namespace stub

}  // namespace qav
