#include "archive/volumes/stub_placement.h"

#include "archive/archive_error.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/stream_errors.h"

namespace qm::archive {

std::int64_t PlaceStub(platform::Stream& archive, const std::u16string& stub_file,
                       std::int64_t first_volume_size, std::u16string_view component_name) {
  namespace fm = platform::file_mode;
  platform::FileStream stub(stub_file, fm::kRead | fm::kShareDenyNone);
  const std::int64_t size = stub.Size();
  if (first_volume_size >= 0 && size > first_volume_size)
    throw ArchiveError(ErrorSite::kSfxStubTooLarge, component_name);
  archive.SetSize(0);
  archive.SetPosition(0);
  stub.SetPosition(0);
  if (archive.CopyFrom(stub, size) != size) throw platform::WriteError();
  return size;
}

}  // namespace qm::archive
