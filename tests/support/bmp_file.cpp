#include "support/bmp_file.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>

namespace qm::testing {
namespace {

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void CopyInto(label::Bitmap32& target, const label::Bitmap32& source, int left) {
  for (int y = 0; y < source.Height(); ++y) {
    std::copy_n(source.Row(y),
                static_cast<std::size_t>(source.Width()) * label::Bitmap32::kBytesPerPixel,
                target.Pixel(left, y));
  }
}

}  // namespace

void WriteBmp(const std::filesystem::path& path, const label::Bitmap32& bitmap) {
  const int width = bitmap.Width(), height = bitmap.Height();
  const std::uint32_t row_bytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t pixel_bytes = row_bytes * static_cast<std::uint32_t>(height);
  std::string out = "BM";
  PutLittleEndian(out, 14 + 40 + pixel_bytes, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 14 + 40, 4);
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(width), 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(height), 4);  // bottom-up rows
  PutLittleEndian(out, 1, 2);
  PutLittleEndian(out, 24, 2);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, pixel_bytes, 4);
  PutLittleEndian(out, 3780, 4);  // 96 dpi in pixels per metre
  PutLittleEndian(out, 3780, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 0, 4);
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    for (int x = 0; x < width; ++x)
      out.append(reinterpret_cast<const char*>(bitmap.Pixel(x, y)), 3);
    out.resize(start + row_bytes, '\0');
  }
  std::ofstream file(path, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

label::Bitmap32 SideBySide(const label::Bitmap32& left, const label::Bitmap32& right, int gap) {
  label::Bitmap32 both(left.Width() + gap + right.Width(), std::max(left.Height(), right.Height()));
  both.Fill(255);
  CopyInto(both, left, 0);
  CopyInto(both, right, left.Width() + gap);
  return both;
}

}  // namespace qm::testing
