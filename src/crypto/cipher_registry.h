#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/cipher.h"

namespace qm::crypto {

// Makes a cipher without a key.
using CipherFactory = std::unique_ptr<Cipher> (*)();

// The process-wide list of cipher classes, one line "name=description" each. Rijndael is
// entered (as "Rijndael", no description) the first time the list is used.

// Enters a cipher class; a class already listed gets its line replaced.
void RegisterCipher(CipherFactory factory, std::string_view name, std::string_view description);
std::vector<std::string> CipherList();
// The class listed under `name`, or null.
CipherFactory FindCipherClass(std::string_view name);

}  // namespace qm::crypto
