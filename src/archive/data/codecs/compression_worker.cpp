#include "archive/data/codecs/compression_worker.h"

#include <algorithm>
#include <system_error>

namespace qm::archive {

CompressionWorker::~CompressionWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CompressionWorker::Submit(std::shared_ptr<WholeSource> source) {
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(source));
  }
  if (!thread_.joinable() && !no_thread_) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      no_thread_ = true;  // the system has no thread to spare: Finish does the work alone
    }
  }
  changed_.notify_all();
}

void CompressionWorker::CompressOldest(std::unique_lock<std::mutex>& lock) {
  // Kept alive here: the caller may drop its own reference once it is finished.
  std::shared_ptr<WholeSource> source = std::move(waiting_.front());
  waiting_.pop_front();
  in_hand_.push_back(source.get());
  lock.unlock();
  CompressWholeSource(*source);
  lock.lock();
  in_hand_.erase(std::find(in_hand_.begin(), in_hand_.end(), source.get()));
  changed_.notify_all();
}

void CompressionWorker::Finish(const std::shared_ptr<WholeSource>& source) {
  std::unique_lock lock(mutex_);
  for (;;) {
    const bool waiting = std::find(waiting_.begin(), waiting_.end(), source) != waiting_.end();
    const bool in_hand =
        std::find(in_hand_.begin(), in_hand_.end(), source.get()) != in_hand_.end();
    if (!waiting && !in_hand) return;
    if (!waiting_.empty()) {
      CompressOldest(lock);
    } else {
      changed_.wait(lock);
    }
  }
}

void CompressionWorker::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    CompressOldest(lock);
  }
}

}  // namespace qm::archive
