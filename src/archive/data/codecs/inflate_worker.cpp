#include "archive/data/codecs/inflate_worker.h"

#include "archive/data/codecs/fast_decoding.h"

namespace qm::archive {

InflateWorker::InflateWorker() : worker_([this](std::stop_token stop) { Work(stop); }) {}

InflateWorker::~InflateWorker() {
  worker_.request_stop();
  worker_.join();
}

void InflateWorker::Clear() {
  std::unique_lock lock(mutex_);
  next_ = jobs_.size();
  changed_.wait(lock, [&] { return running_ == 0; });
  jobs_.clear();
  states_.clear();
  next_ = 0;
  asked_ = 0;
}

void InflateWorker::Start(std::vector<Job> jobs) {
  {
    std::lock_guard lock(mutex_);
    jobs_ = std::move(jobs);
    states_.assign(jobs_.size(), State::kWaiting);
    next_ = 0;
    asked_ = 0;
  }
  changed_.notify_all();
}

const InflateWorker::Job* InflateWorker::Finish(std::int64_t data_start) {
  std::unique_lock lock(mutex_);
  std::size_t index = asked_;
  while (index < jobs_.size() && jobs_[index].data_start != data_start) ++index;
  if (index == jobs_.size()) {
    index = 0;
    while (index < asked_ && jobs_[index].data_start != data_start) ++index;
    if (index == asked_) return nullptr;
  }
  asked_ = index + 1;
  for (;;) {
    switch (states_[index]) {
      case State::kDone:
        return &jobs_[index];
      case State::kDropped:
        return nullptr;
      case State::kWaiting:
        for (std::size_t passed = next_; passed < index; ++passed) {
          states_[passed] = State::kDropped;
        }
        next_ = index + 1;
        Run(index, lock);
        return &jobs_[index];
      case State::kRunning:
        if (next_ < jobs_.size()) {
          Run(next_++, lock);
        } else {
          changed_.wait(lock);
        }
        break;
    }
  }
}

void InflateWorker::Work(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (changed_.wait(lock, stop, [&] { return next_ < jobs_.size(); }) &&
         !stop.stop_requested()) {
    Run(next_++, lock);
  }
}

void InflateWorker::Run(std::size_t index, std::unique_lock<std::mutex>& lock) {
  states_[index] = State::kRunning;
  ++running_;
  Job& job = jobs_[index];
  lock.unlock();
  job.made = InflateWhole(job.input, job.output);
  if (job.made) job.crc = Crc32(0, job.output.first(*job.made));
  lock.lock();
  --running_;
  states_[index] = State::kDone;
  changed_.notify_all();
}

}  // namespace qm::archive
