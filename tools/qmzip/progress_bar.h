#pragma once

#include <chrono>
#include <string>

namespace qm::qmzip {

// One line on standard error with the overall percentage and the current file, redrawn at
// most ten times a second. Draws nothing unless enabled (standard error is a terminal).
class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  ~ProgressBar() { Clear(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void SetFile(const std::u16string& name);
  void SetOverall(double percent);
  // Removes the line, so that other output starts on a clean one.
  void Clear();

 private:
  void Draw(bool force);

  bool enabled_;
  bool drawn_ = false;
  double percent_ = 0;
  std::string file_;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace qm::qmzip
