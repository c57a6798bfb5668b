#include "archive/directory/dir_item.h"

#include <algorithm>

namespace qm::archive {

const DirItemRecord DirItem::kNoRecord;
const DirItemChange DirItem::kNoChange;

void DirItem::SetStoredName(std::string_view bytes) {
  // Held again only where the bytes are not the name's own characters: a name in another
  // page, a UTF-8 one, or one a name block replaced.
  name_is_stored_bytes_ =
      bytes.size() == Name.size() &&
      std::equal(bytes.begin(), bytes.end(), Name.begin(), [](char b, char16_t c) {
        return static_cast<unsigned char>(b) < 0x80 && char16_t(b) == c;
      });
  if (name_is_stored_bytes_) {
    if (record_.get()) {
      DirItemRecord& record = EditRecord();
      std::string().swap(record.StoredNameBytes);
      std::u16string().swap(record.StoredNameFor);
    }
    return;
  }
  DirItemRecord& record = EditRecord();
  record.StoredNameBytes.assign(bytes);
  record.StoredNameFor = Name;
}

bool DirItem::StoredNameFits() const {
  if (name_is_stored_bytes_) return true;
  const DirItemRecord& record = Record();
  return record.StoredNameFor == Name && !(record.StoredNameBytes.empty() && !Name.empty());
}

std::string DirItem::StoredNameBytes() const {
  if (!name_is_stored_bytes_) return Record().StoredNameBytes;
  std::string bytes(Name.size(), '\0');
  std::transform(Name.begin(), Name.end(), bytes.begin(),
                 [](char16_t c) { return static_cast<char>(c); });
  return bytes;
}

void DirItem::KeepStoredNameOf() {
  if (!name_is_stored_bytes_) return;
  const std::string bytes = StoredNameBytes();
  name_is_stored_bytes_ = false;
  DirItemRecord& record = EditRecord();
  record.StoredNameBytes = bytes;
  record.StoredNameFor = Name;
}

}  // namespace qm::archive
