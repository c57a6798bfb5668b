#include "archive/data/write/whole_source.h"

#include "archive/data/codecs/whole_deflate.h"
#include "archive/data/write/crc_stage.h"

namespace qm::archive {

void CompressWholeSource(WholeSource& source) {
  try {
    CrcStage crc;
    crc.Add(source.bytes);
    source.crc32 = crc.Value();
    WholeDeflate deflate(source.mode);
    const auto out = deflate.Compress(source.bytes);
    source.compressed.assign(out.begin(), out.end());
  } catch (...) {
    source.failure = std::current_exception();
  }
}

}  // namespace qm::archive
