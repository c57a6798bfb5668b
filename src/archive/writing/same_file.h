#pragma once

#include <string>

namespace qm::archive {

// Whether the paths `a` and `b` lead to one file. When both stand, by identity (device and
// file number, links followed): hard links, symbolic links and spellings such as "./a.zip"
// all count as that file. When either does not stand, by the full spelling, so that an output
// about to be made under an input's name is caught too.
bool SameFile(const std::u16string& a, const std::u16string& b);

}  // namespace qm::archive
