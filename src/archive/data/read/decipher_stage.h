#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "archive/data/item_data_events.h"
#include "archive/data/item_sink.h"
#include "archive/encryption/item_decipher.h"
#include "platform/stream.h"

namespace qm::archive {

// Deciphers an encrypted item's stored bytes in place and passes them on.
class DecipherStage final : public ItemSink {
 public:
  DecipherStage(ItemSink& next, ItemDecipher& decipher) : next_(next), decipher_(decipher) {}

  bool Write(std::span<std::uint8_t> data) override {
    decipher_.Decrypt(data);
    return next_.Write(data);
  }
  std::int64_t Room() const override { return next_.Room(); }
  bool Ended() const override { return next_.Ended(); }

 private:
  ItemSink& next_;
  ItemDecipher& decipher_;
};

// Keys `decipher` with the first password that opens the item: `password`, then each one the
// events give, the cipher's header read again from `archive`'s current position for each.
// True with `archive` at the first data byte; false when the events give the item up.
bool OpenWithPassword(ItemDecipher& decipher, platform::Stream& archive, std::string password,
                      ItemDataEvents& events);

}  // namespace qm::archive
