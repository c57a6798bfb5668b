#pragma once

#include <cstdint>
#include <string>

namespace qm::archive {

// What the stages of an item's data path (reading: decipher, inflate, length limit, CRC check;
// writing: source, CRC, deflate, encipher) tell the component that runs them, and ask of it.
// The component implements it over its events and settings; a test implements it in a few
// lines, so each stage is tested alone on a memory stream.
class ItemDataEvents {
 public:
  virtual ~ItemDataEvents() = default;

  // `done` of `total` bytes of the current item are through. False: the user cancelled, and
  // the stage stops at once.
  virtual bool Progress(std::int64_t done, std::int64_t total) = 0;
  // A write came up short (a full disk, a quota, a lost device). True: try the write again;
  // false: give up the item.
  virtual bool DiskFull() = 0;
  // The password did not open an encrypted item. True with a new `password` to try; false
  // when the user skips the item.
  virtual bool AskPassword(std::string& password) = 0;
};

}  // namespace qm::archive
