// The archive ("集裝檔"): one header record — package settings and the table of
// packed files — followed directly by every packed file's bytes in table order.
// Written by the pack engine, read by the unpack engine and by the stub.
//
// Byte layout of the record. Little-endian, no padding, no length prefix, no
// checksum. text = uint16 byte count n + n bytes in the ANSI code page (cp950),
// no terminator; flag = int16, 0xFFFF true / 0x0000 false (any non-zero reads
// as true); file time = uint64 FILETIME (100 ns since 1601-01-01 UTC).
//
//   width  field                     encoding
//   2+n    magic                     text, always "QAV" = 03 00 51 41 56
//   2      versionMajor              int16
//   2      versionMinor              int16
//   2      versionRevision           int16
//   4      outputKind                int32: 0 plain, 1 self-extracting, 2 install package
//   2+n    mainProgram               text
//   2      installUnderProgramFiles  flag
//   2      startWithWindows          flag
//   2      desktopShortcut           flag
//   2      programsMenuShortcut      flag
//   2+n    installFolderName         text
//   2+n    shortcutName              text
//   2+n    shortcutIcon              text: "" or icon file [+ "," + index when index > 0]
//   2+n    postCommand               text
//   2      registerComponents        flag
//   2      dimension count           int16, always 1
//   4      entry count N             int32, 1 .. 32767
//   4      lower bound               int32, always 0
//   N entries, each:
//     2+n  name                      text, a bare file name
//     4    position                  int32: 1, then 1 + sizes of all earlier entries
//     4    size                      uint32
//     8    accessTime                file time
//     8    writeTime                 file time
//     8    spareTime                 file time, zero
//   data area: each entry's `size` bytes in table order, nothing between or after.
//
// A plain archive starts at offset 0. An executable container is the 114688-byte
// stub image with the archive written from offset 114687, over the image's last
// (zero padding) byte.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "stream.h"

namespace qav {

constexpr uint32_t kStubSize = 114688;
constexpr uint32_t kArchiveOffset = 114687;
constexpr int32_t kMaxEntries = 32767;
// Highest `position` a writer accepts: the sizes before an entry add up to at
// most 2147483646, so every position stays a positive int32.
constexpr int32_t kMaxPosition = 2147483647;

struct ArchiveEntry {
  std::u16string name;
  int32_t position = 0;
  uint32_t size = 0;
  uint64_t accessTime = 0, writeTime = 0, spareTime = 0;
  bool operator==(const ArchiveEntry&) const = default;
};

struct ArchiveHeader {
  std::u16string magic;
  int16_t versionMajor = 0, versionMinor = 0, versionRevision = 0;
  int32_t outputKind = 0;
  std::u16string mainProgram;
  bool installUnderProgramFiles = false, startWithWindows = false, desktopShortcut = false,
       programsMenuShortcut = false;
  std::u16string installFolderName, shortcutName, shortcutIcon, postCommand;
  bool registerComponents = false;
  std::vector<ArchiveEntry> entries;
  bool operator==(const ArchiveHeader&) const = default;
};

enum class ArchiveErrorCode {
  None,
  BadMagic,             // not "QAV": not an archive of ours (the caller shows its message)
  Truncated,            // the container ends inside the header or before its data ends
  ReadFailed,           // the stream failed although bytes remained
  WriteFailed,          // the output stream refused the record
  BadTable,             // dimension count not 1 or lower bound not 0
  BadEntryCount,        // no entries, or more than kMaxEntries
  BadText,              // code-page bytes that do not decode
  BadFileName,          // subject: an entry name that is not a bare file name
  UnrepresentableName,  // subject: an entry name the code page cannot hold exactly
  UnrepresentableText,  // subject: a settings text the code page cannot hold exactly
  TextTooLong,          // over 65535 code-page bytes; subject: the entry name, if it is one
  FileTooLarge,         // subject: a file of 4 GiB or more
  PositionTooLarge,     // subject: the first file whose position would pass kMaxPosition
};

struct ArchiveError {
  ArchiveErrorCode code = ArchiveErrorCode::None;
  std::u16string subject;  // the file name concerned, if any
  bool ok() const { return code == ArchiveErrorCode::None; }
};

// A clear Traditional Chinese message for the user; empty for None.
std::u16string describeArchiveError(const ArchiveError& error);

// True for a name that can only mean a file directly inside the target folder:
// not empty, no folder or drive part, no character Windows forbids, no trailing
// dot or space, and not a device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9,
// with or without an extension).
bool isBareFileName(const std::u16string& name);

// Appends one entry to a table being built, after every check the writer will
// make: the table's size limit, a bare name the code page holds exactly, a size
// under 4 GiB, and the position rule (1, then 1 + the sizes of all earlier
// entries; refused past kMaxPosition). The table must have been built by this
// function. On refusal the table is unchanged and the error names the file.
ArchiveError appendEntry(std::vector<ArchiveEntry>& entries, const std::u16string& name,
                         uint64_t size, uint64_t accessTime, uint64_t writeTime);

// Writes the whole record at the stream's current position in one call. Every
// field is checked first, so a refused header writes nothing. Positions are
// written as the rule computes them from the sizes, whatever the entries hold.
ArchiveError writeHeader(OutStream& out, const ArchiveHeader& header);

// Reads the record from the stream's current position and leaves the stream at
// the first byte of the data area. Stops after the magic when it is not "QAV".
// Trusts no count or length, and reports a container shorter than its data as
// Truncated. `header` is only replaced on success.
ArchiveError readHeader(InStream& in, ArchiveHeader& header);

// Where the archive starts in a container of this name: kArchiveOffset when the
// name ends in ".exe" (any ASCII letter case), else 0.
uint32_t archiveOffset(const std::u16string& fileName);

}  // namespace qav
