#include "filelist.h"

namespace qav {

Selection parseSelection(const std::u16string& text) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (;;) {
    size_t nul = text.find(u'\0', start);
    std::u16string part = text.substr(start, nul == std::u16string::npos ? nul : nul - start);
    if (!part.empty()) parts.push_back(part);
    if (nul == std::u16string::npos) break;
    start = nul + 1;
  }
  Selection s;
  if (parts.empty()) return s;
  if (parts.size() == 1) {
    // One full path: the folder up to its last "\", the rest is the name.
    size_t slash = parts[0].find_last_of(u'\\');
    s.folder = slash == std::u16string::npos ? std::u16string() : parts[0].substr(0, slash + 1);
    s.names.push_back(parts[0].substr(s.folder.size()));
    if (s.names.back().empty()) s.names.clear();
  } else {
    s.folder = parts[0];
    s.names.assign(parts.begin() + 1, parts.end());
  }
  if (!s.folder.empty() && s.folder.back() != u'\\') s.folder += u'\\';
  return s;
}

std::u16string defaultOutputName(const std::u16string& firstName) {
  size_t dot = firstName.find_last_of(u'.');
  return dot == std::u16string::npos ? firstName : firstName.substr(0, dot);
}

}  // namespace qav
