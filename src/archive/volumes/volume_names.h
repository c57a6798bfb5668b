#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_types.h"

namespace qm::archive {

// What decides the names of a set's volumes besides the archive's own name.
struct VolumeNaming {
  SpanningMode mode = SpanningMode::smNone;
  // Numbered names ("arc_001.zip") instead of the classic ones ("arc.z01").
  bool advanced = false;
  // The set begins with a self-extractor: a stub, a stub to be placed, or an ".exe" name.
  bool exe = false;
  // ".x01" / ".zx" instead of ".z01" / ".zip" (a compression method above 251).
  bool alternative_extensions = false;
};

// The last volume's number when a name is built.
inline constexpr std::int32_t kLastVolume = -1;

// The name of volume `number` (from 0; kLastVolume for the last) of the archive `name`:
//   spanning:  arc.zip on every disk, or arc_001.zip, arc_002.zip ... (advanced);
//   splitting: arc.z01, arc.z02 ... and arc.zip, or arc_001.zip ... and arc.zip (advanced);
//              a self-extracting set: arc.exe, arc.z02 ... and arc.zip.
// The classic letters take the case of the archive's extension ("arc.ZIP" gives "arc.Z01"):
// file systems that tell case apart would otherwise separate a set's volumes from each other
// in the eyes of every other ZIP tool. Any other case gives `name` unchanged.
std::u16string MakeVolumeName(const std::u16string& name, std::int32_t number,
                              const VolumeNaming& naming);

// `name` with its extension's letters in the other case ("arc.Z01" for "arc.z01"), or empty
// when the extension has no letter or mixes cases. Sets made where case does not matter may
// carry either.
std::u16string OtherCaseExtension(const std::u16string& name);

// The name of the last volume of the set that `volume_name` would be a volume of: "arc.zip"
// for "arc.z03" (".ZIP" for ".Z03", ".zx" for ".x03"), "arc.zip" for "arc_003.zip"; empty
// when the name is not a volume's.
std::u16string LastVolumeNameOf(const std::u16string& volume_name);

// The extension (from the last dot of the last path component) holds ".exe", in any case.
bool IsExeName(const std::u16string& name);

}  // namespace qm::archive
