#pragma once

#include <string>

#include "archive/base_archiver.h"

namespace qm::archive {

// The ZIP archive component: the ZIP signature set, Zip64 off until asked for, and stored or
// deflated items by compression mode.
class ZipArchiver : public BaseArchiver {
 public:
  explicit ZipArchiver(std::u16string name = {});

  void SetPassword(std::string value) override;

 protected:
  void UpdateCompressionMethod() override;
};

}  // namespace qm::archive
