#include "archive.h"

#include <cstring>
#include <string_view>

#include "codepage.h"

namespace qav {
namespace {

using Code = ArchiveErrorCode;

ArchiveError fail(Code code, const std::u16string& subject = {}) { return {code, subject}; }

// Smallest entry record (empty name, position, size, three file times): bounds
// what an entry count may claim against the bytes that are left.
constexpr uint64_t kMinEntryBytes = 2 + 4 + 4 + 3 * 8;

// Entry names pass the same checks in the list builder and in the writer.
ArchiveError encodeName(const std::u16string& name, std::string& bytes) {
  if (!isBareFileName(name)) return fail(Code::BadFileName, name);
  if (!toCodePage(name, bytes)) return fail(Code::UnrepresentableName, name);
  return {};
}

// Reads little-endian fields; the first failure sticks and later reads do nothing.
class Reader {
 public:
  explicit Reader(InStream& in) : in_(in) {}
  Code code = Code::None;

  bool bytes(void* dst, size_t n) {
    if (code != Code::None) return false;
    if (in_.remaining() < n)
      code = Code::Truncated;
    else if (!in_.read(dst, n))
      code = Code::ReadFailed;
    return code == Code::None;
  }
  uint64_t number(size_t width) {
    unsigned char b[8] = {};
    bytes(b, width);
    uint64_t v = 0;
    while (width-- > 0) v = v << 8 | b[width];
    return v;
  }
  bool flag() { return number(2) != 0; }
  bool text(std::u16string& out) {
    const size_t n = static_cast<size_t>(number(2));
    if (code == Code::None && in_.remaining() < n) code = Code::Truncated;  // before allocating
    if (code != Code::None) return false;
    std::string raw(n, '\0');
    if (!bytes(raw.data(), n)) return false;
    if (!fromCodePage(raw, out)) code = Code::BadText;
    return code == Code::None;
  }

 private:
  InStream& in_;
};

// Builds the record in memory; the first refusal sticks.
class Writer {
 public:
  std::string buf;
  ArchiveError error;

  void number(uint64_t v, size_t width) {
    while (width-- > 0) {
      buf.push_back(static_cast<char>(v & 0xFF));
      v >>= 8;
    }
  }
  void flag(bool b) { number(b ? 0xFFFF : 0, 2); }
  void raw(const std::string& bytes) {
    if (bytes.size() > 0xFFFF) {
      if (error.ok()) error = fail(Code::TextTooLong);
      return;
    }
    number(bytes.size(), 2);
    buf += bytes;
  }
  void text(const std::u16string& t) {
    std::string bytes;
    if (!toCodePage(t, bytes)) {
      if (error.ok()) error = fail(Code::UnrepresentableText, t);
      return;
    }
    raw(bytes);
  }
};

}  // namespace

bool isBareFileName(const std::u16string& name) {
  // 255 units is the longest name a Windows folder entry can carry.
  if (name.empty() || name.size() > 255) return false;
  for (char16_t c : name)
    if (c < 0x20 || std::u16string_view(u"\\/:<>\"|?*").find(c) != std::u16string_view::npos)
      return false;
  if (name.back() == u'.' || name.back() == u' ') return false;  // also "." and ".."

  // Device names: Windows looks at the part before the first dot and ignores
  // spaces at its end ("nul .txt" is the device too).
  size_t end = name.find(u'.');
  if (end == std::u16string::npos) end = name.size();
  while (end > 0 && name[end - 1] == u' ') --end;
  if (end != 3 && end != 4) return true;
  char16_t up[4];
  for (size_t i = 0; i < end; ++i) {
    const char16_t c = name[i];
    up[i] = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  }
  const std::u16string_view stem(up, 3);
  if (end == 3) return stem != u"CON" && stem != u"PRN" && stem != u"AUX" && stem != u"NUL";
  const char16_t d = up[3];
  const bool digit = (d >= u'0' && d <= u'9') || d == u'\u00B9' || d == u'\u00B2' || d == u'\u00B3';
  return !(digit && (stem == u"COM" || stem == u"LPT"));
}

ArchiveError appendEntry(std::vector<ArchiveEntry>& entries, const std::u16string& name,
                         uint64_t size, uint64_t accessTime, uint64_t writeTime) {
  if (entries.size() >= static_cast<size_t>(kMaxEntries)) return fail(Code::BadEntryCount, name);
  std::string bytes;
  if (ArchiveError e = encodeName(name, bytes); !e.ok()) return e;
  if (size > 0xFFFFFFFFu) return fail(Code::FileTooLarge, name);
  uint64_t position = 1;
  if (!entries.empty())
    position = static_cast<uint64_t>(entries.back().position) + entries.back().size;
  if (position > static_cast<uint64_t>(kMaxPosition)) return fail(Code::PositionTooLarge, name);
  entries.push_back({name, static_cast<int32_t>(position), static_cast<uint32_t>(size),
                     accessTime, writeTime, 0});
  return {};
}

ArchiveError writeHeader(OutStream& out, const ArchiveHeader& h) {
  const size_t count = h.entries.size();
  if (count == 0 || count > static_cast<size_t>(kMaxEntries)) return fail(Code::BadEntryCount);

  Writer w;
  w.text(h.magic);
  w.number(static_cast<uint16_t>(h.versionMajor), 2);
  w.number(static_cast<uint16_t>(h.versionMinor), 2);
  w.number(static_cast<uint16_t>(h.versionRevision), 2);
  w.number(static_cast<uint32_t>(h.outputKind), 4);
  w.text(h.mainProgram);
  w.flag(h.installUnderProgramFiles);
  w.flag(h.startWithWindows);
  w.flag(h.desktopShortcut);
  w.flag(h.programsMenuShortcut);
  w.text(h.installFolderName);
  w.text(h.shortcutName);
  w.text(h.shortcutIcon);
  w.text(h.postCommand);
  w.flag(h.registerComponents);
  w.number(1, 2);
  w.number(count, 4);
  w.number(0, 4);
  if (!w.error.ok()) return w.error;

  uint64_t position = 1;  // the one rule: 1, then 1 + the sizes of all earlier entries
  for (const ArchiveEntry& e : h.entries) {
    std::string name;
    if (ArchiveError err = encodeName(e.name, name); !err.ok()) return err;
    if (position > static_cast<uint64_t>(kMaxPosition)) return fail(Code::PositionTooLarge, e.name);
    w.raw(name);
    w.number(position, 4);
    w.number(e.size, 4);
    w.number(e.accessTime, 8);
    w.number(e.writeTime, 8);
    w.number(e.spareTime, 8);
    position += e.size;
  }
  if (!out.write(w.buf.data(), w.buf.size())) return fail(Code::WriteFailed);
  return {};
}

ArchiveError readHeader(InStream& in, ArchiveHeader& header) {
  Reader r(in);
  // The magic byte for byte; a container too short to hold it is not ours either.
  char magic[3] = {};
  const uint64_t magicLength = r.number(2);
  if (magicLength == 3) r.bytes(magic, 3);
  if (r.code == Code::ReadFailed) return fail(Code::ReadFailed);
  if (magicLength != 3 || r.code != Code::None || std::memcmp(magic, "QAV", 3) != 0)
    return fail(Code::BadMagic);

  ArchiveHeader h;
  h.magic = u"QAV";
  h.versionMajor = static_cast<int16_t>(r.number(2));
  h.versionMinor = static_cast<int16_t>(r.number(2));
  h.versionRevision = static_cast<int16_t>(r.number(2));
  h.outputKind = static_cast<int32_t>(r.number(4));
  r.text(h.mainProgram);
  h.installUnderProgramFiles = r.flag();
  h.startWithWindows = r.flag();
  h.desktopShortcut = r.flag();
  h.programsMenuShortcut = r.flag();
  r.text(h.installFolderName);
  r.text(h.shortcutName);
  r.text(h.shortcutIcon);
  r.text(h.postCommand);
  h.registerComponents = r.flag();
  const uint64_t dimensions = r.number(2);
  const uint64_t count = r.number(4);
  const uint64_t lowerBound = r.number(4);
  if (r.code != Code::None) return fail(r.code);
  if (dimensions != 1 || lowerBound != 0) return fail(Code::BadTable);
  if (count == 0 || count > static_cast<uint64_t>(kMaxEntries)) return fail(Code::BadEntryCount);
  if (count * kMinEntryBytes > in.remaining()) return fail(Code::Truncated);

  h.entries.resize(static_cast<size_t>(count));
  for (ArchiveEntry& e : h.entries) {
    r.text(e.name);
    e.position = static_cast<int32_t>(r.number(4));
    e.size = static_cast<uint32_t>(r.number(4));
    e.accessTime = r.number(8);
    e.writeTime = r.number(8);
    e.spareTime = r.number(8);
    if (r.code != Code::None) return fail(r.code);
    if (!isBareFileName(e.name)) return fail(Code::BadFileName, e.name);
  }

  // The data area must hold every entry's bytes; name the first file cut short.
  uint64_t needed = 0;
  for (const ArchiveEntry& e : h.entries) {
    needed += e.size;
    if (needed > in.remaining()) return fail(Code::Truncated, e.name);
  }
  header = std::move(h);
  return {};
}

uint32_t archiveOffset(const std::u16string& fileName) {
  const std::u16string_view ext = u".exe";
  if (fileName.size() < ext.size()) return 0;
  const size_t start = fileName.size() - ext.size();
  for (size_t i = 0; i < ext.size(); ++i) {
    char16_t c = fileName[start + i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != ext[i]) return 0;
  }
  return kArchiveOffset;
}

std::u16string describeArchiveError(const ArchiveError& e) {
  const std::u16string q = u"「" + e.subject + u"」";
  const std::u16string whole = u"，整個集裝檔不予處理。";
  switch (e.code) {
    case Code::None:
      return {};
    case Code::BadMagic:
      return u"這個檔案不是正確的 QAV 格式！";
    case Code::Truncated:
      if (e.subject.empty()) return u"集裝檔不完整或已毀損：內容比表頭所記載的短。";
      return u"集裝檔不完整：檔案" + q + u"的內容在集裝檔結尾之前就已中斷。";
    case Code::ReadFailed:
      return u"讀取集裝檔時發生錯誤。";
    case Code::WriteFailed:
      return u"寫入集裝檔時發生錯誤，磁碟可能已滿或沒有寫入權限。";
    case Code::BadTable:
      return u"集裝檔的檔案表格式不正確，檔案可能已毀損。";
    case Code::BadEntryCount:
      return u"集裝檔的檔案數目必須是 1 到 32767 個" + whole;
    case Code::BadText:
      return u"集裝檔中有無法以系統字碼頁解讀的文字，檔案可能已毀損。";
    case Code::BadFileName:
      return u"檔名" + q + u"不是單純的檔名" + whole;
    case Code::UnrepresentableName:
      return u"檔名" + q + u"含有系統字碼頁無法表示的字元" + whole;
    case Code::UnrepresentableText:
      return u"設定文字" + q + u"含有系統字碼頁無法表示的字元" + whole;
    case Code::TextTooLong:
      return u"設定文字太長（超過 65535 位元組）" + whole;
    case Code::FileTooLarge:
      return u"檔案" + q + u"達到 4 GB 以上，集裝檔無法容納" + whole;
    case Code::PositionTooLarge:
      return u"加入檔案" + q + u"時，集裝檔內的檔案總長度超過 2 GB 的上限" + whole;
  }
  return {};
}

}  // namespace qav
