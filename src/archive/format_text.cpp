#include "archive/format_text.h"

namespace qm::archive {

std::u16string FormatText(std::u16string_view templ, std::span<const FormatArg> args) {
  std::u16string out;
  std::size_t next_arg = 0;
  for (std::size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] != u'%') {
      out += templ[i];
      continue;
    }
    if (i + 1 < templ.size() && templ[i + 1] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    // %[width][.precision](s|d)
    std::size_t j = i + 1;
    auto number = [&](std::size_t& k) {
      std::size_t value = 0;
      while (k < templ.size() && templ[k] >= u'0' && templ[k] <= u'9') {
        value = value * 10 + (templ[k++] - u'0');
      }
      return value;
    };
    const std::size_t width = number(j);
    std::size_t precision = 0;
    if (j < templ.size() && templ[j] == u'.') precision = number(++j);
    if (j >= templ.size() || (templ[j] != u's' && templ[j] != u'd') || next_arg >= args.size()) {
      out += templ[i];
      continue;
    }
    const FormatArg& arg = args[next_arg];
    std::u16string piece;
    if (templ[j] == u's' && std::holds_alternative<std::u16string>(arg)) {
      piece = std::get<std::u16string>(arg);
      if (precision != 0 && piece.size() > precision) piece.resize(precision);
    } else if (templ[j] == u'd' && std::holds_alternative<std::int64_t>(arg)) {
      const std::int64_t value = std::get<std::int64_t>(arg);
      const std::string digits = std::to_string(value < 0 ? -static_cast<std::uint64_t>(value)
                                                          : static_cast<std::uint64_t>(value));
      std::u16string body(digits.begin(), digits.end());
      if (body.size() < precision) body.insert(0, precision - body.size(), u'0');
      piece = (value < 0 ? u"-" : u"") + body;
    } else {
      out += templ[i];
      continue;
    }
    if (piece.size() < width) piece.insert(0, width - piece.size(), u' ');
    out += piece;
    ++next_arg;
    i = j;
  }
  return out;
}

}  // namespace qm::archive
