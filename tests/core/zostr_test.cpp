#include "zostr.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using qav::cZostr;

// Records every notification of one cZostr object.
struct Recorder {
  struct Error {
    int number;
    std::u16string source, description;
  };
  std::vector<Error> errors;
  void attach(cZostr& z) {
    z.cZostrError = [this](int number, const std::u16string& source,
                           const std::u16string& description) {
      errors.push_back({number, source, description});
    };
  }
};

bool isUpperHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }

// n, the highest key index, from the first two digits of an encoding.
int highestKeyIndex(const std::u16string& e) {
  auto v = [](char16_t c) { return c >= u'A' ? c - u'A' + 10 : c - u'0'; };
  return v(e[0]) * 16 + v(e[1]) - 65;
}

TEST(cZostr, FHex) {
  const struct {
    int64_t x;
    std::u16string hex;
  } cases[] = {{5, u"05"}, {255, u"FF"}, {256, u"00"}, {-1, u"FF"}, {0, u"00"},
               {0xAB, u"AB"}, {0x1234567890ABCDEFll, u"EF"}, {-256, u"00"}};
  for (const auto& c : cases) EXPECT_EQ(cZostr::FHex(c.x), c.hex) << c.x;
}

TEST(cZostr, RoundTrip) {
  cZostr z;
  Recorder rec;
  rec.attach(z);
  const std::u16string texts[] = {
      u"http://update.example.com/qav/",
      u"\u4e2d\u6587\u7db2\u5740 http://\u5831\u544a/",  // 中文網址 ... 報告
      u"x",
      u"0123456789abcdefghijklmnopqrstuvwxyz0123456789",  // longer than any key
  };
  for (const auto& t : texts) {
    const std::u16string e = z.encode(t);
    ASSERT_FALSE(e.empty());
    for (char16_t c : e) EXPECT_TRUE(isUpperHex(c));
    const int n = highestKeyIndex(e);
    EXPECT_GE(n, 5);
    EXPECT_LE(n, 14);
    EXPECT_EQ(z.Decode(e), t);
  }
  EXPECT_TRUE(rec.errors.empty());
}

TEST(cZostr, EmptyTextIsHeaderAndChecksumOnly) {
  cZostr z;
  Recorder rec;
  rec.attach(z);
  for (int i = 0; i < 20; ++i) {
    const std::u16string e = z.encode(u"");
    const int n = highestKeyIndex(e);
    EXPECT_EQ(e.size(), static_cast<size_t>(2 * n + 6));
    EXPECT_EQ(z.Decode(e), u"");
  }
  EXPECT_TRUE(rec.errors.empty());  // an empty body is no failure
}

TEST(cZostr, EachEncodingDrawsANewKey) {
  cZostr z;
  const std::u16string t = u"http://update.example.com/";
  const std::u16string a = z.encode(t);
  const std::u16string b = z.encode(t);
  EXPECT_NE(a, b);
  EXPECT_EQ(z.Decode(a), t);
  EXPECT_EQ(z.Decode(b), t);
}

TEST(cZostr, AnyChangedDigitFailsTheChecksum) {
  cZostr z;
  Recorder rec;
  rec.attach(z);
  const std::u16string good = z.encode(u"\u7db2\u5740 http://x/");
  for (size_t pos = 0; pos < good.size(); ++pos) {
    for (char16_t digit : {u'0', u'7', u'A', u'F'}) {
      if (digit == good[pos]) continue;
      std::u16string bad = good;
      bad[pos] = digit;
      rec.errors.clear();
      EXPECT_EQ(z.Decode(bad), u"") << "position " << pos;
      ASSERT_EQ(rec.errors.size(), 1u) << "position " << pos;
      EXPECT_EQ(rec.errors[0].number, 513);
      EXPECT_EQ(rec.errors[0].description, u"系統授權資料驗證錯誤！\u3000\u3000\u3000");
    }
  }
}

// Encoding with a fixed key, worked out by hand:
//   n = 5 -> header FHex(70) = "46"; key k = 01 F0 02 03 04 05.
//   "ABCDE中" in code page 950 = 41 42 43 44 45 A4 A4; byte i takes k[(i + 1) mod 6]:
//   41+F0=131->31, 42+02=44, 43+03=46, 44+04=48, 45+05=4A, A4+01=A5, A4+F0=194->94.
//   Checksum: exclusive or of the codes of "4601F002030405314446484AA594" = 0x75.
TEST(cZostr, FixedKeyEncoding) {
  const std::u16string text = u"ABCDE\u4e2d";
  const std::u16string encoded = u"4601F002030405314446484AA59475";

  std::vector<uint32_t> draws = {0, 0x01, 0xF0, 0x02, 0x03, 0x04, 0x05};
  size_t next = 0;
  std::vector<uint32_t> bounds;
  cZostr z;
  z.setRandomSource([&](uint32_t bound) {
    bounds.push_back(bound);
    return draws.at(next++);
  });
  EXPECT_EQ(z.encode(text), encoded);
  EXPECT_EQ(bounds, (std::vector<uint32_t>{10, 256, 256, 256, 256, 256, 256}));

  cZostr fresh;
  EXPECT_EQ(fresh.Decode(encoded), text);
  // Lower-case digits are read the same way once the checksum matches them.
  EXPECT_EQ(fresh.Decode(u"4601f002030405314446484aa59455"), text);
}

// Texts whose checksum is right but which are no encoding: each must give ""
// and a notification, and never be read past its end.
TEST(cZostr, MalformedTextsFailCleanly) {
  auto withChecksum = [](const std::u16string& body) {
    unsigned s = 0;
    for (char16_t c : body) s ^= c;
    return body + cZostr::FHex(s);
  };
  const struct {
    const char* what;
    std::u16string text;
    int number;
  } cases[] = {
      {"empty", u"", 513},
      {"one digit", u"4", 513},
      {"checksum only", u"00", 514},
      {"n below 5", withChecksum(u"4401020304"), 514},
      {"n above 14", withChecksum(u"50" + std::u16string(32, u'0')), 514},
      {"header not hex", withChecksum(u"4G01F0020304054142"), 514},
      {"key runs past the end", withChecksum(u"4D01F002"), 514},
      {"key digit not hex", withChecksum(u"4601F00203040Z4142"), 514},
      {"body digit not hex", withChecksum(u"4601F002030405414X"), 514},
      {"odd body", withChecksum(u"4601F002030405414"), 514},
      {"cut code-page pair", withChecksum(u"4601F002030405A6"), 515},  // A6-F0 = B6 lead byte alone
  };
  for (const auto& c : cases) {
    cZostr z;
    Recorder rec;
    rec.attach(z);
    EXPECT_EQ(z.Decode(c.text), u"") << c.what;
    ASSERT_EQ(rec.errors.size(), 1u) << c.what;
    EXPECT_EQ(rec.errors[0].number, c.number) << c.what;
    EXPECT_FALSE(rec.errors[0].description.empty()) << c.what;
  }
}

TEST(cZostr, TextOutsideTheCodePageIsRefused) {
  cZostr z;
  Recorder rec;
  rec.attach(z);
  EXPECT_EQ(z.encode(u"caf\u00e9"), u"");
  ASSERT_EQ(rec.errors.size(), 1u);
  EXPECT_EQ(rec.errors[0].number, cZostr::kCodePageError);
}

TEST(cZostr, WorksWithoutAListener) {
  cZostr z;
  EXPECT_EQ(z.Decode(u"XYZ"), u"");
  EXPECT_EQ(z.encode(u"\u00e9"), u"");
}

}  // namespace
