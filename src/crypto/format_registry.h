#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include "crypto/string_format.h"

namespace qm::crypto {

// The process-wide list of formats, keyed by format number. The six standard formats are
// entered (copy, hex, hex lower case, MIME Base 64, UU, XX) the first time the list is used.

// For each class in order: a null one or one whose Format() is -1 is passed over, one whose
// number is registered replaces that entry, any other is appended. The instances must outlive
// the registry (use objects of static storage duration).
void RegisterFormats(std::initializer_list<const StringFormat*> formats);
// The first registered format with `number` (-1: MIME Base 64), or null.
const StringFormat* FindStringFormat(int number);

// Bytes to text in format `number`. Empty for a null `value`, format 0 or an empty input; a
// negative `len` counts up to the first zero byte. Throws StringFormatError for an unknown
// number or input the format cannot convert.
std::string EncodeToFormat(const void* value, std::ptrdiff_t len, int number);
// Text in format `number` to bytes, with the same rules.
std::string DecodeFromFormat(const void* value, std::ptrdiff_t len, int number);

}  // namespace qm::crypto
