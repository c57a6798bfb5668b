#pragma once

#include <string_view>

namespace qm::archive {

// File-mask matching of item names. "*" takes any run of characters (including separators,
// which are ordinary characters here), "?" any one, letters A to Z compare without case.
// "*.*" matches everything; a mask ending in "." finds only names without an extension
// ("readme." finds readme, not readme.txt). An empty mask matches nothing.
bool MatchName(std::u16string_view name, std::u16string_view mask);

// The raw wildcard step under MatchName. The rest of a mask after "*" must match a non-empty
// remainder of the name, so "a**" does not find "a" while "a*" does.
bool WildcardMatch(std::u16string_view name, std::u16string_view mask);

}  // namespace qm::archive
