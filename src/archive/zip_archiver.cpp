#include "archive/zip_archiver.h"

#include "archive/format/records.h"

namespace qm::archive {

ZipArchiver::ZipArchiver(std::u16string name) : BaseArchiver(std::move(name)) {
  is_zip_format_ = true;
  SetZip64Mode(Zip64Mode::zmDisabled);
  UpdateCompressionMethod();
}

void ZipArchiver::SetPassword(std::string value) {
  BaseArchiver::SetPassword(std::move(value));
}

void ZipArchiver::UpdateCompressionMethod() {
  compression_method_ = CompressionMode() == 0 ? method::kStored : method::kDeflated;
}

}  // namespace qm::archive
