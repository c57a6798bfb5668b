#include "archive/prompt_texts.h"

namespace qm::archive {

std::u16string_view PromptTextOf(PromptText id) {
  switch (id) {
    case PromptText::kProcessFileFailure:
      return u"%s. File processing error, possibly disk is full";
    case PromptText::kFileNotFoundOnDisk:
      return u"File '%s' not found on inserted disk. Please insert last disk with required file";
    case PromptText::kOverwriteFile:
      return u"Overwrite file \"%s\" with \"%s\"";
    case PromptText::kPasswordCaption:
      return u"Password for \"%s\"";
    case PromptText::kPasswordLabel:
      return u"Enter password: ";
    case PromptText::kInsertBlankDisk:
      return u"Please insert a blank disk #%d";
    case PromptText::kInsertFirstDisk:
      return u"Please insert the first disk";
    case PromptText::kInsertLastDisk:
      return u"Please insert the last disk";
    case PromptText::kInsertDisk:
      return u"Please insert disk #%d";
    case PromptText::kDiskFull:
      return u"Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean "
             u"the disk or find another blank disk";
  }
  return {};
}

}  // namespace qm::archive
