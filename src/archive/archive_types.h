#pragma once

#include <cstdint>

namespace qm::archive {

// The component's enumerations; ordinal values count from 0 in the order given.
enum class CompressionLevel : std::uint8_t { clNone, clFastest, clNormal, clMax };
// Only caZLIB is ever used.
enum class CompressionAlgorithm : std::uint8_t { caZLIB, caBZIP, caPPM };
enum class CryptoAlgorithm : std::uint8_t { caPkzipClassic, caAES_128, caAES_192, caAES_256 };
enum class StorePathMode : std::uint8_t {
  spNoPath,
  spRelativePath,
  spFullPath,
  spFullPathWithDrive
};
enum class OverwriteMode : std::uint8_t { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };
enum class FileShareMode : std::uint8_t {
  smShareCompat,
  smShareExclusive,
  smShareDenyWrite,
  smShareDenyRead,
  smShareDenyNone
};
enum class Zip64Mode : std::uint8_t { zmDisabled, zmAuto, zmAlways };
enum class SpanningMode : std::uint8_t { smNone, smSpanning, smSplitting };
enum class VolumeSize : std::uint8_t {
  vsAutoDetect,
  vsCustom,
  vs1_44MB,
  vs100MB,
  vs200MB,
  vs250MB,
  vs600MB,
  vs650MB,
  vs700MB,
  vs4700MB
};
enum class VolumeNumberKind : std::uint8_t { vnkFirst, vnkLast, vnkCustom, vnkUnknown };
enum class ProcessOperation : std::uint8_t {
  poAdd,
  poMove,
  poDelete,
  poUpdate,
  poExtract,
  poTest,
  poRename,
  poChangeAttr,
  poChangeComment,
  poMakeSFX,
  poMerge
};
enum class ProgressPhase : std::uint8_t { ppStart, ppProcess, ppEnd };
enum class Action : std::uint8_t { fxaRetry, fxaIgnore, fxaAbort };

}  // namespace qm::archive
