#pragma once

#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "archive/format_text.h"

namespace qm::archive {

// The native error numbers: each names one raise site and kind of failure. The numbers are
// part of the interface (handlers of the failure event see them), so they never change;
// the ones marked unused are in the code table but raised by no operation.
enum class ErrorSite : int {
  kUnknown = 0,
  kSetItemIndex = 1,
  kGetItemIndex = 2,
  kItemPointerIndex = 3,
  kDeleteItemIndex = 4,
  kCompressionLevel = 5,
  kNilPointer = 6,
  kRollbackIndex = 7,
  kItemDataDamaged = 8,
  kBlankFileNameOnOpen = 9,
  kBlankFileNameOnCreate = 10,
  kFileNotFound = 11,
  kArchiveNotFound = 12,
  kArchiveNotOpen = 13,
  kArchiveNotOpenUnused = 14,
  kMemoryItemNotFound = 15,
  kExtractIndex = 16,
  kNoSfxStub = 17,
  kSfxStubNotFound = 18,
  kCannotCreateFile = 19,
  kCannotCreateFolder = 20,
  kUpdateIndex = 21,
  kUpdateNotStartedOnItem = 22,
  kCannotCreateFileUnused = 23,
  kProcessIndex = 24,
  kUpdateNotStarted = 25,
  kUpdateNotEnded = 26,
  kCannotDeleteSource = 27,
  kInMemoryCreateOnly = 28,
  kBlankFileNameOnReopen = 29,
  kRenameSourceNotFound = 30,
  kMaskMatchesNothing = 31,
  kArchiveReadOnly = 32,
  kCannotOpenSource = 33,
  kCompressedSizeMismatch = 34,
  kInvalidArchive = 35,
  kCannotCreateOutput = 36,
  kArchiveIsOpen = 37,
  kNothingFound = 38,
  kCannotCreateFolderUnused = 39,
  kNoZip64DirEnd = 40,
  kItemNeedsZip64 = 41,
  kTestItemNotFound = 42,
  kDirectoryNeedsZip64 = 43,
  kOpenAborted = 44,
  kVolumeOpenAborted = 45,
  kVolumeWrite = 46,
  kSfxStubTooLarge = 47,
  kArchiveDamaged = 48,
  kMakeSfxOnVolumes = 49,
  kAlreadyHasSfxStub = 50,
  kVolumesOnCustomStream = 51,
  kSpannedModification = 52,
  kFileNotFoundUnused53 = 53,
  kFileNotFoundUnused54 = 54,
  kDeflate64 = 55,
  kMakeSfx = 56,
  kDirectoryBeyondFile = 57,
  kNameIndexPosition = 58,
  kNameIndexAppend = 59,
  kCannotDeleteFolder = 60,
  kNameTooLong = 61,
  kSeveralVolumeTransactions = 62,
  kInitVectorIndex = 63,
  kInitVectorIndexUnused = 64,
  kDiskFull = 65,
  kDiskFullUnused = 66,
  kInvalidPassword = 67,
  kPathOutsideBase = 68,
  kTailFileBlocked = 69,
  kMergeIntoItself = 70,
  kOverlappingItems = 71,
  kLocalHeaderMissing = 72,
  kForeignTailFile = 73,
  kCommentTooLong = 74,
  kOutputIsInput = 75,
  kVolumeNameClash = 76,
  kSourceChanged = 77,
};

// Every failure the archive engine detects itself. The raise site names a native error number
// (an ErrorSite) that identifies the place; it maps to a public code (ErrorCodeOf) that
// picks the message. The message reads "<component>: <text> - Native error: 000NN", the component
// part only when a component with a name raised it.
class ArchiveError : public std::runtime_error {
 public:
  // The message's placeholders stay unfilled.
  explicit ArchiveError(int native_error, std::u16string_view component_name = {});
  explicit ArchiveError(ErrorSite site, std::u16string_view component_name = {})
      : ArchiveError(static_cast<int>(site), component_name) {}
  ArchiveError(ErrorSite site, std::initializer_list<FormatArg> args,
               std::u16string_view component_name)
      : ArchiveError(static_cast<int>(site), args, component_name) {}
  // The message's placeholders are filled from `args`, in order.
  ArchiveError(int native_error, std::span<const FormatArg> args,
               std::u16string_view component_name);
  ArchiveError(int native_error, std::initializer_list<FormatArg> args,
               std::u16string_view component_name)
      : ArchiveError(native_error, std::span<const FormatArg>(args.begin(), args.size()),
                     component_name) {}

  int ErrorCode() const { return error_code_; }
  int NativeError() const { return native_error_; }
  bool Is(ErrorSite site) const { return native_error_ == static_cast<int>(site); }
  const std::u16string& Message() const { return message_; }

 private:
  struct Composed {
    std::u16string message;
  };
  ArchiveError(int native_error, Composed composed);

  int error_code_;
  int native_error_;
  std::u16string message_;
};

// The public code of a native error number: 0 for a number outside the table.
int ErrorCodeOf(int native_error);
// The message template of a public code; "Unknown error" for a code outside the table.
std::u16string_view ErrorMessageOf(int error_code);

}  // namespace qm::archive
