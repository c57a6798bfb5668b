#include "archive/archive_error.h"

#include <array>
#include <utility>

#include "platform/text.h"

namespace qm::archive {
namespace {

// Native error number -> public code, one pair per native number.
constexpr std::array<std::pair<int, int>, 78> kNativeToCode = {{
    {0, 0},
    {1, 1},
    {2, 1},
    {3, 1},
    {4, 1},
    {5, 2},
    {6, 3},
    {7, 1},
    {8, 4},
    {9, 5},
    {10, 5},
    {11, 6},
    {12, 6},
    {13, 7},
    {14, 7},
    {15, 6},
    {16, 1},
    {17, 8},
    {18, 6},
    {19, 9},
    {20, 10},
    {21, 1},
    {22, 11},
    {23, 9},
    {24, 1},
    {25, 11},
    {26, 13},
    {27, 14},
    {28, 15},
    {29, 5},
    {30, 6},
    {31, 6},
    {32, 16},
    {33, 12},
    {34, 17},
    {35, 18},
    {36, 19},
    {37, 20},
    {38, 6},
    {39, 21},
    {40, 22},
    {41, 23},
    {42, 6},
    {43, 23},
    {44, 24},
    {45, 24},
    {46, 25},
    {47, 26},
    {48, 27},
    {49, 28},
    {50, 29},
    {51, 30},
    {52, 31},
    {53, 6},
    {54, 6},
    {55, 32},
    {56, 33},
    {57, 27},
    {58, 34},
    {59, 34},
    {60, 35},
    {61, 36},
    {62, 37},
    {63, 38},
    {64, 38},
    {65, 39},
    {66, 39},
    {67, 40},
    // Added by this engine: an item's name leads outside the destination folder.
    {68, 41},
    // Added by this engine: an interrupted commit's tail file cannot be played back.
    {69, 42},
    // Added by this engine: an archive cannot take its own records.
    {70, 43},
    // Items whose data ranges overlap (the non-recursive zip bomb).
    {71, 44},
    // An item's offset does not lead to a local header.
    {72, 45},
    // Added by this engine: a tail file beside the archive that was not made for it.
    {73, 46},
    // Added by this engine: a comment longer than a record's 16-bit length field can count.
    {74, 47},
    // Added by this engine: an output that is the same file as one of the operation's inputs.
    {75, 48},
    // Added by this engine: a volume of a new set whose name is the set's own (its last one's).
    {76, 49},
    // Added by this engine: a moved source that changed after it was read into the archive.
    {77, 50},
}};

constexpr std::array<std::u16string_view, 51> kMessages = {
    u"Unknown error",
    u"Index out of bounds",
    u"Invalid compression mode. Mode must be in [0-9] range",
    u"Unexpected nil pointer",
    u"Invalid size or check sum of file or unsupported compression format",
    u"File name is blank. Specify appropriate file name",
    u"File \"%s\" not found",
    u"Archive is not open",
    u"SFXStub property is not specified",
    u"Cannot create file \"%s\"",
    u"Cannot create directory \"%s\"",
    u"Internal error. Update is not started",
    u"Cannot open file \"%s\"",
    u"Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    u"Cannot delete file \"%s\"",
    u"In-memory archive can be created only",
    u"File is open in read-only mode",
    u"Invalid compressed size, rfs.size = %d, count = %d",
    u"Invalid archive file.",
    u"Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    u"Archive is open. You should close it beore performing this operation.",
    u"Unable to create directory",
    u"Cannot find 64-bit directory end record",
    u"Cannot compress file '%s'. Zip64 mode is not enabled",
    u"Cannot open archive file. Opening aborted or invalid file",
    u"Write to stream error",
    u"Cannot place SFX stub on volume. Volume size limit is too small",
    u"Archive is damaged. Open failed",
    u"MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive "
    u"creation instead of MakeSFX",
    u"Archive already has SFX stub",
    u"Multi-volume archive is not allowed for custom stream",
    u"Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods "
    u"to add files several times",
    u"Deflate64 compression method is not supported",
    u"MakeSFX error",
    u"Hashed list of file names is invalid",
    u"Cannot delete folder \"%s\"",
    u"File name is too long: \r\n\"%s\"",
    u"Multiple transactions are not supported for multi-volume archives",
    u"Invalid InitVector index = %d. Index should be >= 0 and < %d",
    u"Disk is full. There is not enough free space on disk.",
    u"Invalid password. Cannot decompress encrypted file.",
    u"Path \"%s\" leads outside the destination folder",
    u"An interrupted update left \"%s\" holding part of the archive; the archive cannot be "
    u"opened until it is put back, which needs write access to it and to that file",
    u"Cannot merge archive \"%s\" into itself",
    u"Items of the archive overlap each other (a possible zip bomb). Open failed",
    u"Local header of \"%s\" is missing or overlapped",
    u"\"%s\" stands where an interrupted update keeps part of the archive, but was not made "
    u"for this archive as it is now; the archive is neither opened nor changed while it is there",
    u"Comment of \"%s\" is too long: a ZIP record holds at most 65535 bytes",
    u"\"%s\" is an input of this operation and cannot also be its output",
    u"Volume \"%s\" would be the archive file itself; give the archive another name",
    u"File \"%s\" changed after it was read into the archive; it was kept",
};

std::u16string Compose(int native_error, std::u16string text, std::u16string_view component) {
  if (!component.empty()) text = std::u16string(component) + u": " + text;
  // "%5d" with blanks turned to zeros: 12 gives 00012, -1 gives 000-1.
  std::u16string number = FormatText(u"%5d", {FormatArg{std::int64_t{native_error}}});
  for (auto& c : number) {
    if (c == u' ') c = u'0';
  }
  return text + u" - Native error: " + number;
}

}  // namespace

int ErrorCodeOf(int native_error) {
  for (const auto& [native, code] : kNativeToCode) {
    if (native == native_error) return code;
  }
  return 0;
}

std::u16string_view ErrorMessageOf(int error_code) {
  if (error_code < 0 || error_code >= static_cast<int>(kMessages.size())) return kMessages[0];
  return kMessages[static_cast<std::size_t>(error_code)];
}

ArchiveError::ArchiveError(int native_error, Composed composed)
    : std::runtime_error(platform::Utf16ToUtf8(composed.message)),
      error_code_(ErrorCodeOf(native_error)),
      native_error_(native_error),
      message_(std::move(composed.message)) {}

ArchiveError::ArchiveError(int native_error, std::u16string_view component_name)
    : ArchiveError(
          native_error,
          Composed{Compose(native_error, std::u16string(ErrorMessageOf(ErrorCodeOf(native_error))),
                           component_name)}) {}

ArchiveError::ArchiveError(int native_error, std::span<const FormatArg> args,
                           std::u16string_view component_name)
    : ArchiveError(native_error,
                   Composed{Compose(native_error,
                                    FormatText(ErrorMessageOf(ErrorCodeOf(native_error)), args),
                                    component_name)}) {}

}  // namespace qm::archive
