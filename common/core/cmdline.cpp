#include "cmdline.h"

#include <vector>

namespace qav {

std::u16string SplitCommandLine(const std::u16string& commandLine) {
  // The trailing space closes the last token like any other.
  const std::u16string s = commandLine + u' ';
  std::u16string result;
  size_t pos = 0;
  while (pos < s.size()) {
    std::u16string token;
    if (s[pos] == u'"') {
      // The closing quote is searched for behind the opening one, so `" x" y`
      // gives " x" rather than a token of negative length.
      const size_t close = s.find(u"\" ", pos + 1);
      if (close == std::u16string::npos) {
        // Never closed: the rest of the command line (without the space added
        // above) is the last token.
        token = s.substr(pos + 1, s.size() - 1 - (pos + 1));
        pos = s.size();
      } else {
        token = s.substr(pos + 1, close - (pos + 1));
        pos = close + 2;
      }
    } else {
      const size_t space = s.find(u' ', pos);  // always found: s ends with one
      token = s.substr(pos, space - pos);
      pos = space + 1;
    }
    result += u',';
    result += token;
  }
  return result.substr(1);
}

CommandLineAction ShapeCommandLine(const std::u16string& list) {
  std::vector<std::u16string> paths;
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(u',', start);
    const size_t end = comma == std::u16string::npos ? list.size() : comma;
    if (end > start) paths.push_back(list.substr(start, end - start));
    if (comma == std::u16string::npos) break;
    start = comma + 1;
  }

  CommandLineAction action;
  if (paths.empty()) return action;
  if (paths.size() == 1) {
    action.kind = CommandLineAction::Kind::Restore;
    action.archivePath = paths[0];
    return action;
  }
  action.kind = CommandLineAction::Kind::Pack;
  const size_t lastSlash = paths[0].rfind(u'\\');
  if (lastSlash != std::u16string::npos) action.selection = paths[0].substr(0, lastSlash + 1);
  for (const std::u16string& p : paths) {
    const size_t slash = p.rfind(u'\\');
    action.selection += u'\0';
    action.selection += slash == std::u16string::npos ? p : p.substr(slash + 1);
  }
  return action;
}

}  // namespace qav
