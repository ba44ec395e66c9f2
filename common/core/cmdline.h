// The command line of qav: splitting it into a list of paths, and deciding from
// that list whether to restore one archive or to pack several files.
#pragma once
#include <string>

namespace qav {

// Turns the command-line text after the program name into one comma-separated
// list, quotes removed. A token that starts with a double quote runs to the next
// double quote followed by a space; any other token runs to the next space, so a
// run of spaces yields empty tokens. Commas inside paths are not special here.
// A quote that is never closed takes the rest of the text as the last token.
// An empty command line gives "".
std::u16string SplitCommandLine(const std::u16string& commandLine);

struct CommandLineAction {
  enum class Kind { None, Restore, Pack };
  Kind kind = Kind::None;
  // Restore: the archive path.
  std::u16string archivePath;
  // Pack: folder of the first path (up to and including its last "\"), NUL,
  // bare name 1, NUL, bare name 2 ... -- the shape the multi-select file
  // picker returns.
  std::u16string selection;
};

// What a list from SplitCommandLine asks for. The list is split at every comma
// (so a path holding a comma becomes two); empty elements -- from runs of spaces
// or doubled commas -- name no file and are dropped. One path left: restore it;
// two or more: pack them, all taken from the folder of the first; none: nothing.
CommandLineAction ShapeCommandLine(const std::u16string& list);

}  // namespace qav
