#include "archive/data/write/item_encoder.h"

#include <memory>
#include <optional>

#include "archive/data/write/archive_sink.h"
#include "archive/data/write/crc_stage.h"
#include "archive/data/write/deflate_stage.h"
#include "archive/data/write/encoder_chunking.h"
#include "archive/data/write/source_reader.h"
#include "archive/encryption/cipher_factory.h"
#include "archive/format/records.h"

namespace qm::archive {
namespace {

// The CRC pre-pass of an encrypted item: the classic header carries the CRC's high bytes,
// so the whole source is read once before any data is written. A short read ends it early,
// as it ends the data pass.
std::uint32_t SourceCrc(SourceReader& reader) {
  CrcStage crc;
  for (auto chunk = reader.Next(); !chunk.empty(); chunk = reader.Next()) crc.Add(chunk);
  reader.Rewind();
  return crc.Value();
}

// Writes what goes in front of an encrypted item's data: the classic 12-byte header (with the
// CRC of the pre-pass) or the AES salt and password verifier. Only the classic cipher needs
// the pre-pass; AES items get their CRC in the data pass, and their source is read once.
std::unique_ptr<ItemEncipher> WriteEncryptionHeader(const EncodeSettings& settings,
                                                    const DirItem& item, SourceReader& reader,
                                                    ArchiveSink& sink,
                                                    std::optional<std::uint32_t>& header_crc) {
  const bool aes = settings.algorithm != CryptoAlgorithm::caPkzipClassic;
  if (!aes) header_crc = SourceCrc(reader);
  auto encryptor =
      MakeItemEncipher(item, settings.algorithm, settings.password, header_crc.value_or(0));
  if (!sink.Write(encryptor->Header())) return nullptr;
  return encryptor;
}

}  // namespace

EncodeOutcome ItemEncoder::Encode(platform::Stream& destination, platform::Stream& source,
                                  const DirItem& item, WholeSource* ready) {
  const std::uint8_t mode = settings_.compression_mode;
  SourceReader reader(source, EncoderChunkSize(mode));
  // Compressed ahead only what is one chunk here and was compressed at this mode.
  if (ready != nullptr && (ready->mode != mode || ready->failure || !reader.NextIsLast())) {
    ready = nullptr;
  }
  ArchiveSink sink(destination, events_);
  EncodeOutcome outcome;
  outcome.source_size = reader.Size();
  outcome.method = mode == 0 || reader.Size() == 0 ? method::kStored : method::kDeflated;

  std::optional<std::uint32_t> header_crc;
  std::unique_ptr<ItemEncipher> encryptor;
  if (!settings_.password.empty()) {
    DirItem described = item;
    described.CompressionMethod = outcome.method;
    encryptor = WriteEncryptionHeader(settings_, described, reader, sink, header_crc);
    if (!encryptor) {
      outcome.cancelled = true;
      return outcome;
    }
  }

  CrcStage crc;
  std::optional<DeflateStage> deflate;
  if (outcome.method == method::kDeflated) deflate.emplace(mode);
  while (!reader.AtEnd()) {
    if (!events_.Progress(reader.Consumed(), reader.Size())) {
      outcome.cancelled = true;
      break;
    }
    const bool last = reader.NextIsLast();
    const auto chunk = reader.Next();
    if (chunk.empty()) break;  // the source came up short
    std::span<std::uint8_t> out;
    if (ready != nullptr) {
      crc = CrcStage(ready->crc32);
      out = ready->compressed;
    } else {
      crc.Add(chunk);
      out = deflate ? deflate->Compress(chunk, last) : chunk;
    }
    if (encryptor) encryptor->Encrypt(out);
    if (!sink.Write(out)) {
      reader.GiveBack(static_cast<std::int64_t>(chunk.size()));
      outcome.cancelled = true;
      break;
    }
  }
  if (encryptor && !outcome.cancelled && reader.Consumed() == reader.Size()) {
    if (!sink.Write(encryptor->Trailer())) outcome.cancelled = true;
  }

  outcome.consumed = reader.Consumed();
  outcome.compressed_size = sink.Written();
  outcome.crc32 = crc.Value();
  if (header_crc && outcome.consumed == outcome.source_size && *header_crc != outcome.crc32) {
    outcome.source_changed = true;
  }
  return outcome;
}

}  // namespace qm::archive
