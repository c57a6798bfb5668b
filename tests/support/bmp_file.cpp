#include "support/bmp_file.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
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

std::uint32_t GetLittleEndian(const std::string& in, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(in[at + i]);
  return value;
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

label::Bitmap32 ReadBmp(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (in.size() < 54 || in.compare(0, 2, "BM") != 0 || GetLittleEndian(in, 28, 2) != 24 ||
      GetLittleEndian(in, 30, 4) != 0) {
    throw std::runtime_error("not an uncompressed 24-bit BMP file: " + path.string());
  }
  const auto width = static_cast<int>(GetLittleEndian(in, 18, 4));
  const auto height = static_cast<int>(GetLittleEndian(in, 22, 4));
  const std::size_t pixels = GetLittleEndian(in, 10, 4);
  const std::size_t row_bytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  if (width <= 0 || height <= 0 || pixels + row_bytes * height > in.size()) {
    throw std::runtime_error("truncated BMP file: " + path.string());
  }
  label::Bitmap32 bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    const char* row = in.data() + pixels + row_bytes * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = bitmap.Pixel(x, y);
      std::copy_n(row + 3 * x, 3, pixel);
      pixel[label::Bitmap32::kSpare] = 0;
    }
  }
  return bitmap;
}

label::Bitmap32 SideBySide(const label::Bitmap32& left, const label::Bitmap32& right, int gap) {
  label::Bitmap32 both(left.Width() + gap + right.Width(), std::max(left.Height(), right.Height()));
  both.Fill(255);
  CopyInto(both, left, 0);
  CopyInto(both, right, left.Width() + gap);
  return both;
}

}  // namespace qm::testing
