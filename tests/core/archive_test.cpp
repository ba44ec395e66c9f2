#include "archive.h"

#include <gtest/gtest.h>

#include "codepage.h"

namespace {

using qav::ArchiveEntry;
using qav::ArchiveError;
using qav::ArchiveHeader;
using Code = qav::ArchiveErrorCode;

// --- Building archive bytes by hand, independently of the writer. ---

std::string le(uint64_t v, int width) {
  std::string s;
  for (int i = 0; i < width; ++i, v >>= 8) s.push_back(static_cast<char>(v & 0xFF));
  return s;
}
std::string text(const std::string& bytes) { return le(bytes.size(), 2) + bytes; }

// Magic, versions 4.4.13, kind 0, empty texts, false flags (35 bytes).
std::string plainSettings() {
  return text("QAV") + le(4, 2) + le(4, 2) + le(13, 2) + le(0, 4) + text("") + le(0, 8) +
         text("") + text("") + text("") + text("") + le(0, 2);
}
std::string table(uint32_t count, uint16_t dimensions = 1, uint32_t lowerBound = 0) {
  return le(dimensions, 2) + le(count, 4) + le(lowerBound, 4);
}
std::string entry(const std::string& name, uint32_t position, uint32_t size) {
  return text(name) + le(position, 4) + le(size, 4) + le(0x1111, 8) + le(0x2222, 8) + le(0, 8);
}

// A small valid plain archive: two entries with their data.
std::string smallArchive() {
  return plainSettings() + table(2) + entry("a.txt", 1, 3) + entry("b.txt", 4, 5) + "xyz" +
         "12345";
}

ArchiveError read(const std::string& bytes, ArchiveHeader& h) {
  qav::MemoryInStream in(bytes);
  return qav::readHeader(in, h);
}
Code readCode(const std::string& bytes) {
  ArchiveHeader h;
  return read(bytes, h).code;
}

ArchiveHeader headerWith(std::vector<ArchiveEntry> entries) {
  ArchiveHeader h;
  h.magic = u"QAV";
  h.versionMajor = 4;
  h.versionMinor = 4;
  h.versionRevision = 13;
  h.entries = std::move(entries);
  return h;
}

// Claims `tail` further bytes behind `head` without holding them: lets a header
// announce gigabytes of data.
class HeadWithTail final : public qav::InStream {
 public:
  HeadWithTail(const std::string& head, uint64_t tail) : head_(head), tail_(tail) {}
  bool read(void* dst, size_t n) override { return head_.read(dst, n); }
  uint64_t remaining() const override { return head_.remaining() + tail_; }

 private:
  qav::MemoryInStream head_;
  uint64_t tail_;
};

// --- Byte layout ---

TEST(ArchiveFormat, PlainArchiveOfOneThreeByteFileIs87Bytes) {
  ArchiveHeader h = headerWith({{u"abcde", 1, 3, 0x01D2345678ABCDEF, 0x0102030405060708, 0}});
  qav::StringOutStream out;
  ASSERT_TRUE(qav::writeHeader(out, h).ok());
  const std::string archive = out.str() + "xyz";

  const std::vector<unsigned char> expected = {
      0x03, 0x00, 'Q', 'A', 'V',                       // magic
      0x04, 0x00, 0x04, 0x00, 0x0D, 0x00,              // version 4.4.13
      0x00, 0x00, 0x00, 0x00,                          // outputKind
      0x00, 0x00,                                      // mainProgram
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // four install flags
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // four texts
      0x00, 0x00,                                      // registerComponents
      0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // table descriptor
      0x05, 0x00, 'a', 'b', 'c', 'd', 'e',                         // name
      0x01, 0x00, 0x00, 0x00,                                      // position
      0x03, 0x00, 0x00, 0x00,                                      // size
      0xEF, 0xCD, 0xAB, 0x78, 0x56, 0x34, 0xD2, 0x01,              // accessTime
      0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,              // writeTime
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,              // spareTime
      'x', 'y', 'z'};
  EXPECT_EQ(std::vector<unsigned char>(archive.begin(), archive.end()), expected);

  // Executable container: the stub image with its last byte overwritten.
  std::string stub(qav::kStubSize, 'S');
  stub.back() = '\0';
  const std::string exe = stub.substr(0, qav::kArchiveOffset) + archive;
  EXPECT_EQ(exe.size(), 114687u + 87u);

  ASSERT_EQ(qav::archiveOffset(u"x.EXE"), qav::kArchiveOffset);
  qav::MemoryInStream in(exe.data() + qav::archiveOffset(u"x.EXE"), exe.size() - qav::kArchiveOffset);
  ArchiveHeader back;
  ASSERT_TRUE(qav::readHeader(in, back).ok());
  EXPECT_EQ(back, h);
  EXPECT_EQ(in.remaining(), 3u);  // left at the data area

  // Read at the wrong offset for its name, either way round: not ours.
  EXPECT_EQ(readCode(exe.substr(qav::archiveOffset(u"x.qav"))), Code::BadMagic);
  EXPECT_EQ(readCode(std::string()), Code::BadMagic);  // nothing at 114687 of a short file
  // The bare stub: a zero byte where the magic would be.
  EXPECT_EQ(readCode(stub.substr(qav::kArchiveOffset)), Code::BadMagic);
  // One byte further on, as if the archive were appended after the whole image.
  EXPECT_EQ(readCode(exe.substr(qav::kStubSize)), Code::BadMagic);
}

TEST(ArchiveFormat, ArchiveOffsetByNameEnding) {
  const struct {
    std::u16string name;
    uint32_t offset;
  } cases[] = {{u"a_self.exe", 114687}, {u"SETUP.EXE", 114687}, {u"x.ExE", 114687},
               {u"a_qav.qav", 0},       {u"exe", 0},            {u"a.exe.qav", 0},
               {u"a.exe ", 0},          {u"", 0}};
  for (const auto& c : cases) EXPECT_EQ(qav::archiveOffset(c.name), c.offset);
}

TEST(ArchiveFormat, ChineseHeaderRoundTripsThroughCp950) {
  std::vector<ArchiveEntry> entries;
  ASSERT_TRUE(qav::appendEntry(entries, u"報告.doc", 10, 0x01D0000000000001, 0x01D0000000000002).ok());
  ASSERT_TRUE(qav::appendEntry(entries, u"資料 2024.xls", 0, 3, 4).ok());
  ASSERT_TRUE(qav::appendEntry(entries, u"安裝程式.exe", 70000, 5, 6).ok());
  ArchiveHeader h = headerWith(entries);
  h.versionMajor = -2;  // signed fields keep their sign
  h.outputKind = 2;
  h.mainProgram = u"安裝程式.exe";
  h.installFolderName = u"白岩軟體";
  h.shortcutName = u"安裝程式";
  h.shortcutIcon = u"報告.ico,3";
  h.postCommand = u"notepad 說明.txt";

  // One flag at a time, so that two swapped flags cannot pass.
  for (int on = 0; on < 5; ++on) {
    h.installUnderProgramFiles = on == 0;
    h.startWithWindows = on == 1;
    h.desktopShortcut = on == 2;
    h.programsMenuShortcut = on == 3;
    h.registerComponents = on == 4;
    qav::StringOutStream out;
    ASSERT_TRUE(qav::writeHeader(out, h).ok());
    // Text lengths count code-page bytes: "安裝程式.exe" is 8 characters, 12 bytes.
    EXPECT_EQ(out.str().substr(15, 14), std::string("\x0C\x00\xA6\x77\xB8\xCB\xB5\x7B\xA6\xA1.exe", 14));
    ArchiveHeader back;
    HeadWithTail in(out.str(), 70010);
    ASSERT_TRUE(qav::readHeader(in, back).ok()) << on;
    EXPECT_EQ(back, h) << on;
    EXPECT_EQ(in.remaining(), 70010u);
  }
}

TEST(ArchiveFormat, FlagsAndSizes) {
  // Any non-zero flag reads as true.
  std::string bytes = plainSettings() + table(1) + entry("abcde", 1, 3) + "xyz";
  for (size_t at : {17, 19, 21, 23, 33}) bytes[at] = '\x01';
  ArchiveHeader h;
  ASSERT_TRUE(read(bytes, h).ok());
  EXPECT_TRUE(h.installUnderProgramFiles && h.startWithWindows && h.desktopShortcut &&
              h.programsMenuShortcut && h.registerComponents);

  // Written flags are 0xFFFF.
  ArchiveHeader flagged = headerWith({{u"a", 1, 0, 0, 0, 0}});
  flagged.registerComponents = true;
  qav::StringOutStream out;
  ASSERT_TRUE(qav::writeHeader(out, flagged).ok());
  EXPECT_EQ(out.str().substr(33, 2), "\xFF\xFF");

  // A size above 2^31 is unsigned: 3000000000 = 00 5E D0 B2, read back whole.
  std::vector<ArchiveEntry> big;
  ASSERT_TRUE(qav::appendEntry(big, u"big.iso", 3000000000u, 0, 0).ok());
  qav::StringOutStream bigOut;
  ASSERT_TRUE(qav::writeHeader(bigOut, headerWith(big)).ok());
  EXPECT_EQ(bigOut.str().substr(45 + 9 + 4, 4), std::string("\x00\x5E\xD0\xB2", 4));
  HeadWithTail in(bigOut.str(), 3000000000u);
  ASSERT_TRUE(qav::readHeader(in, h).ok());
  EXPECT_EQ(h.entries[0].size, 3000000000u);
  EXPECT_EQ(in.remaining(), 3000000000u);
}

TEST(ArchiveFormat, PositionsFollowTheSizes) {
  std::vector<ArchiveEntry> entries;
  for (uint32_t size : {5u, 0u, 7u, 1u}) ASSERT_TRUE(qav::appendEntry(entries, u"f", size, 0, 0).ok());
  const int32_t expected[] = {1, 6, 6, 13};  // a size-0 entry shares the next position
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(entries[i].position, expected[i]);

  // The writer applies the same rule, whatever positions the table holds.
  ArchiveHeader h = headerWith(entries);
  for (ArchiveEntry& e : h.entries) e.position = 999;
  qav::StringOutStream out;
  ASSERT_TRUE(qav::writeHeader(out, h).ok());
  ArchiveHeader back;
  HeadWithTail in(out.str(), 13);
  ASSERT_TRUE(qav::readHeader(in, back).ok());
  EXPECT_EQ(back.entries, entries);
}

// --- Names ---

TEST(ArchiveNames, OnlyBareFileNamesAreAccepted) {
  const std::u16string accepted[] = {
      u"a", u"報告.doc", u"readme", u".profile", u"x..y", u"a b.txt", u"CONSOLE.txt",
      u"COM10", u"LPT", u"NULL", u"xCON", u"con-1.txt", u"com.txt", u"nul_.txt"};
  const std::u16string refused[] = {
      u"", u".", u"..", u"a\\b", u"a/b", u"c:x", u"C:", u"a\tb", u"a\x01", u"a<b", u"a>b",
      u"a\"b", u"a|b", u"a?b", u"a*b", u"name.", u"name ", u"CON", u"con", u"con.txt",
      u"Nul.tar.gz", u"aux", u"PRN.doc", u"COM1", u"com9.log", u"LPT1", u"lpt9.x", u"nul .txt",
      u"COM\u00B9", std::u16string(256, u'a')};
  for (const auto& n : accepted) EXPECT_TRUE(qav::isBareFileName(n));
  for (const auto& n : refused) EXPECT_FALSE(qav::isBareFileName(n));

  for (const auto& n : refused) {
    // The writer refuses the whole archive, naming the file, and writes nothing.
    qav::StringOutStream out;
    const ArchiveError e = qav::writeHeader(out, headerWith({{u"ok.txt", 1, 0, 0, 0, 0},
                                                            {n, 1, 0, 0, 0, 0}}));
    EXPECT_EQ(e.code, Code::BadFileName);
    EXPECT_EQ(e.subject, n);
    EXPECT_TRUE(out.str().empty());
    std::vector<ArchiveEntry> list;
    EXPECT_EQ(qav::appendEntry(list, n, 1, 0, 0).code, Code::BadFileName);
    EXPECT_TRUE(list.empty());

    // The reader refuses it as well.
    std::string bytes;
    if (!qav::toCodePage(n, bytes)) continue;  // cannot appear in an archive
    ArchiveHeader h;
    const ArchiveError r = read(plainSettings() + table(1) + entry(bytes, 1, 0), h);
    EXPECT_EQ(r.code, Code::BadFileName) << bytes;
    EXPECT_EQ(r.subject, n);
  }
}

TEST(ArchiveNames, UndecodableBytesAreAnError) {
  EXPECT_EQ(readCode(plainSettings() + table(1) + entry("\xFF\xFF", 1, 0)), Code::BadText);
  std::string settings = plainSettings();
  settings.replace(15, 2, text("\xA4"));  // mainProgram: a cut double-byte character
  EXPECT_EQ(readCode(settings + table(1) + entry("a", 1, 0)), Code::BadText);
}

// --- What the reader does not trust ---

TEST(ArchiveReader, RefusesCountsAndTablesItCannotTrust) {
  const std::string one = entry("a.txt", 1, 0);
  const struct {
    std::string table;
    Code code;
  } cases[] = {
      {table(0), Code::BadEntryCount},
      {table(32768), Code::BadEntryCount},
      {table(0xFFFFFFFF), Code::BadEntryCount},  // -1
      {table(2), Code::Truncated},               // one entry present, two announced
      {table(32767), Code::Truncated},
      {table(1, 2), Code::BadTable},
      {table(1, 0), Code::BadTable},
      {table(1, 1, 1), Code::BadTable},
  };
  for (const auto& c : cases) {
    const std::string bytes = plainSettings() + c.table + one;
    qav::MemoryInStream in(bytes);
    ArchiveHeader h;
    EXPECT_EQ(qav::readHeader(in, h).code, c.code);
    // Refused from the table descriptor alone, before reading any entry.
    EXPECT_EQ(in.remaining(), one.size());
  }
  // A valid count stays valid: one entry of a possible 32767 is read.
  EXPECT_EQ(readCode(plainSettings() + table(1) + one), Code::None);
}

TEST(ArchiveReader, TextRunningPastTheEndIsTruncated) {
  std::string settings = plainSettings();
  settings.replace(15, 2, le(0xFFFF, 2));  // mainProgram claims 65535 bytes
  EXPECT_EQ(readCode(settings + table(1) + entry("a", 1, 0)), Code::Truncated);
  // An entry name claiming 200 bytes where 40 are left.
  EXPECT_EQ(readCode(plainSettings() + table(1) + le(200, 2) + std::string(40, 'a')),
            Code::Truncated);
}

TEST(ArchiveReader, NoPrefixOfAnArchiveReadsAsSuccess) {
  const std::string full = smallArchive();
  ASSERT_EQ(readCode(full), Code::None);
  for (size_t n = 0; n < full.size(); ++n) EXPECT_NE(readCode(full.substr(0, n)), Code::None) << n;

  // Cut inside the data area: the first file that is short is named.
  ArchiveHeader h;
  const ArchiveError e = read(full.substr(0, full.size() - 1), h);
  EXPECT_EQ(e.code, Code::Truncated);
  EXPECT_EQ(e.subject, u"b.txt");
  EXPECT_TRUE(h.entries.empty());  // nothing of a refused archive is used
}

// --- What the writer refuses ---

TEST(ArchiveWriter, RefusesWhatItCannotWriteExactly) {
  const ArchiveEntry ok{u"ok.txt", 1, 0, 0, 0, 0};
  const std::u16string cafe = u"caf\u00E9.txt";
  struct Case {
    ArchiveHeader header;
    Code code;
    std::u16string subject;
  };
  std::vector<Case> cases;
  cases.push_back({headerWith({ok, {cafe, 1, 0, 0, 0, 0}}), Code::UnrepresentableName, cafe});
  cases.push_back({headerWith({}), Code::BadEntryCount, u""});
  cases.push_back({headerWith(std::vector<ArchiveEntry>(32768, ok)), Code::BadEntryCount, u""});
  // Positions 1, 2147483647, 2147483648: the third is past the limit.
  cases.push_back({headerWith({{u"a", 0, 2147483646u, 0, 0, 0}, {u"b", 0, 1, 0, 0, 0},
                               {u"c", 0, 0, 0, 0, 0}}),
                   Code::PositionTooLarge, u"c"});
  ArchiveHeader badText = headerWith({ok});
  badText.shortcutName = u"caf\u00E9";
  cases.push_back({badText, Code::UnrepresentableText, u"caf\u00E9"});
  ArchiveHeader longText = headerWith({ok});
  longText.postCommand.assign(65536, u'a');
  cases.push_back({longText, Code::TextTooLong, u""});

  for (const Case& c : cases) {
    qav::StringOutStream out;
    const ArchiveError e = qav::writeHeader(out, c.header);
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.subject, c.subject);
    EXPECT_TRUE(out.str().empty());
  }

  // Just inside the limits.
  ArchiveHeader edge = headerWith({{u"a", 0, 2147483646u, 0, 0, 0}, {u"b", 0, 4000000000u, 0, 0, 0}});
  edge.postCommand.assign(65535, u'a');
  qav::StringOutStream out;
  EXPECT_TRUE(qav::writeHeader(out, edge).ok());
  EXPECT_TRUE(qav::writeHeader(out, headerWith(std::vector<ArchiveEntry>(32767, ok))).ok());

  // A stream that refuses the record.
  struct Full final : qav::OutStream {
    bool write(const void*, size_t) override { return false; }
  } full;
  EXPECT_EQ(qav::writeHeader(full, headerWith({ok})).code, Code::WriteFailed);
}

TEST(ArchiveWriter, ListBuilderRefusesNamingTheFile) {
  std::vector<ArchiveEntry> list;
  EXPECT_EQ(qav::appendEntry(list, u"caf\u00E9.txt", 1, 0, 0).code, Code::UnrepresentableName);
  const ArchiveError big = qav::appendEntry(list, u"disk.img", 4294967296u, 0, 0);
  EXPECT_EQ(big.code, Code::FileTooLarge);
  EXPECT_EQ(big.subject, u"disk.img");
  ASSERT_TRUE(qav::appendEntry(list, u"max.img", 4294967295u, 0, 0).ok());
  const ArchiveError past = qav::appendEntry(list, u"next.txt", 0, 0, 0);
  EXPECT_EQ(past.code, Code::PositionTooLarge);
  EXPECT_EQ(past.subject, u"next.txt");
  EXPECT_EQ(list.size(), 1u);

  std::vector<ArchiveEntry> many(32767, ArchiveEntry{u"f", 1, 0, 0, 0, 0});
  EXPECT_EQ(qav::appendEntry(many, u"g", 0, 0, 0).code, Code::BadEntryCount);
}

TEST(ArchiveErrors, MessagesNameTheFile) {
  EXPECT_EQ(qav::describeArchiveError({Code::None, u""}), u"");
  EXPECT_EQ(qav::describeArchiveError({Code::BadMagic, u""}), u"這個檔案不是正確的 QAV 格式！");
  EXPECT_EQ(qav::describeArchiveError({Code::BadFileName, u"a:b"}),
            u"檔名「a:b」不是單純的檔名，整個集裝檔不予處理。");
  for (int c = static_cast<int>(Code::BadMagic); c <= static_cast<int>(Code::PositionTooLarge); ++c) {
    const std::u16string message = qav::describeArchiveError({static_cast<Code>(c), u"報告.doc"});
    EXPECT_FALSE(message.empty()) << c;
    const Code code = static_cast<Code>(c);
    if (code == Code::Truncated || code == Code::BadFileName || code == Code::UnrepresentableName ||
        code == Code::UnrepresentableText || code == Code::FileTooLarge ||
        code == Code::PositionTooLarge) {
      EXPECT_NE(message.find(u"「報告.doc」"), std::u16string::npos) << c;
    }
  }
}

}  // namespace
