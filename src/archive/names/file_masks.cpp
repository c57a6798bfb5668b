#include "archive/names/file_masks.h"

#include <string>

#include "platform/text.h"

namespace qm::archive {

bool WildcardMatch(std::u16string_view name, std::u16string_view mask) {
  if (mask == u"*.*") return true;
  std::size_t n = 0;
  std::size_t m = 0;
  while (true) {
    const auto rest = mask.substr(m);
    if (rest == u"*") return true;
    if (n == name.size()) return m == mask.size();
    if (m == mask.size()) return false;
    const char16_t mc = mask[m];
    if (mc == u'*') {
      const auto after = mask.substr(m + 1);
      for (std::size_t i = n; i < name.size(); ++i) {
        if (WildcardMatch(name.substr(i), after)) return true;
      }
      return false;
    }
    if (mc != u'?' && platform::AsciiUpper(mc) != platform::AsciiUpper(name[n])) return false;
    ++n;
    ++m;
  }
}

namespace {

// The extension counts only when no separator or drive colon follows its dot.
std::u16string_view Extension(std::u16string_view name) {
  const auto dot = name.find_last_of(u'.');
  if (dot == std::u16string_view::npos) return {};
  if (name.find_first_of(u"\\/:", dot) != std::u16string_view::npos) return {};
  return name.substr(dot);
}

}  // namespace

bool MatchName(std::u16string_view name, std::u16string_view mask) {
  if (mask.empty()) return false;
  if (mask == u"*" || mask == u"*.*") return true;  // the common case, without copying
  std::u16string m(mask);
  if (const auto star = mask.find(u"*.*"); star != std::u16string_view::npos) {
    m = std::u16string(mask.substr(0, star)) + u'*' + std::u16string(mask.substr(star + 3));
  }
  const bool mask_wants_no_extension = mask.back() == u'.';
  if (mask_wants_no_extension && !m.empty()) m.pop_back();
  std::u16string_view compared = name;
  if (!compared.empty() && compared.back() == u'.') compared.remove_suffix(1);
  if (!WildcardMatch(compared, m)) return false;
  if (!mask_wants_no_extension) return true;
  const auto ext = Extension(name);
  return ext.empty() || ext == u".";
}

}  // namespace qm::archive
