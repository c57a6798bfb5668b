#include <algorithm>
#include <array>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "archive/format/stream_reader.h"
#include "platform/file_attributes.h"

namespace qm::archive {

// A damaged archive (no end record, or a directory that cannot be read) is rebuilt from the
// local headers found scanning the whole stream. A header is taken when its compressed size
// is plausible; folder or file is guessed from its sizes, and sizes of streamed entries come
// from their data descriptors.
void DirManager::RebuildFromLocalHeaders() {
  CDir.Clear();
  if (settings_.spanning_mode != SpanningMode::smNone) throw ArchiveError(ErrorSite::kOpenAborted);
  platform::Stream& stream = *archive_stream_;
  const std::int64_t size = stream.Size();
  const std::uint32_t local_signature =
      settings_.zip_format ? sig::kLocalHeader : sig::kAltLocalHeader;
  constexpr auto kHeaderLength = static_cast<std::int64_t>(ZipLocalHeader::kEncodedLength);
  SignatureScanner headers(stream, local_signature, kRebuildWindow, kHeaderLength);
  SignatureScanner descriptors(stream, sig::kDataDescriptor, kRebuildWindow,
                               static_cast<std::int64_t>(ZipDataDescriptor::kEncodedLength));
  std::int64_t at = headers.Find(0);
  if (at < 0) throw ArchiveError(ErrorSite::kInvalidArchive);
  while (at >= 0) {
    const std::int64_t next = headers.Find(at + 4);
    std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> fixed{};
    if (ReadAt(stream, at, fixed.data(), fixed.size())) {
      ByteReader in(fixed.data(), fixed.size());
      ZipLocalHeader header;
      header.DecodeFrom(in);
      if (header.compSize < size && header.extraLength <= kMaxRebuildExtraLength) {
        AddRebuiltItem(at, header, size, next >= 0 ? next : size, descriptors);
      }
    }
    at = next;
  }
  central_dir_offset_ = size;
}

std::int32_t DirManager::AddRebuiltItem(std::int64_t offset, const ZipLocalHeader& header,
                                        std::int64_t stream_size, std::int64_t next_header,
                                        SignatureScanner& descriptors) {
  platform::Stream& stream = *archive_stream_;
  const std::int32_t index = CDir.Count();
  CDir.SetCount(index + 1);
  DirItem& item = *CDir.ItemPtr(index);
  ZipCentralDir& cd = item.CentralDir;
  cd = CentralDirFromLocal(header);
  cd.signature = settings_.zip_format ? sig::kCentralDir : sig::kAltCentralDir;
  // An empty entry without a data descriptor is taken for a folder.
  cd.externalAttr = (header.unCompSize != 0 || (header.genPurposeFlag & gpf::kDataDescriptor))
                        ? platform::attr::kArchive
                        : platform::attr::kDirectory;
  cd.relOffsetLH = static_cast<std::uint32_t>(offset);
  if (offset >= static_cast<std::int64_t>(kEscape32)) {
    cd.relOffsetLH = kEscape32;
    item.EditRecord().Zip64ExtInfo.relOffsetLH = static_cast<std::uint64_t>(offset);
    item.bHugeFile = true;
  }
  item.CompressionMethod = header.compMethod;
  if ((header.genPurposeFlag & gpf::kEncrypted) &&
      !SkipsZipChecks(!settings_.zip_format, header.extractVersion)) {
    item.EncryptionAlgorithm = CryptoAlgorithm::caPkzipClassic;
  }

  std::u16string name;
  std::string stored;
  bool name_read = false;
  const std::int64_t name_at = offset + static_cast<std::int64_t>(ZipLocalHeader::kEncodedLength);
  if (stream_size - name_at >= header.nameLength) {
    stored.assign(header.nameLength, '\0');
    if (ReadAt(stream, name_at, stored.data(), stored.size())) {
      name_read = true;
      name = DecodeName(stored, header.genPurposeFlag, true);
      const std::int64_t extra_at = name_at + header.nameLength;
      const auto extra_length = static_cast<std::size_t>(
          std::min<std::int64_t>(header.extraLength, stream_size - extra_at));
      std::vector<std::uint8_t> extra(extra_length);
      if (extra_length > 0 && ReadAt(stream, extra_at, extra.data(), extra.size())) {
        ReadExtraBlocks(item, extra, stored, name);
      }
    }
  }
  CDir.SetItemName(index, std::move(name));
  if (name_read) item.SetStoredName(stored);

  if (header.genPurposeFlag & gpf::kDataDescriptor) {
    const std::int64_t found = descriptors.Find(offset);
    std::array<std::uint8_t, ZipDataDescriptor::kEncodedLength> bytes{};
    if (found >= 0 && ReadAt(stream, found, bytes.data(), bytes.size())) {
      ByteReader in(bytes.data(), bytes.size());
      ZipDataDescriptor descriptor;
      descriptor.DecodeFrom(in);
      cd.crc32 = descriptor.crc32;
      cd.compSize = descriptor.compSize;
      cd.unCompSize = descriptor.unCompSize;
    } else {
      // No descriptor (the archive ends inside the entry, or the descriptor is damaged): the
      // header's zero sizes and CRC would pass the entry off as an empty file that verifies.
      // Its data runs to the next header instead, so that whatever it decodes to fails the
      // recorded size of 0, and it owns no byte of the next entry.
      const std::int64_t data_at = name_at + header.nameLength + header.extraLength;
      cd.compSize = static_cast<std::uint32_t>(
          std::clamp<std::int64_t>(next_header - data_at, 0, kEscape32 - 1));
    }
  }
  return index;
}

}  // namespace qm::archive
