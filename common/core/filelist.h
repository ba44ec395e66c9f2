// The selection of files to pack, as the multi-select file picker (or the
// command line) delivers it, turned into a folder and bare names.
#pragma once
#include <string>
#include <vector>

namespace qav {

struct Selection {
  std::u16string folder;             // always ends with "\" (unless empty)
  std::vector<std::u16string> names; // in the order delivered
};

// "folder NUL name1 NUL name2 ..." or one full path. Empty parts are dropped.
Selection parseSelection(const std::u16string& text);

// The name proposed for the archive: the first name without its last extension.
std::u16string defaultOutputName(const std::u16string& firstName);

}  // namespace qav
