#include "progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "command_runner.h"
#include "terminal_text.h"

namespace qm::qmzip {
namespace {
constexpr int kBarWidth = 30;
constexpr std::size_t kNameWidth = 40;
}  // namespace

void ProgressBar::SetFile(const std::u16string& name) {
  if (!enabled_) return;
  file_ = ForTerminal(name);
  Draw(false);
}

void ProgressBar::SetOverall(double percent) {
  if (!enabled_) return;
  percent_ = std::clamp(percent, 0.0, 100.0);
  Draw(percent_ >= 100.0);
}

void ProgressBar::Clear() {
  if (!enabled_ || !drawn_) return;
  std::cerr << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

void ProgressBar::Draw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  const int filled = static_cast<int>(percent_ / 100.0 * kBarWidth);
  std::string name = file_;
  if (name.size() > kNameWidth) name = "..." + name.substr(name.size() - (kNameWidth - 3));
  char pct[16];
  std::snprintf(pct, sizeof pct, "%3d%%", static_cast<int>(percent_));
  std::cerr << "\r\x1b[K[" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] " << pct << ' '
            << name << std::flush;
  drawn_ = true;
}

}  // namespace qm::qmzip
