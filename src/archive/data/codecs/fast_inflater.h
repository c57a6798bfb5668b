#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace qm::archive {

// A raw deflate stream inflated step by step by a faster inflater than zlib's (ISA-L's), where
// one is built in. It checks the data less strictly than zlib and gives slightly different
// amounts per step, so the inflate stage holds a little of its output back and hands over to
// zlib when it reports damage (see InflateStage).
class FastInflater {
 public:
  enum class Status {
    kNeedsInput,  // all of `input` taken, `output` not full: the stream goes on
    kOutputFull,  // `output` full before the input was through
    kEnded,       // the stream's last block is through
    kDamaged,     // the data is not a deflate stream (or nothing usual happened)
  };

  // Nothing when no faster inflater is built in.
  static std::unique_ptr<FastInflater> Make();

  virtual ~FastInflater() = default;

  // Inflates the stream's next bytes from `input` into `output`; `used` and `made` say how
  // much of each went.
  virtual Status Inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                         std::size_t& used, std::size_t& made) = 0;
};

}  // namespace qm::archive
