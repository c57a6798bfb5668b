#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "crypto/cipher_registry.h"
#include "crypto/crypto_errors.h"
#include "crypto/format_registry.h"
#include "crypto/rijndael_cipher.h"
#include "crypto/ripemd256_hash.h"
#include "platform/memory_stream.h"
#include "platform/text.h"
#include "test_util.h"

namespace qm::crypto {
namespace {

std::shared_ptr<RijndaelCipher> Keyed(const std::string& password) {
  return std::make_shared<RijndaelCipher>(password);
}

TEST(ProtectionChain, CircularChainsAreRefused) {
  auto a = Keyed("a");
  auto b = Keyed("b");
  auto c = Keyed("c");
  a->SetProtection(b);
  b->SetProtection(c);
  try {
    c->SetProtection(a);
    ADD_FAILURE() << "no exception";
  } catch (const ProtectionError& e) {
    EXPECT_STREQ(e.what(), "Circular Protection detected, Protection Object is invalid.");
  }
  EXPECT_THROW(a->SetProtection(a), ProtectionError);
  EXPECT_EQ(c->NextProtection(), nullptr);
  a->SetProtection(b);  // the same member again changes nothing
  EXPECT_EQ(a->NextProtection(), b);
  a->SetProtection(nullptr);
  c->SetProtection(a);  // fine once the loop is gone
  EXPECT_EQ(c->NextProtection(), a);
}

TEST(ProtectionChain, EncodesInnermostFirstAndDecodesOutermostFirst) {
  auto inner = Keyed("inner");
  auto outer = std::make_shared<RijndaelCipher>("outer", inner);
  const auto plain = testing::Pattern(100);

  auto chained = plain;
  outer->CodeBuffer(chained.data(), chained.size(), PAction::paEncode);

  auto step = plain;
  Keyed("inner")->CodeBuffer(step.data(), step.size(), PAction::paEncode);
  Keyed("outer")->CodeBuffer(step.data(), step.size(), PAction::paEncode);
  EXPECT_EQ(chained, step);

  // CodeBuffer ends every message, so the same objects decode again.
  outer->CodeBuffer(chained.data(), chained.size(), PAction::paDecode);
  EXPECT_EQ(chained, plain);
}

TEST(ProtectionChain, ActionsOutsideTheSetPassThrough) {
  auto cipher = Keyed("k");
  cipher->SetActions({PAction::paDecode});
  auto data = testing::Pattern(40);
  const auto original = data;
  cipher->CodeBuffer(data.data(), data.size(), PAction::paEncode);
  EXPECT_EQ(data, original);
}

TEST(ProtectionCoding, StringsTravelAsTextInTheFormat) {
  auto cipher = Keyed("pass");
  const std::string text = cipher->CodeString("attack at dawn", PAction::paEncode, kFormatHex);
  EXPECT_EQ(text.size(), 28u);
  EXPECT_EQ(cipher->CodeString(text, PAction::paDecode, kFormatHex), "attack at dawn");
  const std::string mime = cipher->CodeString("attack at dawn", PAction::paEncode, kFormatDefault);
  EXPECT_EQ(cipher->CodeString(mime, PAction::paDecode, kFormatMime64), "attack at dawn");
}

TEST(ProtectionCoding, StreamCodesOntoItselfInChunks) {
  const auto plain = testing::Pattern(10000);
  platform::MemoryStream stream(std::vector<unsigned char>(plain.begin(), plain.end()));
  std::vector<std::int64_t> progress;
  SetProgressCallback([&](const Protection&, std::int64_t current, std::int64_t maximum) {
    EXPECT_EQ(maximum, 10000);
    progress.push_back(current);
  });
  auto cipher = Keyed("stream");
  cipher->CodeStream(stream, nullptr, -1, PAction::paEncode);
  SetProgressCallback(nullptr);
  EXPECT_EQ(progress, (std::vector<std::int64_t>{4096, 8192, 10000}));
  ASSERT_EQ(stream.Data().size(), plain.size());
  EXPECT_NE(std::vector<std::uint8_t>(stream.Data().begin(), stream.Data().end()), plain);

  // Same result as one buffer: chunking does not change the coding.
  auto whole = plain;
  Keyed("stream")->CodeBuffer(whole.data(), whole.size(), PAction::paEncode);
  EXPECT_EQ(std::vector<std::uint8_t>(stream.Data().begin(), stream.Data().end()), whole);

  // A part from the current position into another stream.
  platform::MemoryStream out;
  stream.SetPosition(0);
  Keyed("stream")->CodeStream(stream, &out, static_cast<std::int64_t>(plain.size()),
                              PAction::paDecode);
  EXPECT_EQ(std::vector<std::uint8_t>(out.Data().begin(), out.Data().end()), plain);
}

TEST(ProtectionCoding, FilesCodeToAnotherFileOrInPlace) {
  const auto source = testing::UniqueTempPath("qm_protection_source");
  const auto dest = testing::UniqueTempPath("qm_protection_dest");
  const auto plain = testing::Pattern(5000);
  std::ofstream(source, std::ios::binary)
      .write(reinterpret_cast<const char*>(plain.data()),
             static_cast<std::streamsize>(plain.size()));
  // A longer stale destination must be cut to the coded length.
  std::ofstream(dest, std::ios::binary) << std::string(9000, 'z');
  const auto read = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in), {}};
  };

  const auto u16 = [](const std::filesystem::path& p) { return platform::Utf8ToUtf16(p.string()); };
  Keyed("file")->CodeFile(u16(source), u16(dest), PAction::paEncode);
  auto encoded = read(dest);
  ASSERT_EQ(encoded.size(), plain.size());
  EXPECT_NE(encoded, plain);

  Keyed("file")->CodeFile(u16(dest), u"", PAction::paDecode);
  EXPECT_EQ(read(dest), plain);
  EXPECT_EQ(read(source), plain);

  RipeMD256Hash hash;
  EXPECT_EQ(hash.CalcFile(u16(source), nullptr, kFormatHex),
            hash.CalcBuffer(plain.data(), plain.size(), nullptr, kFormatHex));
  std::filesystem::remove(source);
  std::filesystem::remove(dest);
}

TEST(ProtectionCoding, WipeScramblesTheChainingState) {
  auto cipher = Keyed("wipe");
  const std::vector<std::uint8_t> vector(cipher->Vector().begin(), cipher->Vector().end());
  cipher->BeginCoding(PAction::paWipe);
  EXPECT_NE(std::vector<std::uint8_t>(cipher->Feedback().begin(), cipher->Feedback().end()),
            vector);
}

TEST(ProtectionIdentity, DependsOnTheClassName) {
  RijndaelCipher a, b;
  RipeMD256Hash h;
  EXPECT_EQ(a.Identity(), b.Identity());
  EXPECT_NE(a.Identity(), h.Identity());
}

TEST(CipherRegistry, ListsRijndaelAndReplacesLinesOfTheSameClass) {
  const auto lines = CipherList();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Rijndael=");
  const CipherFactory make = FindCipherClass("Rijndael");
  ASSERT_NE(make, nullptr);
  auto cipher = make();
  EXPECT_EQ(cipher->ClassName(), "TRijndaelCipher");
  EXPECT_FALSE(cipher->Initialized());

  RegisterCipher(make, "Rijndael", "AES");
  EXPECT_EQ(CipherList(), std::vector<std::string>{"Rijndael=AES"});
  RegisterCipher(make, "Rijndael", "");
  EXPECT_EQ(FindCipherClass("Blowfish"), nullptr);
}

}  // namespace
}  // namespace qm::crypto
