#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

namespace qm::archive {

// Small deflated items inflated ahead of their turn: a second thread inflates the jobs in
// order, one-call inflater and CRC-32, while the caller's thread writes the items before them.
// The caller's thread asks for each job's result in turn: a job nobody has started it does
// itself (the jobs before it are dropped, the loop has passed them); while it waits for one
// the worker is running it takes the next in the meantime. Nothing here raises events or
// reads the archive.
class InflateWorker {
 public:
  struct Job {
    // Where the item's deflated data starts in the archive: the job's name.
    std::int64_t data_start = 0;
    std::span<const std::uint8_t> input;
    // As much room as the item's inflater stage will have.
    std::span<std::uint8_t> output;
    // Once done: the size made, or nothing when the one-call inflater failed.
    std::optional<std::size_t> made;
    std::uint32_t crc = 0;
  };

  InflateWorker();
  // Stops the thread; a job it is running is finished first.
  ~InflateWorker();
  InflateWorker(const InflateWorker&) = delete;
  InflateWorker& operator=(const InflateWorker&) = delete;

  // Drops every job and waits for one still running: the buffers they point into may then be
  // filled anew.
  void Clear();
  // The jobs of a new window, in the order they will be asked for; the worker starts on them.
  void Start(std::vector<Job> jobs);
  // The finished job for the data at `data_start`: done by the worker, or here when it had not
  // started it. Nullptr when there is no such job or it was dropped. Valid until Clear.
  const Job* Finish(std::int64_t data_start);

 private:
  enum class State : std::uint8_t { kWaiting, kRunning, kDone, kDropped };

  void Work(std::stop_token stop);
  // Runs `index` on this thread; `lock` is released meanwhile.
  void Run(std::size_t index, std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable_any changed_;
  std::vector<Job> jobs_;
  std::vector<State> states_;
  // Jobs before `next_` have been started or dropped; those from it on wait.
  std::size_t next_ = 0;
  std::size_t running_ = 0;
  // Where the search for the next job asked for begins: they are asked for in order.
  std::size_t asked_ = 0;
  // Last: stopped and joined before the jobs go.
  std::jthread worker_;
};

}  // namespace qm::archive
