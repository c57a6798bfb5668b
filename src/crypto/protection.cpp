#include "crypto/protection.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

#include "crypto/crypto_errors.h"
#include "crypto/format_registry.h"
#include "crypto/wipe.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/stream.h"

namespace qm::crypto {
namespace {

constexpr std::size_t kChunkSize = 4096;

std::mutex g_progress_mutex;
ProgressCallback g_progress;

constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    table[i] = crc;
  }
  return table;
}

constexpr auto kCrc16Table = MakeCrc16Table();

}  // namespace

void SetProgressCallback(ProgressCallback callback) {
  std::lock_guard lock(g_progress_mutex);
  g_progress = std::move(callback);
}

Protection::Protection(std::shared_ptr<Protection> protection) {
  SetProtection(std::move(protection));
}

Protection::~Protection() = default;

void Protection::SetProtection(std::shared_ptr<Protection> protection) {
  if (protection.get() == protection_.get()) return;
  for (const Protection* p = protection.get(); p != nullptr; p = p->protection_.get()) {
    if (p == this) throw ProtectionError(std::string(messages::kCircularProtection));
  }
  protection_ = std::move(protection);
}

std::uint16_t Protection::Identity() const {
  std::uint16_t crc = 0xFFFF;
  for (unsigned char c : ClassName()) {
    crc = static_cast<std::uint16_t>((crc << 8) ^ kCrc16Table[((crc >> 8) ^ c) & 0xFF]);
  }
  return static_cast<std::uint16_t>(~crc);
}

void Protection::BeginCoding(PAction action) {
  if (protection_) protection_->BeginCoding(action);
}

void Protection::EndCoding(PAction action) {
  if (protection_) protection_->EndCoding(action);
}

void Protection::CodeChunk(std::uint8_t* buffer, std::size_t size, PAction action) {
  if (protection_) protection_->CodeChunk(buffer, size, action);
}

std::size_t Protection::CodeBuffer(std::uint8_t* buffer, std::size_t size, PAction action) {
  BeginCoding(action);
  try {
    CodeChunk(buffer, size, action);
  } catch (...) {
    EndCoding(action);
    throw;
  }
  EndCoding(action);
  return size;
}

void Protection::ReportProgress(std::int64_t current, std::int64_t maximum) const {
  ProgressCallback callback;
  {
    std::lock_guard lock(g_progress_mutex);
    callback = g_progress;
  }
  if (callback) callback(*this, current, maximum);
}

void Protection::CodeStream(platform::Stream& source, platform::Stream* dest,
                            std::int64_t data_size, PAction action) {
  if (dest == nullptr) dest = &source;
  std::int64_t source_pos = 0;
  if (data_size < 0) {
    data_size = source.Size();
  } else {
    source_pos = source.Position();
  }
  std::int64_t dest_pos = dest == &source ? source_pos : dest->Position();

  std::vector<std::uint8_t> chunk(kChunkSize);
  BeginCoding(action);
  try {
    std::int64_t done = 0;
    while (done < data_size) {
      const auto want =
          static_cast<std::size_t>(std::min<std::int64_t>(data_size - done, kChunkSize));
      source.SetPosition(source_pos);
      const std::size_t got = source.Read(chunk.data(), want);
      if (got == 0) break;
      source_pos += static_cast<std::int64_t>(got);
      CodeChunk(chunk.data(), got, action);
      if (action != PAction::paCalc) {
        dest->SetPosition(dest_pos);
        dest->WriteBuffer(chunk.data(), got);
        dest_pos += static_cast<std::int64_t>(got);
      }
      done += static_cast<std::int64_t>(got);
      ReportProgress(done, data_size);
    }
    source.SetPosition(source_pos);
    if (action != PAction::paCalc && dest != &source) dest->SetPosition(dest_pos);
  } catch (...) {
    SecureWipe(chunk);
    EndCoding(action);
    throw;
  }
  SecureWipe(chunk);
  EndCoding(action);
}

void Protection::CodeFile(const std::u16string& source, const std::u16string& dest,
                          PAction action) {
  namespace fm = platform::file_mode;
  auto& os = platform::Platform::Current();
  const bool blank_dest =
      std::all_of(dest.begin(), dest.end(), [](char16_t c) { return c == u' '; });
  // File names are compared as the platform resolves them: on POSIX two spellings that differ
  // in letter case are two files.
  const bool same_file = !blank_dest && os.ExpandPath(source) == os.ExpandPath(dest);
  if (same_file || (blank_dest && action != PAction::paCalc)) {
    platform::FileStream stream(source, fm::kReadWrite | fm::kShareExclusive);
    CodeStream(stream, nullptr, -1, action);
    return;
  }
  platform::FileStream in(source, fm::kRead | fm::kShareDenyNone);
  if (action == PAction::paCalc) {
    CodeStream(in, &in, -1, action);
    return;
  }
  platform::FileStream out(dest, fm::kCreate);
  CodeStream(in, &out, -1, action);
  out.SetSize(out.Position());
}

std::string Protection::CodeString(const std::string& source, PAction action, int format) {
  if (action == PAction::paDecode) {
    std::string bytes =
        DecodeFromFormat(source.data(), static_cast<std::ptrdiff_t>(source.size()), format);
    CodeBuffer(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(), action);
    return bytes;
  }
  std::string bytes = source;
  CodeBuffer(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(), action);
  return EncodeToFormat(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size()), format);
}

}  // namespace qm::crypto
