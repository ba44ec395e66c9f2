#include "install_rules.h"

#include "archive.h"
#include "pathname.h"

namespace qavstub {

bool staysInside(const std::u16string& folderName) {
  size_t begin = 0, end = folderName.size();
  if (begin < end && folderName[begin] == u'\\') ++begin;
  if (end > begin && folderName[end - 1] == u'\\') --end;
  if (begin == end) return false;
  // Each part must be a name Windows keeps as written: isBareFileName refuses
  // ":", "/", empty parts, trailing dots and spaces ("." and ".." among them)
  // and device names.
  for (size_t from = begin; from <= end;) {
    size_t to = folderName.find(u'\\', from);
    if (to == std::u16string::npos || to > end) to = end;
    if (!qav::isBareFileName(folderName.substr(from, to - from))) return false;
    from = to + 1;
  }
  return true;
}

std::u16string programFilesTarget(std::u16string programFiles, const std::u16string& folderName) {
  while (!programFiles.empty() && programFiles.back() == u'\\') programFiles.pop_back();
  size_t begin = 0, end = folderName.size();
  if (begin < end && folderName[begin] == u'\\') ++begin;
  if (end > begin && folderName[end - 1] == u'\\') --end;
  return programFiles + u"\\" + folderName.substr(begin, end - begin) + u"\\";
}

std::u16string selfExtractTarget(const std::u16string& ownPath) {
  return qav::stub::Get磁碟名(ownPath) + qav::stub::Get路徑名(ownPath) +
         qav::stub::Get主檔名(ownPath) + u"\\";
}

namespace {
std::u16string asciiLower(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return s;
}
}  // namespace

bool isComponent(const std::u16string& name) {
  if (name.size() < 4) return false;
  const std::u16string tail = asciiLower(name.substr(name.size() - 4));
  return tail == u".dll" || tail == u".ocx";
}

std::u16string defaultIconType(const std::u16string& mainProgram) {
  std::u16string type = asciiLower(qav::stub::Get副檔名(mainProgram).substr(1, 3));
  return type == u"bat" ? std::u16string(u"cmd") : type;
}

void splitCommand(const std::u16string& command, std::u16string& program,
                  std::u16string& parameters) {
  const size_t space = command.find(u' ');
  program = command.substr(0, space);
  parameters = space == std::u16string::npos ? std::u16string() : command.substr(space);
}

}  // namespace qavstub
