#include <isa-l/igzip_lib.h>

#include "archive/data/codecs/fast_inflater.h"
#include "archive/data/codecs/vector_state.h"

namespace qm::archive {
namespace {

class IsalInflater final : public FastInflater {
 public:
  IsalInflater() {
    isal_inflate_init(&state_);
    state_.crc_flag = ISAL_DEFLATE;
  }

  Status Inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::size_t& used, std::size_t& made) override {
    // ISA-L takes 32-bit counts; the stage's pieces are far smaller.
    state_.next_in = const_cast<std::uint8_t*>(input.data());
    state_.avail_in = static_cast<std::uint32_t>(input.size());
    state_.next_out = output.data();
    state_.avail_out = static_cast<std::uint32_t>(output.size());
    const int rc = isal_inflate(&state_);
    ClearUpperVectorState();
    used = input.size() - state_.avail_in;
    made = output.size() - state_.avail_out;
    if (rc < 0) return Status::kDamaged;
    if (state_.block_state == ISAL_BLOCK_FINISH) return Status::kEnded;
    if (state_.avail_out == 0) return Status::kOutputFull;
    // With room left it stops only for want of input; anything else is not trusted.
    return state_.avail_in == 0 ? Status::kNeedsInput : Status::kDamaged;
  }

 private:
  inflate_state state_{};
};

}  // namespace

std::unique_ptr<FastInflater> FastInflater::Make() {
  return std::make_unique<IsalInflater>();
}

}  // namespace qm::archive
