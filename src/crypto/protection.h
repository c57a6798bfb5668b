#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qm::platform {
class Stream;
}

namespace qm::crypto {

enum class PAction { paEncode, paDecode, paScramble, paCalc, paWipe };

// A set of PAction values.
class PActions {
 public:
  constexpr PActions() = default;
  constexpr PActions(std::initializer_list<PAction> actions) {
    for (auto a : actions) bits_ |= Bit(a);
  }
  static constexpr PActions All() {
    return {PAction::paEncode, PAction::paDecode, PAction::paScramble, PAction::paCalc,
            PAction::paWipe};
  }
  constexpr bool Contains(PAction a) const { return (bits_ & Bit(a)) != 0; }
  constexpr void Include(PAction a) { bits_ |= Bit(a); }
  constexpr void Exclude(PAction a) { bits_ &= static_cast<std::uint8_t>(~Bit(a)); }
  constexpr bool operator==(const PActions&) const = default;

 private:
  static constexpr std::uint8_t Bit(PAction a) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(a));
  }
  std::uint8_t bits_ = 0;
};

// Called by the coding operations after every chunk when set: (sender, done, total).
using ProgressCallback =
    std::function<void(const class Protection& sender, std::int64_t current, std::int64_t maximum)>;
void SetProgressCallback(ProgressCallback callback);

// Base of the chainable byte transforms (ciphers and hashes). A protection may hold a further
// protection that takes part in every coding step: encoding runs the chain innermost-first,
// decoding outermost-first. Chain members are shared; a chain that would lead back to an
// object is refused, so ownership never forms a cycle.
class Protection {
 public:
  explicit Protection(std::shared_ptr<Protection> protection = nullptr);
  virtual ~Protection();
  Protection(const Protection&) = delete;
  Protection& operator=(const Protection&) = delete;

  virtual void BeginCoding(PAction action);
  virtual void EndCoding(PAction action);
  virtual void CodeChunk(std::uint8_t* buffer, std::size_t size, PAction action);
  // Codes `data_size` bytes from the source's position (the whole source from 0 when negative)
  // in chunks of 4096 and writes them to `dest` (the source itself when null) except for
  // paCalc. Source and destination positions are tracked apart, so a stream codes onto itself.
  virtual void CodeStream(platform::Stream& source, platform::Stream* dest, std::int64_t data_size,
                          PAction action);
  // Codes a file onto `dest`, or in place when `dest` is blank (other than for paCalc) or
  // names the same file.
  virtual void CodeFile(const std::u16string& source, const std::u16string& dest, PAction action);
  // paDecode: `source` is text in `format` and the coded bytes come back; other actions code
  // the bytes of `source` and answer text in `format` (see string_format.h for the numbers).
  virtual std::string CodeString(const std::string& source, PAction action, int format);
  virtual std::size_t CodeBuffer(std::uint8_t* buffer, std::size_t size, PAction action);

  // The name of the class as the messages show it.
  virtual std::string_view ClassName() const { return "TProtection"; }
  // A 16-bit checksum of the class name; kept for callers that tag data with it.
  std::uint16_t Identity() const;

  const std::shared_ptr<Protection>& NextProtection() const { return protection_; }
  // Chains `protection` after this one; throws ProtectionError when the chain would come back
  // to this object.
  void SetProtection(std::shared_ptr<Protection> protection);

  PActions Actions() const { return actions_; }
  void SetActions(PActions actions) { actions_ = actions; }

 protected:
  void ReportProgress(std::int64_t current, std::int64_t maximum) const;

  std::shared_ptr<Protection> protection_;
  PActions actions_ = PActions::All();
};

}  // namespace qm::crypto
