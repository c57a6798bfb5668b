#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qm::archive {

// Objects that cost more to make than to use (a compressor's tables, an output buffer of many
// MiB), kept for the whole process and lent to one user at a time: a user that finds the shelf
// empty makes its own, and at most `capacity` come back to it, the rest are freed.
//
// It stands where a thread_local object would. The mingw-w64 build (emulated TLS, and
// libstdc++'s own list of thread-exit destructors, both on winpthreads keys) frees a thread's
// TLS block before it runs that thread's thread_local destructors: every worker thread that
// ended ran them on freed memory, and now and then freed a wild pointer. Nothing here is tied
// to a thread, so nothing runs when one ends.
template <typename T, typename Deleter = std::default_delete<T>>
class LendingShelf {
 public:
  using Item = std::unique_ptr<T, Deleter>;

  // Returns its item to the shelf when it goes, also when the user's work threw.
  class Loan {
   public:
    Loan(LendingShelf& shelf, Item item) : shelf_(shelf), item_(std::move(item)) {}
    ~Loan() { shelf_.Put(std::move(item_)); }
    Loan(const Loan&) = delete;
    Loan& operator=(const Loan&) = delete;

    // Null when the maker could not make one.
    T* get() const { return item_.get(); }

   private:
    LendingShelf& shelf_;
    Item item_;
  };

  // Two: the caller's thread and one worker use such objects at the same time.
  explicit LendingShelf(std::size_t capacity = 2) : capacity_(capacity) {}
  LendingShelf(const LendingShelf&) = delete;
  LendingShelf& operator=(const LendingShelf&) = delete;

  // An item from the shelf, or null when it is empty.
  Item Take() {
    std::lock_guard lock(mutex_);
    if (kept_.empty()) return nullptr;
    Item item = std::move(kept_.back());
    kept_.pop_back();
    return item;
  }

  // Keeps `item` for the next user when there is room; frees it otherwise.
  void Put(Item item) {
    if (!item) return;
    std::unique_lock lock(mutex_);
    if (kept_.size() >= capacity_) {
      lock.unlock();
      return;  // `item` is freed here, outside the lock
    }
    kept_.push_back(std::move(item));
  }

  // An item from the shelf, or a new one from `make` (which may answer null).
  template <typename Make>
  Loan Lend(Make make) {
    Item item = Take();
    if (!item) item = make();
    return Loan(*this, std::move(item));
  }

 private:
  std::mutex mutex_;
  std::vector<Item> kept_;
  std::size_t capacity_;
};

}  // namespace qm::archive
