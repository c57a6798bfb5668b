#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "archive/data/write/whole_source.h"

namespace qm::archive {

// A second thread that deflates whole sources handed to it, oldest first, while the caller's
// thread goes on writing. It does CPU work on memory alone: every system call stays with the
// caller. The caller waits for a source with Finish, and deflates sources nobody has taken yet
// itself meanwhile, so that both processors compress whenever there is work queued.
// The thread starts with the first source handed over and stops with the worker.
class CompressionWorker {
 public:
  CompressionWorker() = default;
  ~CompressionWorker();
  CompressionWorker(const CompressionWorker&) = delete;
  CompressionWorker& operator=(const CompressionWorker&) = delete;

  void Submit(std::shared_ptr<WholeSource> source);
  // Returns once `source` is compressed (or failed: see WholeSource::failure).
  void Finish(const std::shared_ptr<WholeSource>& source);

 private:
  void Run();
  // Compresses the oldest source not taken yet, with the lock released meanwhile; `lock` is
  // held on entry and on return.
  void CompressOldest(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<WholeSource>> waiting_;
  // Sources taken and not finished yet, by either thread.
  std::deque<WholeSource*> in_hand_;
  bool stopping_ = false;
  bool no_thread_ = false;
  std::thread thread_;
};

}  // namespace qm::archive
