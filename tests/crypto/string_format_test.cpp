#include <gtest/gtest.h>

#include "crypto/crypto_errors.h"
#include "crypto/format_registry.h"
#include "test_util.h"

namespace qm::crypto {
namespace {

std::string Encode(std::string_view bytes, int format) {
  return EncodeToFormat(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size()), format);
}

std::string Decode(std::string_view text, int format) {
  return DecodeFromFormat(text.data(), static_cast<std::ptrdiff_t>(text.size()), format);
}

template <class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const StringFormatError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(StringFormats, RegistryHoldsTheSixFormatsWithTheirNames) {
  struct Row {
    int number;
    const char* name;
  };
  const Row rows[] = {
      {1, "copy Input to Output"}, {16, "Hexadecimal"},  {1016, "Hexadecimal lowercase"},
      {4196, "MIME Base 64"},      {21845, "UU Coding"}, {22616, "XX Coding"}};
  for (const auto& r : rows) {
    const StringFormat* f = FindStringFormat(r.number);
    ASSERT_NE(f, nullptr) << r.number;
    EXPECT_EQ(f->Format(), r.number);
    EXPECT_EQ(f->Name(), r.name);
  }
  EXPECT_EQ(FindStringFormat(-1), FindStringFormat(kFormatMime64));
  EXPECT_EQ(FindStringFormat(2), nullptr);
  EXPECT_EQ(FindStringFormat(kFormatUU)->CharTable().substr(0, 3), "`!\"");
  EXPECT_EQ(FindStringFormat(kFormatXX)->CharTable().substr(0, 4), "+-01");
}

TEST(StringFormats, MimeBase64Examples) {
  EXPECT_EQ(Encode("abc", kFormatMime64), "YWJj");
  EXPECT_EQ(Encode("ab", kFormatMime64), "YWI=");
  EXPECT_EQ(Encode("a", kFormatMime64), "YQ==");
  EXPECT_EQ(Encode("abc", kFormatDefault), "YWJj");
  EXPECT_EQ(Decode("YWJj", kFormatMime64), "abc");
  EXPECT_EQ(Decode("YWI=", kFormatMime64), "ab");
  EXPECT_EQ(Decode("YWI", kFormatMime64), "ab") << "missing padding is completed";
  // Spaces and line breaks between symbols neither add bytes nor disturb the padding.
  EXPECT_EQ(Decode("YW\r\nJj YWI=\n", kFormatMime64), "abcab");
}

TEST(StringFormats, HexReadsPrefixesAndBothCases) {
  for (int f : {kFormatHex, kFormatHexL}) {
    SCOPED_TRACE(f);
    EXPECT_EQ(Decode("$1F2e", f), "\x1f\x2e");
    EXPECT_EQ(Decode("0x1f2E", f), "\x1f\x2e");
    EXPECT_EQ(Decode("1F 2e", f), "\x1f\x2e");
    EXPECT_EQ(Decode("ABC", f), "\xab") << "a last unpaired digit is dropped";
    EXPECT_EQ(Decode("0x12$34", f), "\x12\x34") << "only the first marker restarts";
  }
  EXPECT_EQ(Encode("\x1f\xae", kFormatHex), "1FAE");
  EXPECT_EQ(Encode("\x1f\xae", kFormatHexL), "1fae");
  EXPECT_EQ(Decode("1fae", kFormatHex), "\x1f\xae");
  EXPECT_EQ(Decode("1FAE", kFormatHexL), "\x1f\xae");
}

TEST(StringFormats, UULinesHoldAtMost45Bytes) {
  const std::string data(46, 'Q');
  const std::string text = Encode(data, kFormatUU);
  ASSERT_EQ(text.size(), 1 + 60 + 1 + 4u);
  EXPECT_EQ(text[0], 'M');   // 45
  EXPECT_EQ(text[61], '!');  // 1
  EXPECT_EQ(Decode(text, kFormatUU), data);
  // A line break between lines is passed over.
  EXPECT_EQ(Decode(text.substr(0, 61) + "\r\n" + text.substr(61), kFormatUU), data);
  // Only the (4n + 2) / 3 symbols a line needs: a short last group reads as zero-completed.
  EXPECT_EQ(Decode("!80", kFormatUU), "a");
  EXPECT_EQ(Decode("!80``", kFormatUU), "a");
  EXPECT_EQ(Encode("a", kFormatXX), "-ME++");
}

TEST(StringFormats, RefusedInputCarriesTheMessages) {
  EXPECT_EQ(ErrorOf([] { Decode("N" + std::string(64, '!'), kFormatUU); }),
            "Input is not an valid UU Coding Format.");
  EXPECT_EQ(ErrorOf([] { Decode("i" + std::string(64, '+'), kFormatXX); }),
            "Input is not an valid XX Coding Format.");
  EXPECT_EQ(ErrorOf([] { Decode("!8", kFormatUU); }), "Input is not an valid UU Coding Format.")
      << "text must not end inside a line";
  EXPECT_EQ(ErrorOf([] { Decode("12g4", kFormatHex); }),
            "Input is not an valid Hexadecimal Format.");
  EXPECT_EQ(ErrorOf([] { Decode("YW.j", kFormatMime64); }),
            "Input is not an valid MIME Base 64 Format.");
  EXPECT_EQ(ErrorOf([] { Encode("abc", 77); }), "String Format \"77\" not exists.");
  EXPECT_EQ(ErrorOf([] { Decode("abc", 77); }), "String Format \"77\" not exists.");
  // A direct call of ToStr reaches the length check itself.
  EXPECT_EQ(ErrorOf([] { FindStringFormat(kFormatUU)->ToStr("N", 1); }),
            "Input is not an valid UU Coding Format.");
}

TEST(StringFormats, EmptyInputAndFormatZeroSkipEveryCheck) {
  EXPECT_EQ(Encode("abc", kFormatNone), "");
  EXPECT_EQ(Encode("", 77), "");
  EXPECT_EQ(Decode("", 77), "");
  EXPECT_EQ(EncodeToFormat(nullptr, 5, kFormatHex), "");
  // A negative length counts up to the first zero byte.
  EXPECT_EQ(EncodeToFormat("ab\0cd", -1, kFormatHex), "6162");
}

TEST(StringFormats, RandomDataRoundTripsInEveryFormat) {
  for (int f : {kFormatCopy, kFormatHex, kFormatHexL, kFormatMime64, kFormatUU, kFormatXX}) {
    for (std::size_t n : {1, 2, 3, 44, 45, 46, 90, 91, 1000}) {
      const auto bytes = testing::Pattern(n, static_cast<std::uint32_t>(n * 31 + f));
      const std::string data(bytes.begin(), bytes.end());
      EXPECT_EQ(Decode(Encode(data, f), f), data) << "format " << f << ", " << n << " bytes";
    }
  }
}

// A format that refuses every byte input, to reach the bytes-to-text refusal, and that
// takes the place of an existing number.
class PickyFormat : public StringFormat {
 public:
  std::string_view Name() const override { return "Picky"; }
  int Format() const override { return 4242; }
  bool IsValid(const char*, std::ptrdiff_t, bool to_str) const override { return to_str; }
};

class PickyHex : public PickyFormat {
 public:
  int Format() const override { return 4242; }
  std::string_view Name() const override { return "Picky too"; }
};

class Unnumbered : public StringFormat {
 public:
  int Format() const override { return -1; }
};

TEST(StringFormats, RegisteringAppendsReplacesAndSkips) {
  static const PickyFormat picky;
  static const PickyHex picky_too;
  static const Unnumbered unnumbered;
  RegisterFormats({&picky, nullptr, &unnumbered});
  EXPECT_EQ(FindStringFormat(4242), &picky);
  EXPECT_EQ(ErrorOf([] { Encode("abc", 4242); }), "Input can not be convert to Picky Format.");
  RegisterFormats({&picky_too});
  EXPECT_EQ(FindStringFormat(4242), &picky_too);
  EXPECT_EQ(FindStringFormat(kFormatMime64)->Name(), "MIME Base 64");
}

}  // namespace
}  // namespace qm::crypto
