// cZostr: hides a text from casual reading as upper-case hexadecimal digits with
// a checksum, so that a damaged or edited value is recognised. Used for the
// update service address.
//
// Encoded form: FHex(n + 65), the key k[0..n] (n from 5 to 14, freshly drawn for
// every encoding), one digit pair per code-page byte of the text (byte i plus
// k[(i + 1) mod (n + 1)], modulo 256), and last the exclusive or of the codes of
// all characters before it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace qav {

class cZostr {
 public:
  // Failure numbers passed to cZostrError.
  static constexpr int kChecksumError = 513;   // damaged or edited text
  static constexpr int kFormatError = 514;     // not an encoded text at all
  static constexpr int kCodePageError = 515;   // text and code page do not fit

  using ErrorHandler = std::function<void(int number, const std::u16string& source,
                                          const std::u16string& description)>;
  // Returns a uniformly drawn integer from 0 to bound - 1.
  using RandomSource = std::function<uint32_t(uint32_t bound)>;

  // Raised on every failure; the failing call returns "".
  ErrorHandler cZostrError;

  // Replaces the clock-seeded source (for tests); an empty function restores it.
  void setRandomSource(RandomSource source) { random_ = std::move(source); }

  // The encoded text; "" when the text has a character the code page cannot hold.
  std::u16string encode(const std::u16string& strData);
  // The plain text; "" when the checksum fails, the body is empty, or the text
  // is not a well-formed encoding.
  std::u16string Decode(const std::u16string& strData);

  // The low 8 bits of x as two upper-case hexadecimal digits.
  static std::u16string FHex(int64_t x);

 private:
  uint32_t draw(uint64_t& state, uint32_t bound);
  void fail(int number, const char16_t* source, const char16_t* description);

  RandomSource random_;
};

}  // namespace qav
