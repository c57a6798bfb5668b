#pragma once

#include <filesystem>

#include "label/bitmap32.h"

namespace qm::testing {

// Saves a bitmap as an uncompressed 24-bit BMP file, which any image viewer opens.
void WriteBmp(const std::filesystem::path& path, const label::Bitmap32& bitmap);

// Reads a file WriteBmp wrote (24 bits, uncompressed); throws std::runtime_error otherwise.
label::Bitmap32 ReadBmp(const std::filesystem::path& path);

// Places bitmaps next to each other, tops aligned, on a white ground with `gap` pixels
// between them.
label::Bitmap32 SideBySide(const label::Bitmap32& left, const label::Bitmap32& right, int gap = 8);

}  // namespace qm::testing
