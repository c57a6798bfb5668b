#pragma once

#include <cstdint>
#include <string>

namespace qm::app {

// Where the player name lies in the applet class file, as found by the last read. The name is
// the string constant that follows the constant "Quillmark main thread" in the constant pool:
// tag (1), length (2, big-endian), then the bytes.
struct PlayerNameRecord {
  std::int32_t name_offset = 0;  // file offset of the name's first byte; 0: no record found
  std::uint8_t name_length = 0;  // number of name bytes
};

inline constexpr std::string_view kNameMarker = "Quillmark main thread";
// A name never takes more bytes than one length byte can count.
inline constexpr std::size_t kMaxNameBytes = 255;

// Scans the file for the marker; the last complete record in the file wins. Answers the name
// (empty when none was found) and updates `record` only on a match. The file is opened for
// reading and writing with no sharing, so a file the game holds or a read-only one fails with
// "Cannot open file ...".
std::u16string ReadPlayerName(const std::u16string& file_name, PlayerNameRecord& record);

// Rewrites the file with `new_name` in place of the recorded name, moving the rest of the file.
// The new content is written beside the file and replaces it only when complete, so a failure
// leaves the file as it was. Does nothing when no record was found.
void WritePlayerName(const std::u16string& file_name, const std::u16string& new_name,
                     const PlayerNameRecord& record);

// The bytes a name is stored as: the class file's modified UTF-8, cut to at most 255 bytes at a
// character boundary.
std::string EncodePlayerName(const std::u16string& name);
// The text of stored name bytes: modified UTF-8, or Windows-1252 for bytes that are not (a file
// changed by an older tool).
std::u16string DecodePlayerName(std::string_view bytes);

}  // namespace qm::app
