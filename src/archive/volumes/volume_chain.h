#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/stream.h"

namespace qm::archive {

// The volumes of a set from one of them to the last, read as one stream: byte 0 is the first
// byte of volume `first`, and every volume's bytes follow those of the one before. A record
// or an item's data that runs over the end of a volume is read on in the next one, as if the
// volumes had never been cut apart.
//
// Only one volume is open at a time (a removable drive holds one disk): `open` makes a volume
// the owner's archive stream, asking for its disk when it must, and answers that stream,
// which stays valid until the next call. Volumes are opened only when reading reaches them.
// Writing is refused.
class VolumeChain final : public platform::Stream {
 public:
  using Opener = std::function<platform::Stream&(std::int32_t volume)>;

  VolumeChain(Opener open, std::int32_t first, std::int32_t last);

  // Starts the chain at another volume (what is known of the volumes from there on is kept).
  void Rebase(std::int32_t first);
  std::int32_t First() const { return first_; }

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, Origin origin) override;
  void SetSize(std::int64_t size) override;
  // The bytes from the first volume to the end of the last: every volume not yet seen is
  // opened to learn its size.
  std::int64_t Size() override;

 private:
  // Makes `volume` the open one and learns its size.
  platform::Stream& Open(std::int32_t volume);
  // The volume holding chain byte `position` (opening volumes on the way as far as needed),
  // with that byte's offset in it; false past the end of the last volume.
  bool Locate(std::int64_t position, std::int32_t& volume, std::int64_t& offset);

  Opener open_;
  std::int32_t first_;
  std::int32_t last_;
  // Sizes of volumes first_, first_ + 1, ... as far as they are known.
  std::vector<std::int64_t> sizes_;
  std::int32_t open_volume_ = -1;
  platform::Stream* stream_ = nullptr;
  std::int64_t position_ = 0;
};

}  // namespace qm::archive
