#include "crypto/hash.h"

#include <algorithm>
#include <array>
#include <vector>

#include "crypto/format_registry.h"
#include "crypto/string_format.h"

namespace qm::crypto {
namespace {

constexpr std::array<std::uint8_t, 32> MakePattern() {
  std::array<std::uint8_t, 32> p{};
  for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(i * 7 + 0x30);
  return p;
}

constexpr auto kSelfTestPattern = MakePattern();

}  // namespace

std::span<const std::uint8_t> Hash::SelfTestPattern() {
  return kSelfTestPattern;
}

void Hash::BeginCoding(PAction action) {
  Init();
  if (action == PAction::paWipe) ScrambleDigest();
  Protection::BeginCoding(action);
}

void Hash::EndCoding(PAction action) {
  Protection::EndCoding(action);
  if (action == PAction::paCalc) {
    Done();
  } else {
    Init();
  }
}

void Hash::CodeChunk(std::uint8_t* buffer, std::size_t size, PAction action) {
  if (action != PAction::paDecode) Protection::CodeChunk(buffer, size, action);
  if (actions_.Contains(action)) {
    const auto piece = static_cast<std::size_t>(std::max(DigestKeySize(), 1));
    std::vector<std::uint8_t> digest;
    switch (action) {
      case PAction::paCalc:
        Calc(buffer, size);
        break;
      case PAction::paScramble:
      case PAction::paWipe:
        for (std::size_t i = 0; i < size; i += piece) {
          const std::size_t n = std::min(piece, size - i);
          Calc(buffer + i, n);
          const auto d = DigestKey();
          std::copy_n(d.begin(), std::min(n, d.size()), buffer + i);
        }
        break;
      case PAction::paEncode:
      case PAction::paDecode:
        for (std::size_t i = 0; i < size; i += piece) {
          const std::size_t n = std::min(piece, size - i);
          const auto d = DigestKey();
          digest.assign(d.begin(), d.end());
          Calc(digest.data(), digest.size());
          const auto key = DigestKey();
          for (std::size_t k = 0; k < n && k < key.size(); ++k) buffer[i + k] ^= key[k];
        }
        break;
    }
  }
  if (action == PAction::paDecode) Protection::CodeChunk(buffer, size, action);
}

std::string Hash::DigestStr(int format) {
  const auto d = DigestKey();
  return EncodeToFormat(d.data(), static_cast<std::ptrdiff_t>(d.size()), format);
}

std::string Hash::CalcBuffer(const void* buffer, std::size_t size,
                             std::shared_ptr<Protection> protection, int format) const {
  // The chain may code the data before it is hashed, so work on a copy.
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::vector<std::uint8_t> copy(bytes, bytes + (bytes ? size : 0));
  auto hash = NewInstance(std::move(protection));
  hash->CodeBuffer(copy.data(), copy.size(), PAction::paCalc);
  return hash->DigestStr(format);
}

std::string Hash::CalcStream(platform::Stream& stream, std::int64_t size,
                             std::shared_ptr<Protection> protection, int format) const {
  auto hash = NewInstance(std::move(protection));
  hash->CodeStream(stream, nullptr, size, PAction::paCalc);
  return hash->DigestStr(format);
}

std::string Hash::CalcString(const std::string& data, std::shared_ptr<Protection> protection,
                             int format) const {
  return CalcBuffer(data.data(), data.size(), std::move(protection), format);
}

std::string Hash::CalcFile(const std::u16string& file_name, std::shared_ptr<Protection> protection,
                           int format) const {
  auto hash = NewInstance(std::move(protection));
  hash->CodeFile(file_name, u"", PAction::paCalc);
  return hash->DigestStr(format);
}

bool Hash::SelfTest() const {
  auto hash = NewInstance(nullptr);
  hash->Init();
  hash->Calc(kSelfTestPattern.data(), kSelfTestPattern.size());
  hash->Done();
  const auto got = hash->DigestKey();
  const auto want = ReferenceVector();
  return std::equal(got.begin(), got.end(), want.begin(), want.end());
}

}  // namespace qm::crypto
