#include "encryption_test_support.h"

#include <zlib.h>

#include <stdexcept>

#include "archive/encryption/cipher_factory.h"
#include "archive/format/records.h"

namespace qm::archive::testing {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
  return static_cast<std::uint32_t>(::crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

std::vector<std::uint8_t> RawDeflate(std::span<const std::uint8_t> data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

bool RawInflate(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  std::vector<std::uint8_t> buffer(1 << 16);
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    rc = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer.data(), buffer.data() + (buffer.size() - z.avail_out));
    if (rc == Z_BUF_ERROR) break;
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}

StoredItem EncryptItem(CryptoAlgorithm algorithm, const std::string& password,
                       std::span<const std::uint8_t> plain, bool deflate) {
  StoredItem stored;
  stored.crc32 = Crc32(plain);
  DirItem item;
  item.CompressionMethod = deflate ? method::kDeflated : method::kStored;
  std::vector<std::uint8_t> body =
      deflate ? RawDeflate(plain) : std::vector<std::uint8_t>(plain.begin(), plain.end());
  const auto encipher = MakeItemEncipher(item, algorithm, password, stored.crc32);
  stored.data = encipher->Header();
  // Two uneven chunks: the key state must run on across them.
  const std::size_t half = body.size() / 3;
  encipher->Encrypt(std::span(body).first(half));
  encipher->Encrypt(std::span(body).subspan(half));
  stored.data.insert(stored.data.end(), body.begin(), body.end());
  const auto trailer = encipher->Trailer();
  stored.data.insert(stored.data.end(), trailer.begin(), trailer.end());
  stored.compMethod = encipher->HeaderMethod(item.CompressionMethod);
  if (auto block = encipher->ExtraField()) stored.extra.push_back(*block);
  return stored;
}

std::vector<std::uint8_t> BuildEncryptedArchive(const std::vector<PlainEntry>& entries,
                                                CryptoAlgorithm algorithm,
                                                const std::string& password) {
  std::vector<std::uint8_t> archive;
  std::vector<std::uint8_t> central;
  ByteWriter out(archive);
  ByteWriter cd_out(central);
  for (const PlainEntry& entry : entries) {
    const StoredItem stored = EncryptItem(algorithm, password, entry.data, entry.deflate);
    std::vector<std::uint8_t> extra;
    ByteWriter extra_out(extra);
    EncodeExtraField(stored.extra, extra_out);

    ZipLocalHeader local;
    local.extractVersion = kVersionOem;
    local.genPurposeFlag = gpf::kEncrypted;
    local.compMethod = stored.compMethod;
    local.lastModTime = 0x6000;  // 12:00:00
    local.lastModDate = 0x5A21;  // 2025-01-01
    local.crc32 = stored.crc32;
    local.compSize = static_cast<std::uint32_t>(stored.data.size());
    local.unCompSize = static_cast<std::uint32_t>(entry.data.size());
    local.nameLength = static_cast<std::uint16_t>(entry.name.size());
    local.extraLength = static_cast<std::uint16_t>(extra.size());

    ZipCentralDir cd = CentralDirFromLocal(local);
    cd.externalAttr = 0x20;
    cd.relOffsetLH = static_cast<std::uint32_t>(archive.size());

    local.EncodeTo(out);
    out.Bytes(entry.name);
    out.Bytes(extra.data(), extra.size());
    out.Bytes(stored.data.data(), stored.data.size());

    cd.EncodeTo(cd_out);
    cd_out.Bytes(entry.name);
    cd_out.Bytes(extra.data(), extra.size());
  }
  ZipCentralDirEnd end;
  end.entriesOnDisk = static_cast<std::uint16_t>(entries.size());
  end.entriesCentralDir = end.entriesOnDisk;
  end.centralDirSize = static_cast<std::uint32_t>(central.size());
  end.offsetStartDir = static_cast<std::uint32_t>(archive.size());
  out.Bytes(central.data(), central.size());
  end.EncodeTo(out);
  return archive;
}

}  // namespace qm::archive::testing
